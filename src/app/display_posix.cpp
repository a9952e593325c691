// The display on X11. The library's 640x480 window (its managed window,
// which holds its drawing window) becomes the game's own: it is asked to
// cover its monitor through the window manager (EWMH full screen), or made
// the monitor's size where no window manager runs, and never changes the
// monitor's mode. The drawing window is kept the managed window's size;
// each frame is converted once to the window's pixels, sent to the server,
// and scaled there by XRender with its nearest filter. The pointer's
// events are translated into picture pixels as Xlib reads them, before the
// library sees them, so the library's mouse position, and the pointer it
// draws into the menu's frames, are the picture's.
//
// Everything goes through the library's own connection, under its lock;
// what the library's input thread learns of the window (its size, its
// state, the monitors) reaches the main thread through atomics.
#include "app/display.h"

#include <allegro.h>
// After the library: Xlib's macros would clash with its names.
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/Xrender.h>
#include <xalleg.h>
#ifdef ALLEGRO_XWINDOWS_WITH_SHM
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Xlib's hook on the conversion of events read from the server; declared in
// Xlibint.h, whose macros would clash with the standard library's names.
extern "C" Bool (*XESetWireToEvent(Display *, int, Bool (*)(Display *, XEvent *, xEvent *)))(
    Display *, XEvent *, xEvent *);

