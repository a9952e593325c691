// Draws every picture of the game and synthesises its click, into the folder
// given as the only argument. The build packs the files into snake.dat.
//
// Everything is drawn in 16-bit colour into memory bitmaps, so what is saved
// is exactly what the game shows. Shapes are painted through small "shaders"
// sampled 4x4 times per pixel, which smooths their edges; the background of
// sprites is the mask colour, and the game draws them over black.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const double PI = 3.14159265358979323846;

struct Rgb {
    double r, g, b;
};

struct Pt {
    double x, y;
};

const Rgb BLACK = {0, 0, 0};
const Rgb WHITE = {255, 255, 255};

Rgb rgb(int r, int g, int b) { return {double(r), double(g), double(b)}; }

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb times(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

double smooth(double edge0, double edge1, double v) {
    double t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

double fract(double v) { return v - std::floor(v); }

// A small fixed-seed generator, so that every build draws the same stars.
uint32_t next_random(uint32_t &seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

double distance_to_segment(Pt p, Pt a, Pt b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double t = clamp01(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy));
    return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Signed distance to a rounded box: negative inside, 0 on the edge.
double box_distance(double x, double y, double x0, double y0, double x1, double y1, double radius) {
    double qx = std::fabs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - radius);
    double qy = std::fabs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - radius);
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// Lines of a diamond lattice, like snake scales: 1 on a line, 0 between.
double scale_lines(double u, double v, double size) {
    double a = fract((u + v) / size), b = fract((u - v) / size);
    double edge = std::min(std::min(a, 1 - a), std::min(b, 1 - b));
    return 1.0 - smooth(0.0, 0.14, edge);
}

// ---------------------------------------------------------------- pixels

// Ordered dithering hides the banding of 16-bit gradients.
const int BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int channel(double v, double step, int x, int y) {
    double offset = (BAYER[y & 3][x & 3] + 0.5) / 16.0 * step;
    return std::clamp(static_cast<int>(v + offset), 0, 255);
}

void put(BITMAP *bmp, int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= bmp->w || y >= bmp->h)
        return;
    int r = channel(c.r, 8, x, y), g = channel(c.g, 4, x, y), b = channel(c.b, 8, x, y);
    int colour = makecol(r, g, b);
    if (colour == bitmap_mask_color(bmp))  // a drawn pixel must never turn transparent
        colour = makecol(r, 4, b);
    putpixel(bmp, x, y, colour);
}

Rgb get(BITMAP *bmp, int x, int y) {
    int c = getpixel(bmp, x, y);
    return rgb(getr(c), getg(c), getb(c));
}

bool is_mask(BITMAP *bmp, int x, int y) { return getpixel(bmp, x, y) == bitmap_mask_color(bmp); }

BITMAP *new_sprite(int w, int h) {
    BITMAP *bmp = create_bitmap(w, h);
    clear_to_color(bmp, bitmap_mask_color(bmp));
    return bmp;
}

// Lays `c` over a pixel with the given coverage. Over the mask colour the
// sprite will be shown on black, so a faint edge fades to black or is left out.
void blend(BITMAP *bmp, int x, int y, Rgb c, double cover) {
    if (is_mask(bmp, x, y)) {
        if (cover >= 0.3)
            put(bmp, x, y, mix(BLACK, c, cover));
    } else {
        put(bmp, x, y, mix(get(bmp, x, y), c, cover));
    }
}

// A shader tells whether a point lies in the shape, and its colour there.
using Shader = std::function<bool(double, double, Rgb &)>;
const int SUB = 4;

void paint(BITMAP *bmp, int x0, int y0, int x1, int y1, const Shader &shader) {
    for (int y = std::max(0, y0); y <= std::min(bmp->h - 1, y1); y++) {
        for (int x = std::max(0, x0); x <= std::min(bmp->w - 1, x1); x++) {
            Rgb sum = BLACK;
            int hits = 0;
            for (int i = 0; i < SUB * SUB; i++) {
                Rgb c;
                if (shader(x + (i % SUB + 0.5) / SUB, y + (i / SUB + 0.5) / SUB, c)) {
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                    hits++;
                }
            }
            if (hits > 0)
                blend(bmp, x, y, times(sum, 1.0 / hits), double(hits) / (SUB * SUB));
        }
    }
}

void paint_all(BITMAP *bmp, const Shader &shader) { paint(bmp, 0, 0, bmp->w - 1, bmp->h - 1, shader); }

// Light falls from the upper left, a little in front. (nx, ny) is the
// surface normal seen from above, of length at most 1.
Rgb lit(Rgb base, double nx, double ny, double gloss) {
    const double LX = -0.45, LY = -0.6, LZ = 0.66;
    double n2 = nx * nx + ny * ny;
    if (n2 > 1.0) {
        nx /= std::sqrt(n2);
        ny /= std::sqrt(n2);
        n2 = 1.0;
    }
    double nz = std::sqrt(1.0 - n2);
    double diffuse = std::max(0.0, nx * LX + ny * LY + nz * LZ);
    double hz = LZ + 1.0, hl = std::sqrt(LX * LX + LY * LY + hz * hz);
    double shine = std::pow(std::max(0.0, (nx * LX + ny * LY + nz * hz) / hl), 28.0) * gloss;
    return mix(times(base, 0.3 + 0.8 * diffuse), WHITE, clamp01(shine));
}

// ---------------------------------------------------------------- apples

struct AppleLook {
    Rgb skin, blush;
    double gloss;
    bool leaf, bitten, shine;
};

// The apple's outline in units of its radius: wider at the shoulders, with
// a dimple where the stem grows and a small one underneath.
bool apple_body(double u, double v) {
    double w = 1.0 - 0.12 * v;
    if (u * u / (w * w) + v * v >= 1.0)
        return false;
    return v > -0.93 + 0.3 * std::exp(-u * u / 0.06) && v < 0.97 - 0.1 * std::exp(-u * u / 0.04);
}

void draw_apple(BITMAP *bmp, double cx, double cy, double r, const AppleLook &look) {
    int x0 = static_cast<int>(cx - 1.4 * r), x1 = static_cast<int>(cx + 1.4 * r);
    int y0 = static_cast<int>(cy - 1.4 * r), y1 = static_cast<int>(cy + 1.2 * r);
    const Pt stem_base = {cx, cy - 0.55 * r}, stem_tip = {cx + 0.3 * r, cy - 1.22 * r};
    const double stem_width = std::max(0.6, 0.13 * r);
    paint(bmp, x0, y0, x1, y1, [&](double x, double y, Rgb &c) {
        c = mix(rgb(120, 70, 30), rgb(60, 30, 10), clamp01((x - cx) / r + 0.5));
        return distance_to_segment({x, y}, stem_base, stem_tip) < stem_width;
    });
    const Pt bites[2] = {{cx + 1.12 * r, cy - 0.3 * r}, {cx + 1.1 * r, cy + 0.4 * r}};
    paint(bmp, x0, y0, x1, y1, [&](double x, double y, Rgb &c) {
        double u = (x - cx) / r, v = (y - cy) / r;
        if (!apple_body(u, v))
            return false;
        if (look.bitten) {
            double nearest = 9.0;
            for (const Pt &b : bites)
                nearest = std::min(nearest, std::hypot(x - b.x, y - b.y) / r - 0.55);
            if (nearest < 0.0)
                return false;
            if (nearest < 0.3) {  // the white flesh round the bite
                c = lit(rgb(250, 240, 195), -u * 0.3, -v * 0.3, 0.0);
                return true;
            }
        }
        Rgb base = mix(look.skin, look.blush, smooth(0.9, -0.6, std::hypot(u + 0.3, v + 0.35)));
        c = lit(base, u * 0.95, v * 0.95, look.gloss);
        if (look.shine)  // a glossy window reflection
            c = mix(c, WHITE, 0.85 * (1.0 - smooth(0.12, 0.2, std::hypot((u + 0.38) * 0.8, v + 0.4))));
        return true;
    });
    if (!look.leaf)
        return;
    const double ca = std::cos(-0.5), sa = std::sin(-0.5);
    const Pt leaf = {cx + 0.55 * r, cy - 0.95 * r};
    paint(bmp, x0, y0, x1 + 2, y1, [&](double x, double y, Rgb &c) {
        double a = ((x - leaf.x) * ca + (y - leaf.y) * sa) / (0.42 * r);
        double b = (-(x - leaf.x) * sa + (y - leaf.y) * ca) / (0.2 * r);
        if (a * a + b * b >= 1.0)
            return false;
        c = lit(mix(rgb(120, 220, 60), rgb(30, 120, 30), clamp01(a * 0.5 + 0.5)), 0.0, b * 0.7, 0.3);
        return true;
    });
}

// ---------------------------------------------------------------- snakes

struct SnakeLook {
    Rgb skin, marks;
};

// Points about a pixel apart along a straight line with a sideways wave.
std::vector<Pt> wave_path(Pt from, Pt to, double amplitude, double wavelength) {
    double length = std::hypot(to.x - from.x, to.y - from.y);
    double nx = -(to.y - from.y) / length, ny = (to.x - from.x) / length;
    std::vector<Pt> path;
    for (double s = 0.0; s <= length; s += 0.5) {
        double t = s / length, side = amplitude * std::sin(2 * PI * s / wavelength);
        path.push_back({from.x + (to.x - from.x) * t + nx * side, from.y + (to.y - from.y) * t + ny * side});
    }
    return path;
}

// The snake's body from its tail (first point) to its neck (last point),
// thickening from `r_tail` to `r_neck`. Each pixel takes its shading from
// the nearest point of the centre line, so the body reads as a shiny tube.
void draw_snake_body(BITMAP *bmp, const std::vector<Pt> &path, double r_tail, double r_neck, const SnakeLook &look) {
    struct Nearest {
        double q = 1e9, along = 0, across = 0, radius = 1, nx = 0, ny = 0;
    };
    std::vector<Nearest> near(static_cast<size_t>(bmp->w * bmp->h));
    std::vector<double> along(path.size(), 0.0);
    for (size_t i = 1; i < path.size(); i++)
        along[i] = along[i - 1] + std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
    for (size_t i = 0; i < path.size(); i++) {
        const Pt &a = path[i > 0 ? i - 1 : i], &b = path[i + 1 < path.size() ? i + 1 : i];
        double tl = std::max(1e-9, std::hypot(b.x - a.x, b.y - a.y));
        double nx = -(b.y - a.y) / tl, ny = (b.x - a.x) / tl;
        double radius = r_tail + (r_neck - r_tail) * std::pow(along[i] / along.back(), 0.4);
        Pt c = path[i];
        for (int y = static_cast<int>(c.y - radius - 2); y <= static_cast<int>(c.y + radius + 2); y++) {
            for (int x = static_cast<int>(c.x - radius - 2); x <= static_cast<int>(c.x + radius + 2); x++) {
                if (x < 0 || y < 0 || x >= bmp->w || y >= bmp->h)
                    continue;
                double dx = x + 0.5 - c.x, dy = y + 0.5 - c.y;
                Nearest &n = near[static_cast<size_t>(y * bmp->w + x)];
                double q = std::hypot(dx, dy) - radius;
                if (q < n.q)
                    n = {q, along[i], (dx * nx + dy * ny) / radius, radius, nx, ny};
            }
        }
    }
    for (int y = 0; y < bmp->h; y++) {
        for (int x = 0; x < bmp->w; x++) {
            const Nearest &n = near[static_cast<size_t>(y * bmp->w + x)];
            if (n.q >= 0.5)
                continue;
            double side = n.across * n.radius;
            bool mark = std::fabs(fract(n.along / (3.4 * n.radius)) - 0.5) * 3.4 + std::fabs(n.across) < 0.6;
            Rgb base = mark ? look.marks : look.skin;
            base = mix(base, times(base, 0.55), 0.7 * scale_lines(n.along, side, std::max(3.0, n.radius * 0.9)));
            Rgb c = lit(base, n.across * n.nx, n.across * n.ny, 0.6);
            blend(bmp, x, y, c, clamp01(0.5 - n.q));
        }
    }
}

// The head at `c`, looking along `angle`, `size` about its half width,
// with two eyes and a forked tongue.
void draw_snake_head(BITMAP *bmp, Pt c, double angle, double size, const SnakeLook &look) {
    double fx = std::cos(angle), fy = std::sin(angle);
    int x0 = static_cast<int>(c.x - 2 * size), x1 = static_cast<int>(c.x + 2 * size);
    int y0 = static_cast<int>(c.y - 2 * size), y1 = static_cast<int>(c.y + 2 * size);
    auto local = [&](double x, double y, double &a, double &b) {
        a = ((x - c.x) * fx + (y - c.y) * fy) / size;
        b = (-(x - c.x) * fy + (y - c.y) * fx) / size;
    };
    paint(bmp, x0, y0, x1, y1, [&](double x, double y, Rgb &col) {
        double a, b;
        local(x, y, a, b);
        double w = 0.07 + 0.01 * size / 10;
        bool stalk = a > 1.0 && a < 1.5 && std::fabs(b) < w;
        bool fork = a >= 1.4 && a < 1.8 && std::fabs(std::fabs(b) - (a - 1.4) * 0.7) < w;
        col = rgb(230, 30, 50);
        return stalk || fork;
    });
    paint(bmp, x0, y0, x1, y1, [&](double x, double y, Rgb &col) {
        double a, b;
        local(x, y, a, b);
        double half = 1.0 - 0.16 * a;
        if ((a / 1.3) * (a / 1.3) + (b / half) * (b / half) >= 1.0)
            return false;
        double na = a / 1.3, nb = b / half;
        col = lit(look.skin, na * fx - nb * fy, na * fy + nb * fx, 0.8);
        for (int eye = -1; eye <= 1; eye += 2) {
            double ea = a - 0.35, eb = b - eye * 0.5, d = std::hypot(ea, eb);
            if (d < 0.27)
                col = std::hypot(ea + 0.06, eb + 0.06) < 0.07 ? WHITE
                      : std::hypot(ea - 0.06, eb) < 0.15      ? rgb(10, 10, 10)
                                                             : rgb(255, 240, 120);
        }
        return true;
    });
}

void draw_snake(BITMAP *bmp, const std::vector<Pt> &path, double r_tail, double r_neck, const SnakeLook &look) {
    draw_snake_body(bmp, path, r_tail, r_neck, look);
    const Pt &a = path[path.size() - 4], &b = path.back();
    draw_snake_head(bmp, b, std::atan2(b.y - a.y, b.x - a.x), r_neck * 1.15, look);
}

// ---------------------------------------------------------------- lettering

struct TextLook {
    int sx, sy;  // size of one font pixel
    Rgb top, bottom, outline, shadow, rim;
    double outline_px, shadow_px, rim_px;  // the rim is a bright ring round the outline; 0 for none
    bool scales;
};

// Writes `text` in the library's 8x8 font, each font pixel a bevelled
// block, with a rounded outline and a drop shadow. Centred on `cx`.
void draw_big_text(BITMAP *bmp, const char *text, int cx, int top, const TextLook &look) {
    BITMAP *glyphs = create_bitmap(text_length(font, text), text_height(font));
    clear_to_color(glyphs, 0);
    textout_ex(glyphs, font, text, 0, 0, makecol(255, 255, 255), -1);
    int min_x = glyphs->w, max_x = -1, min_y = glyphs->h, max_y = -1;
    for (int y = 0; y < glyphs->h; y++)
        for (int x = 0; x < glyphs->w; x++)
            if (getpixel(glyphs, x, y) != 0) {
                min_x = std::min(min_x, x), max_x = std::max(max_x, x);
                min_y = std::min(min_y, y), max_y = std::max(max_y, y);
            }
    const int w = (max_x - min_x + 1) * look.sx, h = (max_y - min_y + 1) * look.sy, left = cx - w / 2;
    auto ink = [&](int gx, int gy) {
        return gx >= min_x && gx <= max_x && gy >= min_y && gy <= max_y && getpixel(glyphs, gx, gy) != 0;
    };
    auto block_of = [&](double x, double y, int &gx, int &gy) {
        gx = static_cast<int>(std::floor((x - left) / look.sx)) + min_x;
        gy = static_cast<int>(std::floor((y - top) / look.sy)) + min_y;
    };
    auto ink_distance = [&](double x, double y) {
        int gx, gy, reach = static_cast<int>(look.outline_px) / std::min(look.sx, look.sy) + 1;
        block_of(x, y, gx, gy);
        double best = 1e9;
        for (int by = gy - reach; by <= gy + reach; by++)
            for (int bx = gx - reach; bx <= gx + reach; bx++) {
                if (!ink(bx, by))
                    continue;
                double bx0 = left + (bx - min_x) * look.sx, by0 = top + (by - min_y) * look.sy;
                double dx = std::max({bx0 - x, 0.0, x - bx0 - look.sx});
                double dy = std::max({by0 - y, 0.0, y - by0 - look.sy});
                best = std::min(best, std::hypot(dx, dy));
            }
        return best;
    };
    const int pad = static_cast<int>(look.outline_px + look.shadow_px + look.rim_px) + 2;
    auto area = [&](const Shader &shader) { paint(bmp, left - pad, top - pad, left + w + pad, top + h + pad, shader); };
    area([&](double x, double y, Rgb &c) {
        c = look.shadow;
        return ink_distance(x - look.shadow_px, y - look.shadow_px) <= look.outline_px;
    });
    if (look.rim_px > 0)
        area([&](double x, double y, Rgb &c) {
            c = look.rim;
            return ink_distance(x, y) <= look.outline_px + look.rim_px;
        });
    area([&](double x, double y, Rgb &c) {
        c = look.outline;
        return ink_distance(x, y) <= look.outline_px;
    });
    const int bevel = std::max(1, std::min(look.sx, look.sy) / 3);
    area([&](double x, double y, Rgb &c) {
        int gx, gy;
        block_of(x, y, gx, gy);
        if (!ink(gx, gy))
            return false;
        double lx = x - left - (gx - min_x) * look.sx, ly = y - top - (gy - min_y) * look.sy;
        c = mix(look.top, look.bottom, clamp01((y - top) / h));
        if (look.scales)
            c = mix(c, times(c, 0.6), 0.6 * scale_lines(x, y, 9.0));
        if ((!ink(gx, gy - 1) && ly < bevel) || (!ink(gx - 1, gy) && lx < bevel))
            c = mix(c, WHITE, 0.45);
        else if ((!ink(gx, gy + 1) && ly >= look.sy - bevel) || (!ink(gx + 1, gy) && lx >= look.sx - bevel))
            c = times(c, 0.6);
        return true;
    });
    destroy_bitmap(glyphs);
}

// ---------------------------------------------------------------- pictures

const SnakeLook GREEN_SNAKE = {rgb(60, 200, 60), rgb(250, 220, 40)};
const AppleLook BIG_APPLE = {rgb(215, 20, 30), rgb(255, 105, 70), 0.9, true, false, false};

enum ButtonIcon { ICON_PLAY, ICON_GEAR, ICON_STAR, ICON_CROSS };

// The little pictogram at the left of a button, in units of its radius.
bool icon_shape(ButtonIcon icon, double u, double v) {
    double r = std::hypot(u, v), a = std::atan2(v, u);
    switch (icon) {
    case ICON_PLAY:
        return u > -0.6 && u < 0.85 && std::fabs(v) < (0.85 - u) * 0.62;
    case ICON_GEAR:
        return r > 0.32 && r < (std::cos(8 * a) > 0 ? 0.95 : 0.72);
    case ICON_STAR:
        return r < 0.42 + 0.55 * std::pow(std::fabs(std::cos(2.5 * (a + PI / 2))), 3.0);
    case ICON_CROSS:
        return std::min(std::fabs(u - v), std::fabs(u + v)) < 0.32 && r < 0.95;
    }
    return false;
}

BITMAP *draw_button(const char *label, ButtonIcon icon, Rgb light, Rgb dark) {
    const int W = 256, H = 77;
    BITMAP *bmp = new_sprite(W, H);
    auto body = [](double x, double y) { return box_distance(x, y, 2, 2, W - 2, H - 2, 16); };
    paint_all(bmp, [&](double x, double y, Rgb &c) {
        double d = body(x, y);
        if (d > 0)
            return false;
        double t = (y - 2) / (H - 4);
        c = mix(light, dark, t);
        if (t < 0.48)  // a glassy sheen over the upper half
            c = mix(c, WHITE, 0.3 * (1.0 - t / 0.48));
        if (d > -1.6)
            c = times(dark, 0.4);
        else if (d > -6.0) {
            double gx = body(x + 0.5, y) - body(x - 0.5, y), gy = body(x, y + 0.5) - body(x, y - 0.5);
            double facing = -(gx + gy) * 0.7;
            c = mix(c, facing > 0 ? WHITE : BLACK, std::min(0.55, std::fabs(facing) * 0.55));
        }
        return true;
    });
    const Pt centre = {36, H / 2.0};
    for (int pass = 0; pass < 2; pass++) {
        const double grow = pass == 0 ? 1.25 : 1.0;
        paint(bmp, 10, 10, 64, H - 10, [&](double x, double y, Rgb &c) {
            double u = (x - centre.x) / 17.0 / grow, v = (y - centre.y) / 17.0 / grow;
            c = pass == 0 ? times(dark, 0.35) : mix(WHITE, rgb(255, 240, 150), clamp01(v * 0.5 + 0.5));
            return icon_shape(icon, u, v);
        });
    }
    const TextLook text = {3, 5, WHITE, rgb(255, 230, 110), times(dark, 0.3), times(dark, 0.55), BLACK, 2.5, 3.0, 0.0, false};
    draw_big_text(bmp, label, 150, (H - 7 * 5) / 2, text);
    return bmp;
}

BITMAP *draw_title() {
    BITMAP *bmp = new_sprite(420, 100);
    const TextLook look = {10, 9,           rgb(200, 255, 90), rgb(20, 130, 40), rgb(10, 40, 15),
                           rgb(0, 0, 0), rgb(255, 220, 40), 3.0, 5.0, 1.6, true};
    draw_big_text(bmp, "SNAKE", 210, 6, look);
    draw_snake(bmp, wave_path({18, 86}, {362, 86}, 4, 52), 1.5, 5.8, GREEN_SNAKE);
    draw_apple(bmp, 398, 86, 9, BIG_APPLE);
    return bmp;
}

BITMAP *draw_arrow(bool right) {
    BITMAP *bmp = new_sprite(20, 20);
    auto shape = [](double u, double v) {  // pointing right, u and v from 0 to 20
        bool head = u >= 9 && u < 19.6 && std::fabs(v - 10) < (19.6 - u) * 0.85;
        return head || (u > 0.8 && u < 10 && std::fabs(v - 10) < 3.8);
    };
    paint_all(bmp, [&](double x, double y, Rgb &c) {
        double u = right ? x : 20 - x;
        bool inside = shape(u, y);
        c = mix(rgb(255, 250, 120), rgb(240, 120, 0), y / 20);
        bool edge = false;
        for (int k = 0; k < 8; k++)
            edge = edge || !shape(u + 1.4 * std::cos(k * PI / 4), y + 1.4 * std::sin(k * PI / 4));
        if (inside && edge)
            c = rgb(90, 30, 0);
        else if (inside && y < 10)
            c = mix(c, WHITE, 0.3);
        return inside;
    });
    return bmp;
}

void fill_background(BITMAP *bmp, const std::function<Rgb(int, int)> &colour) {
    for (int y = 0; y < bmp->h; y++)
        for (int x = 0; x < bmp->w; x++)
            put(bmp, x, y, colour(x, y));
}

// Twinkling stars from a fixed seed, as bright as `brightness` says there.
void draw_stars(BITMAP *bmp, int count, uint32_t seed, const std::function<double(int, int)> &brightness) {
    for (int i = 0; i < count; i++) {
        int x = static_cast<int>(next_random(seed) % static_cast<uint32_t>(bmp->w));
        int y = static_cast<int>(next_random(seed) % static_cast<uint32_t>(bmp->h));
        double k = brightness(x, y) * (0.4 + 0.6 * (next_random(seed) % 100) / 100.0);
        Rgb star = mix(rgb(200, 220, 255), rgb(255, 250, 200), next_random(seed) % 2);
        blend(bmp, x, y, star, k);
        if (i % 7 == 0)
            for (int d = -2; d <= 2; d += 4) {
                blend(bmp, x + d / 2, y, star, k * 0.5);
                blend(bmp, x, y + d / 2, star, k * 0.5);
            }
    }
}

BITMAP *draw_options_background() {
    BITMAP *bmp = create_bitmap(300, 480);
    fill_background(bmp, [](int x, int y) {
        double top = smooth(160, 20, y), bottom = smooth(440, 480, y);
        Rgb c = mix(rgb(3, 4, 10), rgb(22, 30, 60), std::max(top, bottom));
        return mix(c, rgb(30, 60, 50), 0.5 * std::max(top, bottom) * scale_lines(x, y, 14));
    });
    draw_stars(bmp, 40, 7u, [](int, int y) { return smooth(150, 30, y); });
    paint_all(bmp, [](double x, double y, Rgb &c) {
        double d = box_distance(x, y, 0, 0, 300, 480, 18);
        c = d > -2.5 ? rgb(0, 0, 0) : mix(rgb(120, 255, 160), rgb(20, 110, 70), y / 480);
        return d > -5.5;
    });
    for (int y : {207, 267})  // faint rules between the three settings
        paint(bmp, 20, y, 280, y, [](double x, double, Rgb &c) {
            c = rgb(40, 90, 70);
            return std::fabs(x - 150) < 130;
        });
    const TextLook heading = {4, 5, rgb(255, 255, 140), rgb(255, 140, 0), rgb(90, 20, 0), BLACK, rgb(255, 90, 0), 2.5, 3.0, 1.2, false};
    draw_big_text(bmp, "OPTIONS", 150, 26, heading);
    draw_snake(bmp, wave_path({30, 110}, {222, 110}, 7, 52), 1.5, 7.5, GREEN_SNAKE);
    draw_apple(bmp, 266, 110, 11, BIG_APPLE);
    for (int i = 0; i < 5; i++)
        draw_apple(bmp, 70 + 40 * i, 456, 6, {rgb(200, 30, 30), rgb(255, 120, 60), 0.8, false, false, false});
    return bmp;
}

BITMAP *draw_credits_background() {
    BITMAP *bmp = create_bitmap(640, 480);
    auto edge = [](int x, int y) {
        return smooth(0.5, 1.0, std::max(std::fabs(x - 319.5) / 320.0, std::fabs(y - 239.5) / 240.0 * 0.9));
    };
    fill_background(bmp, [&](int x, int y) {
        double e = edge(x, y);
        Rgb c = mix(rgb(2, 4, 8), rgb(12, 40, 28), e);
        return mix(c, rgb(40, 110, 70), (0.08 + 0.5 * e) * scale_lines(x, y, 20));
    });
    draw_stars(bmp, 220, 2024u, [&](int x, int y) { return 0.15 + 0.85 * edge(x, y); });
    // The snake runs round the edges and is about to eat the apple at the top.
    std::vector<Pt> loop;
    const double L = 26, T = 26, R = 614, B = 454, RAD = 46;
    for (double s = 0.0; s < 4.0; s += 0.0005) {
        int side = static_cast<int>(s);
        double t = s - side;
        Pt corner[4] = {{R - RAD, T + RAD}, {R - RAD, B - RAD}, {L + RAD, B - RAD}, {L + RAD, T + RAD}};
        Pt p;
        if (t < 0.8) {
            Pt from = corner[(side + 3) % 4], to = corner[side];
            double k = t / 0.8, a = (side - 1) * PI / 2;
            p = {from.x + (to.x - from.x) * k + RAD * std::cos(a), from.y + (to.y - from.y) * k + RAD * std::sin(a)};
        } else {
            double a = (side - 1 + (t - 0.8) / 0.2) * PI / 2;
            p = {corner[side].x + RAD * std::cos(a), corner[side].y + RAD * std::sin(a)};
        }
        if (loop.empty() || std::hypot(p.x - loop.back().x, p.y - loop.back().y) >= 0.7)
            loop.push_back(p);
    }
    // start the tail right of the apple, end the head left of it, with a wiggle
    std::vector<Pt> path;
    size_t start = 0;
    while (loop[start].x < 292)
        start++;
    for (size_t i = 0; i + 150 < loop.size(); i++) {
        Pt p = loop[(start + i) % loop.size()], q = loop[(start + i + 1) % loop.size()];
        double tl = std::hypot(q.x - p.x, q.y - p.y), w = 5.0 * std::sin(double(i) * 2 * PI / 100.0);
        path.push_back({p.x - (q.y - p.y) / tl * w, p.y + (q.x - p.x) / tl * w});
    }
    draw_snake(bmp, path, 2.0, 10.0, GREEN_SNAKE);
    draw_apple(bmp, 252, T + 1, 11, BIG_APPLE);
    return bmp;
}

// The icon is laid out on a 48x48 grid and drawn at `size` pixels square:
// the desktop wants it in several sizes, each drawn sharp rather than scaled.
BITMAP *draw_icon(int size) {
    const double k = size / 48.0;
    BITMAP *bmp = new_sprite(size, size);
    paint_all(bmp, [k](double x, double y, Rgb &c) {
        double u = x / k, v = y / k;
        double d = box_distance(u, v, 1, 1, 47, 47, 9);
        c = mix(rgb(40, 120, 110), rgb(8, 40, 40), clamp01(std::hypot(u - 18, v - 16) / 34));
        if (d > -2)
            c = rgb(5, 20, 20);
        return d < 0;
    });
    // coiled from the tail in the middle, the head on top looking at the apple
    std::vector<Pt> spiral;
    const double TURNS = 1.45, END = 3.5 * PI;
    for (double a = END - TURNS * 2 * PI; a <= END; a += 0.02 / k) {
        double r = 2.5 + 11.5 * (1.0 - (END - a) / (TURNS * 2 * PI));
        spiral.push_back({k * (19 + r * std::cos(a)), k * (29 + r * std::sin(a))});
    }
    draw_snake(bmp, spiral, 1.8 * k, 3.8 * k, GREEN_SNAKE);
    draw_apple(bmp, 37 * k, 14 * k, 7.5 * k, BIG_APPLE);
    return bmp;
}

BITMAP *draw_apple_picture(const AppleLook &look) {
    BITMAP *bmp = new_sprite(13, 13);
    draw_apple(bmp, 6.5, 7.3, 5.5, look);
    return bmp;
}

// ---------------------------------------------------------------- sound

void put_le(std::FILE *f, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++)
        std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), f);
}

