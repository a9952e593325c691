// PNG files small enough to keep in the repository, written with libpng:
// 8-bit RGB, every row filtered as suits it best and deflated at the
// highest level. A game picture, with its large even areas, shrinks to a
// tenth or less.
#pragma once

#include <string>

#include "harness.h"

namespace e2e {

// Writes `frame` as an 8-bit RGB PNG at `path`; false when it cannot (and
// then no file is left at `path`).
bool write_png(const Frame &frame, const std::string &path);

}  // namespace e2e