namespace {

using WireToEvent = Bool (*)(Display *, XEvent *, xEvent *);

struct Area {
    int x, y, w, h;
};

Display *x_display = nullptr;
Window root_window = None;
// The library's managed window (the one the window manager frames), and its
// drawing window inside it, kept the same size at its top left.
Window frame_window = None;
Window drawing_window = None;

// A window manager that makes windows full screen when asked (EWMH); without
// one the game sizes its window itself.
bool window_manager = false;
bool full_screen = false;
// Leaving full screen: the window's size is set once the window manager has
// put back the size it had before.
bool window_size_wanted = false;

// The managed window's size as the server last told it.
std::atomic<uint32_t> told_size{0};
// The window manager changed the window's state, or RandR the monitors.
std::atomic<bool> state_told{false};
std::atomic<bool> monitors_told{false};
int randr_events = -1;

int frame_width = 0, frame_height = 0;
PictureRect place{0, 0, PICTURE_WIDTH, PICTURE_HEIGHT};

// The frame on its way: the picture in the window's pixel format, uploaded
// into a pixmap, which the server scales into the drawing window.
XImage *image = nullptr;
bool image_shared = false;
#ifdef ALLEGRO_XWINDOWS_WITH_SHM
XShmSegmentInfo shared_memory;
#endif
Pixmap upload = None;
GC upload_gc = nullptr;
Picture source = None, target = None;
std::vector<uint32_t> pixel_of;  // a 16-bit picture pixel as a window pixel

Atom atom_wm_state, atom_fullscreen, atom_wm_check, atom_workarea, atom_current_desktop,
    atom_frame_extents;

WireToEvent previous_wire[128];

uint32_t packed_size(int w, int h) {
    return static_cast<uint32_t>(std::clamp(w, 0, 0xffff)) |
           static_cast<uint32_t>(std::clamp(h, 0, 0xffff)) << 16;
}

// Runs on whichever thread reads the event, inside Xlib: only translates
// the pointer's coordinates and notes what the main thread must look at.
Bool watch_event(Display *display, XEvent *event, xEvent *wire) {
    const int type = wire->u.u.type & 0x7f;
    const Bool kept = previous_wire[type](display, event, wire);
    if (!kept) return kept;
    const Window w = event->xany.window;
    const bool ours = w == frame_window || w == drawing_window;
    switch (event->type) {
    case MotionNotify:
        if (ours) window_to_picture(&event->xmotion.x, &event->xmotion.y);
        break;
    case ButtonPress:
    case ButtonRelease:
        if (ours) window_to_picture(&event->xbutton.x, &event->xbutton.y);
        break;
    case EnterNotify:
    case LeaveNotify:
        if (ours) window_to_picture(&event->xcrossing.x, &event->xcrossing.y);
        break;
    case ConfigureNotify:
        // The pointer's events that follow are read through the new place.
        if (event->xconfigure.window == frame_window) {
            told_size.store(packed_size(event->xconfigure.width, event->xconfigure.height));
            note_picture_place(fit_picture(event->xconfigure.width, event->xconfigure.height));
        }
        break;
    case PropertyNotify:
        if (w == frame_window && event->xproperty.atom == atom_wm_state) state_told.store(true);
        break;
    default:
        if (event->type == randr_events) monitors_told.store(true);
    }
    return kept;
}

void watch_events_of(int type) {
    previous_wire[type] = XESetWireToEvent(x_display, type, watch_event);
}

// The library draws its own copy of the screen when the window is exposed;
// the game's frames cover the window instead, the next one within 1/20 s,
// and the server paints the window black meanwhile.
void leave_exposed_window(int, int, int, int) {}

// The values of a 32-bit property (windows, cardinals), empty when missing.
std::vector<long> property_values(Window w, Atom property, Atom type) {
    std::vector<long> values;
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(x_display, w, property, 0, 1024, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
        const long *longs = reinterpret_cast<const long *>(data);
        values.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return values;
}

// An EWMH window manager names a window of its own, which names itself,
// and lists the states it can give windows.
bool window_manager_makes_full_screen() {
    const std::vector<long> check = property_values(root_window, atom_wm_check, XA_WINDOW);
    if (check.empty()) return false;
    const Window w = static_cast<Window>(check[0]);
    const std::vector<long> self = property_values(w, atom_wm_check, XA_WINDOW);
    if (self.empty() || static_cast<Window>(self[0]) != w) return false;
    const std::vector<long> supported =
        property_values(root_window, XInternAtom(x_display, "_NET_SUPPORTED", False), XA_ATOM);
    return std::find(supported.begin(), supported.end(), static_cast<long>(atom_fullscreen)) !=
           supported.end();
}

std::vector<Area> monitors() {
    std::vector<Area> out;
    int count = 0;
    XRRMonitorInfo *info = XRRGetMonitors(x_display, root_window, True, &count);
    for (int i = 0; info && i < count; i++) {
        const Area a{info[i].x, info[i].y, info[i].width, info[i].height};
        // The primary one first: it is the one when no other is meant.
        if (info[i].primary)
            out.insert(out.begin(), a);
        else
            out.push_back(a);
    }
    if (info) XRRFreeMonitors(info);
    if (out.empty())
        out.push_back(Area{0, 0, DisplayWidth(x_display, _xwin.screen),
                           DisplayHeight(x_display, _xwin.screen)});
    return out;
}

// The monitor holding the point, else the primary one.
Area monitor_at(int px, int py) {
    const std::vector<Area> all = monitors();
    for (const Area &m : all)
        if (px >= m.x && px < m.x + m.w && py >= m.y && py < m.y + m.h) return m;
    return all.front();
}

Area monitor_of_pointer() {
    Window root_back = None, child = None;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(x_display, root_window, &root_back, &child, &rx, &ry, &wx, &wy, &mask))
        return monitors().front();
    return monitor_at(rx, ry);
}

Area monitor_of_window() {
    int ax = 0, ay = 0;
    Window child = None;
    XTranslateCoordinates(x_display, frame_window, root_window, 0, 0, &ax, &ay, &child);
    return monitor_at(ax + frame_width / 2, ay + frame_height / 2);
}

// The part of the monitor the desktop leaves to windows (no panels), and
// the window manager's frame around the window: left, right, top, bottom.
Area room_for_window(const Area &monitor, long frame[4]) {
    Area room = monitor;
    const std::vector<long> desktop = property_values(root_window, atom_current_desktop, XA_CARDINAL);
    const std::vector<long> areas = property_values(root_window, atom_workarea, XA_CARDINAL);
    const size_t at = desktop.empty() ? 0 : static_cast<size_t>(desktop[0]) * 4;
    if (areas.size() >= at + 4) {
        const int x0 = std::max(monitor.x, static_cast<int>(areas[at]));
        const int y0 = std::max(monitor.y, static_cast<int>(areas[at + 1]));
        const int x1 = std::min(monitor.x + monitor.w, static_cast<int>(areas[at] + areas[at + 2]));
        const int y1 = std::min(monitor.y + monitor.h, static_cast<int>(areas[at + 1] + areas[at + 3]));
        if (x1 > x0 && y1 > y0) room = Area{x0, y0, x1 - x0, y1 - y0};
    }
    const std::vector<long> extents = property_values(frame_window, atom_frame_extents, XA_CARDINAL);
    for (size_t i = 0; i < 4; i++) frame[i] = extents.size() == 4 ? extents[i] : 0;
    return room;
}

// The library fixes the window's size; the game's may be any, and is placed
// where it is asked to be: its frame's top left at the point given.
void free_window_size() {
    XSizeHints *hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PMinSize | USPosition | USSize;
    hints->min_width = PICTURE_WIDTH / 4;
    hints->min_height = PICTURE_HEIGHT / 4;
    XSetWMNormalHints(x_display, frame_window, hints);
    XFree(hints);
}

void place_window(const Area &a) {
    XMoveResizeWindow(x_display, frame_window, a.x, a.y, static_cast<unsigned>(a.w),
                      static_cast<unsigned>(a.h));
}

// EWMH: the window manager is asked to add or remove the full-screen state.
void ask_full_screen(bool on) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = frame_window;
    e.xclient.message_type = atom_wm_state;
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? 1 : 0;
    e.xclient.data.l[1] = static_cast<long>(atom_fullscreen);
    e.xclient.data.l[3] = 1;  // asked by an application
    XSendEvent(x_display, root_window, False, SubstructureRedirectMask | SubstructureNotifyMask,
               &e);
}

