// vantoro-cli render [--kind N] FILE INDEX OUT.png [options]
//
// Decodes one entry into the view's image texture as selecting it in the
// grid does, draws one frame as the window's frame tick does (the scene into
// its target, the target onto the back buffer, present) through an
// off-screen device, and writes the presented 800 x 600 frame as an RGB PNG.
// Without options the view has the window's start values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
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

// Rows without a name continue the help of the row above.
inline constexpr std::array<OptionEntry, 22> kRenderOptions = {{
    {"--blend", "NAME|CODE", "blend mode (Blend_Default): Blend_None,"},
    {"", "", "Blend_Default, Blend_Anti, Blend_AlphaAdd,"},
    {"", "", "Blend_AlphaAdd2, Blend_AlphaAdd3, Blend_AlphaAdd4,"},
    {"", "", "Blend_ColorAdd, Blend_Shadow, Blend_Bright,"},
    {"", "", "Blend_IgnoreColor, Blend_Custom; or a code (0x504)"},
    {"--src", "FACTOR", "source factor of Blend_Custom (One)"},
    {"--dest", "FACTOR", "destination factor of Blend_Custom (Zero); either"},
    {"", "", "one alone chooses Blend_Custom. Factors: Zero, One,"},
    {"", "", "SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha,"},
    {"", "", "DestAlpha, InvDestAlpha, DestColor, InvDestColor,"},
    {"", "", "SrcAlphasat, BothSrcAlpha, BothInvSrcAlpha,"},
    {"", "", "BlendFactor, InvBlendFactor"},
    {"--alpha", "0-255", "alpha of the image (255)"},
    {"--blend-color", "RRGGBB", "colour that multiplies the image (FFFFFF)"},
    {"--back-color", "RRGGBB", "background colour (808080)"},
    {"--zoom", "PERCENT", "zoom in per cent (100); 0 hides, below 0 mirrors"},
    {"--flip-h", "", "flip horizontally"},
    {"--flip-v", "", "flip vertically"},
    {"--centre", "", "centre the image instead of the user position"},
    {"--align", "", "add the image's offsets (centred: to 266,200)"},
    {"--user", "X,Y", "user position, -740..740 and -540..540 (0,0)"},
    {"--background", "PICTURE", "background picture: BMP, PNG or JPEG"},
}};

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
