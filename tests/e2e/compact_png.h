// PNG files small enough to keep in the repository: the rows are filtered
// as PNG allows and the result is deflated with the fixed codes of the
// deflate format and a plain LZ77 search, without any compression library.
// A game picture, with its large even areas, shrinks to a tenth or less.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// A deflate stream (RFC 1951) of `data`, in one block of fixed codes.
std::vector<uint8_t> deflate_fixed(const std::vector<uint8_t> &data);

// Writes `frame` as an 8-bit RGB PNG at `path`; false when it cannot.
bool write_compact_png(const Frame &frame, const std::string &path);

}  // namespace e2e