void cover_monitor(const Area &monitor) {
    full_screen = true;
    window_size_wanted = false;
    if (window_manager) {
        // The window manager covers the monitor the window is on.
        place_window(Area{monitor.x + (monitor.w - frame_width) / 2,
                          monitor.y + (monitor.h - frame_height) / 2, frame_width, frame_height});
        ask_full_screen(true);
    } else {
        place_window(monitor);
        XRaiseWindow(x_display, frame_window);
        XSetInputFocus(x_display, frame_window, RevertToPointerRoot, CurrentTime);
    }
}

// A whole multiple of 640x480 in the room the desktop leaves, centred with
// its frame.
void size_as_window() {
    long frame[4];
    const Area room = room_for_window(monitor_of_window(), frame);
    const int across = static_cast<int>(frame[0] + frame[1]), down = static_cast<int>(frame[2] + frame[3]);
    const int factor = window_factor(room.w - across, room.h - down);
    const int w = PICTURE_WIDTH * factor, h = PICTURE_HEIGHT * factor;
    place_window(Area{room.x + (room.w - w - across) / 2, room.y + (room.h - h - down) / 2, w, h});
}

// The picture moved under a pointer that may not have: the library is told
// where the pointer now is on it, as if it had moved there.
void tell_pointer_again() {
    Window root_back = None, child = None;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(x_display, drawing_window, &root_back, &child, &rx, &ry, &wx, &wy, &mask) ||
        wx < 0 || wy < 0 || wx >= frame_width || wy >= frame_height)
        return;
    XEvent e{};
    e.xmotion.type = MotionNotify;
    e.xmotion.window = drawing_window;
    e.xmotion.root = root_window;
    e.xmotion.x = wx;
    e.xmotion.y = wy;
    e.xmotion.x_root = rx;
    e.xmotion.y_root = ry;
    e.xmotion.state = mask;
    e.xmotion.same_screen = True;
    XSendEvent(x_display, drawing_window, False, PointerMotionMask, &e);
}

// The window's size changed: the drawing window follows, and the picture
// and the pointer take their new place.
void follow_size(int w, int h) {
    if (w <= 0 || h <= 0 || (w == frame_width && h == frame_height)) return;
    frame_width = w;
    frame_height = h;
    XResizeWindow(x_display, drawing_window, static_cast<unsigned>(w), static_cast<unsigned>(h));
    place = fit_picture(w, h);
    note_picture_place(place);
    XTransform scale{};
    scale.matrix[0][0] = XDoubleToFixed(static_cast<double>(PICTURE_WIDTH) / place.w);
    scale.matrix[1][1] = XDoubleToFixed(static_cast<double>(PICTURE_HEIGHT) / place.h);
    scale.matrix[2][2] = XDoubleToFixed(1);
    XRenderSetPictureTransform(x_display, source, &scale);
    // What the picture no longer covers is black again.
    XClearWindow(x_display, drawing_window);
    tell_pointer_again();
}

