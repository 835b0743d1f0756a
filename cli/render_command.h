// vantoro-cli render [--kind N] FILE INDEX OUT.png [options]
//
// Decodes one entry into the view's image texture as selecting it in the
// grid does, draws one frame as the window's frame tick does (the scene into
// its target, the target onto the back buffer, present) through an
// off-screen device, and writes the presented 800 x 600 frame as an RGB PNG.
// Without options the view has the window's start values.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/cli_support.h"
#include "render/image_view.h"

namespace vantoro::cli {

inline constexpr std::string_view kRenderSummary =
    "Decode an entry into the view as selecting it does, draw one frame of the\n"
    "800 x 600 view as the window does, and write the presented frame as an RGB\n"
    "PNG file. Colours are RRGGBB in hexadecimal, red first. Without options the\n"
    "view has the window's start values: blend Blend_Default, alpha 255, blend\n"
    "colour FFFFFF, background 808080, zoom 100, the image at the user position\n"
    "0,0.";

// The options of render, in the order the help lists them.
std::span<const OptionEntry> renderOptions();

// What a render command line asks of the view.
struct RenderSettings {
    std::uint32_t blendCode = 0x000504;
    std::int32_t alpha = 255;
    std::uint32_t blendColor = 0xFFFFFF;  // 0x00BBGGRR
    std::uint32_t backColor = 0x808080;   // 0x00BBGGRR
    double zoom = 1.0;
    bool flipHorizontal = false;
    bool flipVertical = false;
    ViewPlacement placement = ViewPlacement::User;
    bool alignToOffsets = false;
    std::int32_t userX = 0;
    std::int32_t userY = 0;
    std::optional<std::string> background;  // picture file
};

// "RRGGBB" (red first) as the program's 0x00BBGGRR; nothing unless exactly
// six hexadecimal digits.
std::optional<std::uint32_t> parseRgbColor(std::string_view text);

// Usage errors (exit 2) for values the view cannot take.
RenderSettings parseRenderSettings(const Invocation& call);

int runRender(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
