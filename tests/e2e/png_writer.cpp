#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace e2e {

bool write_png(const Frame &frame, const std::string &path) {
    if (frame.empty()) return false;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const int width = frame.width(), height = frame.height();
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    // libpng reports a failure by jumping back here; nothing below this
    // point that the jump skips needs destroying.
    volatile bool written = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 9);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
        png_write_info(png, info);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                const Rgb p = frame.at(x, y);
                png_byte *q = &row[static_cast<size_t>(x) * 3];
                q[0] = static_cast<png_byte>(p.r);
                q[1] = static_cast<png_byte>(p.g);
                q[2] = static_cast<png_byte>(p.b);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    std::remove(path.c_str());
    return false;
}

}  // namespace e2e