void follow_window_manager() {
    if (state_told.exchange(false)) {
        const std::vector<long> states = property_values(frame_window, atom_wm_state, XA_ATOM);
        full_screen = std::find(states.begin(), states.end(), static_cast<long>(atom_fullscreen)) !=
                      states.end();
        if (!full_screen && window_size_wanted) {
            window_size_wanted = false;
            size_as_window();
        }
    }
    // Without a window manager a full-screen window keeps to its monitor
    // when the monitors change (a window manager that has gone counts).
    if (monitors_told.exchange(false)) {
        window_manager = window_manager_makes_full_screen();
        if (!window_manager && full_screen) cover_monitor(monitor_of_window());
    }
    const uint32_t size = told_size.load();
    follow_size(static_cast<int>(size & 0xffff), static_cast<int>(size >> 16));
}

// A 16-bit pixel of the picture as a pixel of the window's visual.
uint32_t channel(int value, unsigned long mask) {
    int shift = 0, bits = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        shift++;
    }
    while (mask & 1) {
        mask >>= 1;
        bits++;
    }
    const uint32_t top = (1u << bits) - 1;
    return ((static_cast<uint32_t>(value) * top + 127) / 255) << shift;
}

bool make_image(Visual *visual, int depth) {
#ifdef ALLEGRO_XWINDOWS_WITH_SHM
    // The library found the server shares memory with it.
    if (_xwin.use_shm) {
        image = XShmCreateImage(x_display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                &shared_memory, PICTURE_WIDTH, PICTURE_HEIGHT);
        if (image) {
            shared_memory.shmid =
                shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * PICTURE_HEIGHT,
                       IPC_CREAT | 0600);
            void *memory = shared_memory.shmid >= 0 ? shmat(shared_memory.shmid, nullptr, 0)
                                                    : reinterpret_cast<void *>(-1);
            if (memory != reinterpret_cast<void *>(-1)) {
                shared_memory.shmaddr = image->data = static_cast<char *>(memory);
                shared_memory.readOnly = False;
                image_shared = XShmAttach(x_display, &shared_memory) != 0;
                XSync(x_display, False);
            }
            // Freed once both sides have let it go.
            if (shared_memory.shmid >= 0) shmctl(shared_memory.shmid, IPC_RMID, nullptr);
            if (image_shared) return true;
            if (memory != reinterpret_cast<void *>(-1)) shmdt(memory);
            image->data = nullptr;
            XDestroyImage(image);
            image = nullptr;
        }
    }
#endif
    image = XCreateImage(x_display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                         PICTURE_WIDTH, PICTURE_HEIGHT, 32, 0);
    if (!image) return false;
    image->data = static_cast<char *>(std::malloc(static_cast<size_t>(image->bytes_per_line) *
                                                  PICTURE_HEIGHT));
    return image->data != nullptr;
}

