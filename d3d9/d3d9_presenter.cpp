#include "d3d9/d3d9_presenter.h"

#include "d3d9/d3d9_texels.h"

namespace vantoro::d3d9 {

void frameRowToRgb32(const PresentedFrame& frame, std::int32_t y, std::uint32_t* out) {
    if (frame.bits == nullptr || y < 0 || y >= frame.height) return;
    const int bytes = texelLayoutOf(frame.format).bytes;
    const std::uint8_t* row = frame.bits + static_cast<std::ptrdiff_t>(y) * frame.pitch;
    for (std::int32_t x = 0; x < frame.width; ++x) {
        const Rgba c = readTexel(frame.format, row + static_cast<std::ptrdiff_t>(x) * bytes);
        out[x] = Texel<D3DFMT_X8R8G8B8>::encode(c);
    }
}

}  // namespace vantoro::d3d9