// 40 ms of a falling 2.4 kHz ping with a puff of band-passed noise, a short
// ramp in and out so that it starts and ends at zero, peaking at -3 dBFS.
bool write_click(const std::string &path) {
    const int RATE = 44100, COUNT = RATE * 40 / 1000, RAMP = 12, FADE = 88;
    std::vector<double> wave(COUNT);
    uint32_t seed = 99991u;
    double phase = 0.0, low = 0.0, lower = 0.0, peak = 0.0;
    for (int i = 0; i < COUNT; i++) {
        double t = double(i) / RATE;
        phase += 2 * PI * (2400.0 - 700.0 * t / 0.04) / RATE;
        double white = double(next_random(seed)) / double(1u << 24) * 2.0 - 1.0;
        low += 0.45 * (white - low);
        lower += 0.06 * (low - lower);
        double v = std::sin(phase) * std::exp(-t / 0.008) + 1.6 * (low - lower) * std::exp(-t / 0.0025);
        v *= std::min(1.0, double(i) / RAMP) * std::min(1.0, double(COUNT - 1 - i) / FADE);
        wave[static_cast<size_t>(i)] = v;
        peak = std::max(peak, std::fabs(v));
    }
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const uint32_t data_bytes = COUNT * 2;
    std::fputs("RIFF", f);
    put_le(f, 36 + data_bytes, 4);
    std::fputs("WAVEfmt ", f);
    put_le(f, 16, 4);
    put_le(f, 1, 2);  // PCM
    put_le(f, 1, 2);  // mono
    put_le(f, RATE, 4);
    put_le(f, RATE * 2, 4);
    put_le(f, 2, 2);
    put_le(f, 16, 2);
    std::fputs("data", f);
    put_le(f, data_bytes, 4);
    const double gain = 0.708 * 32767.0 / peak;
    for (double v : wave)
        put_le(f, static_cast<uint32_t>(static_cast<int16_t>(std::lround(v * gain))) & 0xFFFF, 2);
    return std::fclose(f) == 0;
}

