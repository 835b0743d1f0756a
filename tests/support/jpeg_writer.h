// JPEG files for tests and fuzz seeds, made in memory by libjpeg.
#pragma once

#include <cstdint>
#include <span>

#include "tests/support/test_files.h"

namespace vantoro::testing {

struct JpegOptions {
    int quality = 75;  // libjpeg's own default
    bool progressive = false;
};

// `samples` holds width x height x components bytes, top row first: one
// component is grey, three are R, G, B. Fewer samples than that give no file.
Bytes jpegFile(int width, int height, int components, std::span<const std::uint8_t> samples,
               const JpegOptions& options = {});

}  // namespace vantoro::testing
