// The display on Windows. The library's GDI driver gives the window: it
// draws into it only lines of `screen` that were drawn to, which the game
// never does here, and its shutdown lets go of the library's drawing lock
// before it takes the window back (the DirectX windowed driver restyles the
// window holding it, while the window's thread may wait for it). The window
// is made a borderless one covering its monitor at the desktop's own
// resolution, or a captioned one, and every frame is drawn into it scaled
// with GDI. The display mode is never changed.
#include "app/display.h"

#include <allegro.h>
// After the library, as its documentation asks.
#include <winalleg.h>
// The library's window position, which its mouse driver subtracts.
#include <allegro/platform/aintwin.h>

#include <algorithm>
#include <atomic>

// The slot of snake.exe's import table through which the library, linked
// in, calls GetCursorPos (mingw-w64 names it so, as its own headers do).
extern "C" BOOL(WINAPI *__imp_GetCursorPos)(LPPOINT);

namespace {

HWND game_window = nullptr;
// Full screen, or a captioned window; the window's own thread reads it too.
std::atomic<bool> full_screen{false};
// The picture last shown, painted again when the window must be redrawn.
std::atomic<BITMAP *> shown_picture{nullptr};
// The picture's place at the last frame: the black around it is painted
// again only when it moves.
PictureRect painted_place{0, 0, 0, 0};
// The captioned window's style: the library's, resizable.
LONG_PTR captioned_style = 0;
BOOL(WINAPI *system_cursor_pos)(LPPOINT) = nullptr;
// The monitor the game starts on: the one holding the pointer.
HMONITOR start_monitor = nullptr;

// The library's mouse driver takes the pointer's place from GetCursorPos
// alone, less the window's origin (wnd_x, wnd_y), and counts it on the
// window when it lies inside the mouse range (the 640x480 picture): given
// the picture pixel under the real pointer, plus that origin, it places
// both mouse_x/mouse_y and the pointer it draws there. On the black around
// the picture the pointer stops at the picture's edge, as on X11, where
// nothing is ever clicked; outside the window it is off the picture.
BOOL WINAPI cursor_over_picture(LPPOINT point) {
    if (!system_cursor_pos(point)) return FALSE;
    POINT origin{0, 0};
    ClientToScreen(game_window, &origin);
    RECT client;
    GetClientRect(game_window, &client);
    int x = point->x - origin.x, y = point->y - origin.y;
    const bool in_window = x >= 0 && y >= 0 && x < client.right && y < client.bottom;
    window_to_picture(&x, &y);
    if (in_window) {
        x = std::clamp(x, 0, PICTURE_WIDTH - 1);
        y = std::clamp(y, 0, PICTURE_HEIGHT - 1);
    }
    point->x = wnd_x + x;
    point->y = wnd_y + y;
    return TRUE;
}

void map_library_pointer() {
    DWORD was;
    if (!VirtualProtect(&__imp_GetCursorPos, sizeof __imp_GetCursorPos, PAGE_READWRITE, &was))
        return;
    system_cursor_pos = __imp_GetCursorPos;
    __imp_GetCursorPos = cursor_over_picture;
    VirtualProtect(&__imp_GetCursorPos, sizeof __imp_GetCursorPos, was, &was);
}

// Draws `picture` at `place` in the window, each pixel a sharp block; the
// rest of the client area is painted black when `with_border` is set.
void draw(HDC dc, BITMAP *picture, PictureRect place, bool with_border) {
    if (with_border) {
        RECT client;
        GetClientRect(game_window, &client);
        const HRGN black = CreateRectRgnIndirect(&client);
        const HRGN inside = CreateRectRgn(place.x, place.y, place.x + place.w, place.y + place.h);
        CombineRgn(black, black, inside, RGN_DIFF);
        FillRgn(dc, black, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        DeleteObject(inside);
        DeleteObject(black);
    }
    if (!picture) return;
    // The picture's own 16-bit pixels, described to GDI as they are.
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = PICTURE_WIDTH;
    info.header.biHeight = -PICTURE_HEIGHT;  // top row first
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0x1Fu << _rgb_r_shift_16;
    info.masks[1] = 0x3Fu << _rgb_g_shift_16;
    info.masks[2] = 0x1Fu << _rgb_b_shift_16;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, place.x, place.y, place.w, place.h, 0, 0, PICTURE_WIDTH, PICTURE_HEIGHT,
                  picture->line[0], reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, SRCCOPY);
}

PictureRect place_in_window() {
    RECT client;
    GetClientRect(game_window, &client);
    return fit_picture(client.right, client.bottom);
}

MONITORINFO monitor_of_window() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfo(MonitorFromWindow(game_window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor;
}

// Borderless, over the whole of `monitor`: the desktop's own resolution.
void cover(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfo(monitor, &info);
    const RECT &r = info.rcMonitor;
    SetWindowLongPtr(game_window, GWL_STYLE, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    SetWindowPos(game_window, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

// Captioned, its client area the largest whole multiple of 640x480 that
// fits the monitor's work area with its frame, centred there.
void make_captioned() {
    const RECT work = monitor_of_window().rcWork;
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(captioned_style), FALSE,
                       static_cast<DWORD>(GetWindowLongPtr(game_window, GWL_EXSTYLE)));
    const int frame_w = frame.right - frame.left, frame_h = frame.bottom - frame.top;
    const int factor = window_factor(work.right - work.left - frame_w, work.bottom - work.top - frame_h);
    const int w = PICTURE_WIDTH * factor + frame_w, h = PICTURE_HEIGHT * factor + frame_h;
    SetWindowLongPtr(game_window, GWL_STYLE, captioned_style | WS_VISIBLE);
    SetWindowPos(game_window, HWND_TOP, (work.left + work.right - w) / 2,
                 (work.top + work.bottom - h) / 2, w, h, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

// On the window's own thread, before the library's handling: the window is
// painted here, never by the driver (whose 640x480 screen is not shown);
// full screen follows a change of the desktop's resolution.
int window_message(HWND window, UINT message, WPARAM, LPARAM, int *result) {
    if (window != game_window) return 1;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        draw(dc, shown_picture.load(), place_in_window(), true);
        EndPaint(window, &paint);
        *result = 0;
        return 0;
    }
    case WM_ERASEBKGND:
        *result = 1;
        return 0;
    case WM_DISPLAYCHANGE:
        if (full_screen.load()) cover(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
        return 1;
    default:
        return 1;
    }
}

// On the window's own thread, as everything the library does to its window.
int cover_start_monitor() {
    cover(start_monitor);
    return 0;
}

int switch_on_window_thread() {
    if (!full_screen.load()) {
        full_screen.store(true);
        cover(MonitorFromWindow(game_window, MONITOR_DEFAULTTONEAREST));
        return 0;
    }
    full_screen.store(false);
    make_captioned();
    // Wine holds the pointer while a window covers the whole screen, and
    // would keep the first click off the new window (on its close button)
    // for itself: a clip it has to give up is set and lifted, around the
    // window and the pointer, which so stays where it is.
    RECT around;
    POINT pointer;
    GetWindowRect(game_window, &around);
    if (system_cursor_pos(&pointer)) {
        around.left = std::min(around.left, pointer.x);
        around.top = std::min(around.top, pointer.y);
        around.right = std::max(around.right, pointer.x + 1);
        around.bottom = std::max(around.bottom, pointer.y + 1);
    }
    ClipCursor(&around);
    ClipCursor(nullptr);
    return 0;
}

}  // namespace

int prepare_scaled_display() {
    // Setting the mode moves the pointer to the middle of the library's
    // window, on the primary monitor: the player's monitor is taken first.
    POINT pointer;
    start_monitor = GetCursorPos(&pointer) ? MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY)
                                           : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    return GFX_GDI;
}

bool open_scaled_display() {
    game_window = win_get_window();
    if (!game_window) return false;
    captioned_style = GetWindowLongPtr(game_window, GWL_STYLE) | WS_THICKFRAME | WS_MAXIMIZEBOX;
    map_library_pointer();
    if (!system_cursor_pos) return false;
    win_set_msg_pre_proc(window_message);
    full_screen.store(true);
    wnd_call_proc(cover_start_monitor);
    note_picture_place(place_in_window());
    return true;
}

void present_scaled(BITMAP *picture) {
    shown_picture.store(picture);
    const PictureRect place = place_in_window();
    // Minimised: nothing to draw into.
    if (place.w <= 1 || place.h <= 1) return;
    const bool moved = place.x != painted_place.x || place.y != painted_place.y ||
                       place.w != painted_place.w || place.h != painted_place.h;
    if (moved) {
        note_picture_place(place);
        painted_place = place;
    }
    const HDC dc = GetDC(game_window);
    draw(dc, picture, place, moved);
    ReleaseDC(game_window, dc);
    // On the screen now, not when a thread of the game next waits for
    // messages: GDI's batch is sent, and Wine, which passes a window's
    // drawing on to X once some thread finds its queue empty, sees this one's.
    GdiFlush();
    MSG none;
    PeekMessage(&none, nullptr, 0, 0, PM_NOREMOVE);
}

void switch_full_screen() { wnd_call_proc(switch_on_window_thread); }