// ---------------------------------------------------------------- PNG

// Desktops take their icons as PNG, which the library cannot write. A plain
// encoder is enough: 8-bit RGBA rows, unfiltered, in a zlib stream of stored
// (uncompressed) deflate blocks. The mask colour becomes fully transparent.

void put_be(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; i--)
        out.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
}

uint32_t crc32_of(const uint8_t *bytes, size_t count) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int bit = 0; bit < 8; bit++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; i++)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t adler32_of(const std::vector<uint8_t> &bytes) {
    const uint32_t MOD = 65521;
    uint32_t a = 1, b = 0;
    for (uint8_t byte : bytes) {
        a = (a + byte) % MOD;
        b = (b + a) % MOD;
    }
    return (b << 16) | a;
}

// A chunk is its length, its type, its data, and the CRC of type and data.
void put_chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data) {
    put_be(out, static_cast<uint32_t>(data.size()), 4);
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_be(out, crc32_of(out.data() + start, out.size() - start), 4);
}

std::vector<uint8_t> png_of(BITMAP *bmp) {
    std::vector<uint8_t> raw;  // each row: filter type 0, then R G B A per pixel
    for (int y = 0; y < bmp->h; y++) {
        raw.push_back(0);
        for (int x = 0; x < bmp->w; x++) {
            int c = getpixel(bmp, x, y);
            bool clear = c == bitmap_mask_color(bmp);
            raw.push_back(static_cast<uint8_t>(clear ? 0 : getr(c)));
            raw.push_back(static_cast<uint8_t>(clear ? 0 : getg(c)));
            raw.push_back(static_cast<uint8_t>(clear ? 0 : getb(c)));
            raw.push_back(static_cast<uint8_t>(clear ? 0 : 255));
        }
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};  // deflate, 32K window, no dictionary
    const size_t BLOCK = 65535;
    size_t done = 0;
    do {
        size_t count = std::min(BLOCK, raw.size() - done);
        bool last = done + count == raw.size();
        zlib.push_back(last ? 1 : 0);  // BFINAL, and BTYPE 00: stored
        const uint32_t len = static_cast<uint32_t>(count);
        for (uint32_t half : {len, ~len & 0xFFFFu}) {  // LEN then NLEN, low byte first
            zlib.push_back(static_cast<uint8_t>(half & 0xFF));
            zlib.push_back(static_cast<uint8_t>((half >> 8) & 0xFF));
        }
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
                    raw.begin() + static_cast<std::ptrdiff_t>(done + count));
        done += count;
    } while (done < raw.size());
    put_be(zlib, adler32_of(raw), 4);

    std::vector<uint8_t> header;
    put_be(header, static_cast<uint32_t>(bmp->w), 4);
    put_be(header, static_cast<uint32_t>(bmp->h), 4);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter choice, not interlaced
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", zlib);
    put_chunk(out, "IEND", {});
    return out;
}

