// Writing a DibBitmap as a standard BMP file: 8-bit with its 256-entry
// colour table, 16-bit as BI_BITFIELDS with the R5G6B5 masks F800/07E0/001F,
// 32-bit as BI_RGB. Rows are stored bottom-up, as BMP readers expect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/result.h"
#include "pixels/dib_bitmap.h"

namespace vantoro {

std::vector<std::uint8_t> encodeBmp(const DibBitmap& bitmap);
Status saveBmp(const DibBitmap& bitmap, const std::string& path);

}  // namespace vantoro