bool open_on_x() {
    x_display = _xwin.display;
    frame_window = _xwin.wm_window;
    drawing_window = _xwin.window;
    if (!x_display || frame_window == None || drawing_window == None || !gfx_driver ||
        !gfx_driver->windowed)
        return false;
    root_window = RootWindow(x_display, _xwin.screen);
    int render_events = 0, render_errors = 0;
    if (!XRenderQueryExtension(x_display, &render_events, &render_errors)) return false;

    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x_display, drawing_window, &attributes)) return false;
    XRenderPictFormat *format = XRenderFindVisualFormat(x_display, attributes.visual);
    Visual *visual = attributes.visual;
    if (!format || visual->c_class != TrueColor || !make_image(visual, attributes.depth)) return false;
    if (image->bits_per_pixel != 32) return false;

    pixel_of.resize(1u << 16);
    for (uint32_t p = 0; p < pixel_of.size(); p++) {
        const int c = static_cast<int>(p);
        pixel_of[p] = channel(getr16(c), visual->red_mask) | channel(getg16(c), visual->green_mask) |
                      channel(getb16(c), visual->blue_mask);
    }
    upload = XCreatePixmap(x_display, drawing_window, PICTURE_WIDTH, PICTURE_HEIGHT,
                           static_cast<unsigned>(attributes.depth));
    upload_gc = XCreateGC(x_display, upload, 0, nullptr);
    source = XRenderCreatePicture(x_display, upload, format, 0, nullptr);
    target = XRenderCreatePicture(x_display, drawing_window, format, 0, nullptr);
    XRenderSetPictureFilter(x_display, source, FilterNearest, nullptr, 0);

    atom_wm_state = XInternAtom(x_display, "_NET_WM_STATE", False);
    atom_fullscreen = XInternAtom(x_display, "_NET_WM_STATE_FULLSCREEN", False);
    atom_wm_check = XInternAtom(x_display, "_NET_SUPPORTING_WM_CHECK", False);
    atom_workarea = XInternAtom(x_display, "_NET_WORKAREA", False);
    atom_current_desktop = XInternAtom(x_display, "_NET_CURRENT_DESKTOP", False);
    atom_frame_extents = XInternAtom(x_display, "_NET_FRAME_EXTENTS", False);

    int randr_errors = 0;
    if (XRRQueryExtension(x_display, &randr_events, &randr_errors)) {
        randr_events += RRScreenChangeNotify;
        XRRSelectInput(x_display, root_window, RRScreenChangeNotifyMask);
        watch_events_of(randr_events);
    }
    for (int type : {MotionNotify, ButtonPress, ButtonRelease, EnterNotify, LeaveNotify,
                     ConfigureNotify, PropertyNotify})
        watch_events_of(type);
    _xwin_window_redrawer = leave_exposed_window;
    // Setting the mode put the library's mouse in its warped mode for a
    // moment, at whose end it would move the real pointer to its own
    // position taken as a point of the window: the pointer stays where the
    // player has it.
    _xwin.mouse_warped = 0;

    Window root_back = None;
    int gx = 0, gy = 0;
    unsigned int gw = 0, gh = 0, border = 0, depth = 0;
    XGetGeometry(x_display, frame_window, &root_back, &gx, &gy, &gw, &gh, &border, &depth);
    follow_size(static_cast<int>(gw), static_cast<int>(gh));

    window_manager = window_manager_makes_full_screen();
    free_window_size();
    cover_monitor(monitor_of_pointer());
    XSync(x_display, False);
    return true;
}

}  // namespace

int prepare_scaled_display() { return GFX_AUTODETECT_WINDOWED; }

bool open_scaled_display() {
    XLOCK();
    const bool opened = open_on_x();
    XUNLOCK();
    return opened;
}

void present_scaled(BITMAP *picture) {
    XLOCK();
    follow_window_manager();
    // The server is done with the last frame's pixels before they change.
    if (image_shared) XSync(x_display, False);
    for (int y = 0; y < PICTURE_HEIGHT; y++) {
        const auto *from = reinterpret_cast<const uint16_t *>(picture->line[y]);
        auto *to = reinterpret_cast<uint32_t *>(image->data + y * image->bytes_per_line);
        for (int x = 0; x < PICTURE_WIDTH; x++) to[x] = pixel_of[from[x]];
    }
#ifdef ALLEGRO_XWINDOWS_WITH_SHM
    if (image_shared)
        XShmPutImage(x_display, upload, upload_gc, image, 0, 0, 0, 0, PICTURE_WIDTH, PICTURE_HEIGHT,
                     False);
    else
#endif
        XPutImage(x_display, upload, upload_gc, image, 0, 0, 0, 0, PICTURE_WIDTH, PICTURE_HEIGHT);
    XRenderComposite(x_display, PictOpSrc, source, None, target, 0, 0, 0, 0, place.x, place.y,
                     static_cast<unsigned>(place.w), static_cast<unsigned>(place.h));
    XFlush(x_display);
    XUNLOCK();
}

void switch_full_screen() {
    XLOCK();
    // A window manager may have come or gone since.
    window_manager = window_manager_makes_full_screen();
    if (!full_screen) {
        cover_monitor(monitor_of_window());
    } else if (window_manager) {
        // The window manager first gives the window back its size from
        // before; the game's is set once it has (follow_window_manager).
        full_screen = false;
        window_size_wanted = true;
        ask_full_screen(false);
    } else {
        full_screen = false;
        size_as_window();
    }
    XFlush(x_display);
    XUNLOCK();
}