bool save_png(const std::string &dir, const std::string &name, BITMAP *bmp) {
    const std::string path = dir + "/" + name;
    const std::vector<uint8_t> bytes = png_of(bmp);
    std::FILE *f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::fprintf(stderr, "make_art: could not write %s\n", path.c_str());
    return ok;
}

// The X11 window's icon: the library takes it as an XPM, a C array of
// strings the game's build compiles in. Two characters name each colour; the
// mask colour is "None", transparent.
bool save_xpm(const std::string &dir, const char *name, const char *variable, BITMAP *bmp) {
    static const char CODES[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-";
    const int BASE = sizeof CODES - 1;
    std::vector<int> colours;
    for (int y = 0; y < bmp->h; y++)
        for (int x = 0; x < bmp->w; x++)
            if (std::find(colours.begin(), colours.end(), getpixel(bmp, x, y)) == colours.end())
                colours.push_back(getpixel(bmp, x, y));
    auto code = [&](int c) {
        const int i = int(std::find(colours.begin(), colours.end(), c) - colours.begin());
        return std::string{CODES[i / BASE], CODES[i % BASE]};
    };
    const std::string path = dir + "/" + name;
    std::FILE *f = std::fopen(path.c_str(), "w");
    bool ok = f && colours.size() <= size_t(BASE * BASE);
    if (ok) {
        std::fprintf(f, "/* XPM */\nstatic const char *%s[] = {\n\"%d %d %zu 2\",\n", variable, bmp->w, bmp->h,
                     colours.size());
        for (int c : colours) {
            if (c == bitmap_mask_color(bmp))
                std::fprintf(f, "\"%s c None\",\n", code(c).c_str());
            else
                std::fprintf(f, "\"%s c #%02X%02X%02X\",\n", code(c).c_str(), getr(c), getg(c), getb(c));
        }
        for (int y = 0; y < bmp->h; y++) {
            std::string row;
            for (int x = 0; x < bmp->w; x++)
                row += code(getpixel(bmp, x, y));
            std::fprintf(f, "\"%s\"%s\n", row.c_str(), y + 1 < bmp->h ? "," : "};");
        }
    }
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::fprintf(stderr, "make_art: could not write %s\n", path.c_str());
    return ok;
}

bool save_picture(const std::string &dir, const char *name, BITMAP *bmp) {
    bool ok = save_bitmap((dir + "/" + name).c_str(), bmp, nullptr) == 0;
    if (!ok)
        std::fprintf(stderr, "make_art: could not write %s/%s\n", dir.c_str(), name);
    destroy_bitmap(bmp);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_art OUTPUT_FOLDER\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    set_color_depth(16);
    const std::string dir = argv[1];
    const AppleLook apples[6] = {
        {rgb(205, 15, 25), rgb(255, 80, 50), 0.8, false, false, false},    // red
        {rgb(80, 180, 30), rgb(190, 240, 80), 0.7, false, false, false},   // green
        {rgb(225, 160, 10), rgb(255, 235, 100), 1.0, false, false, false}, // golden
        {rgb(200, 25, 35), rgb(255, 200, 60), 0.7, true, false, false},    // red and yellow, with a leaf
        {rgb(120, 0, 40), rgb(220, 20, 90), 1.0, false, false, true},      // glossy
        {rgb(215, 40, 15), rgb(255, 170, 40), 0.6, false, true, false},    // bitten
    };
    bool ok = true;
    for (int i = 0; i < 6; i++)
        ok &= save_picture(dir, ("apple_" + std::to_string(i) + ".bmp").c_str(), draw_apple_picture(apples[i]));
    ok &= save_picture(dir, "button_credits.bmp", draw_button("CREDITS", ICON_STAR, rgb(220, 110, 255), rgb(90, 20, 150)));
    ok &= save_picture(dir, "button_play.bmp", draw_button("JOUER", ICON_PLAY, rgb(120, 240, 80), rgb(20, 110, 30)));
    ok &= save_picture(dir, "menu_title.bmp", draw_title());
    ok &= save_picture(dir, "button_options.bmp", draw_button("OPTIONS", ICON_GEAR, rgb(80, 200, 255), rgb(20, 60, 160)));
    ok &= save_picture(dir, "button_quit.bmp", draw_button("QUITTER", ICON_CROSS, rgb(255, 140, 70), rgb(170, 20, 20)));
    // The desktop icon, in the sizes the desktop's icon theme looks for; the
    // 48x48 one is also the datafile's entry and the X11 window's icon.
    for (int size : {48, 64, 128, 256}) {
        BITMAP *icon = draw_icon(size);
        ok &= save_png(dir, "icon_" + std::to_string(size) + ".png", icon);
        if (size == 48) {
            ok &= save_xpm(dir, "icon.xpm", "snake_icon_xpm", icon);
            ok &= save_picture(dir, "icon.bmp", icon);
        }
        else
            destroy_bitmap(icon);
    }
    ok &= save_picture(dir, "options_background.bmp", draw_options_background());
    ok &= save_picture(dir, "arrow_right.bmp", draw_arrow(true));
    ok &= save_picture(dir, "arrow_left.bmp", draw_arrow(false));
    ok &= save_picture(dir, "credits_background.bmp", draw_credits_background());
    if (!write_click(dir + "/click.wav")) {
        std::fprintf(stderr, "make_art: could not write %s/click.wav\n", dir.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}
END_OF_MAIN()
