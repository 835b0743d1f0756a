#include "cli/render_command.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <memory>
#include <vector>

#include "cli/cli_support.h"
#include "image_io/picture_reader.h"
#include "image_io/png_file.h"
#include "io/decimal_text.h"
#include "pixels/dx9_textures.h"
#include "render/dx9_device.h"
#include "shell/entry_selection.h"

namespace vantoro::cli {
namespace {

constexpr std::string_view kCommand = "render";

// Blend codes the canvas knows: the special codes, or source and
// destination factor indices 0..14 with operation index 0..4.
constexpr std::uint32_t kFirstSpecialBlend = 0x7FFFFFF0;
constexpr std::uint32_t kLastSpecialBlend = 0x7FFFFFF6;
constexpr std::uint32_t kLastFactorIndex = 14;
constexpr std::uint32_t kLastOperationIndex = 4;

bool isKnownBlendCode(std::uint32_t code) {
    if (code >= kFirstSpecialBlend && code <= kLastSpecialBlend) return true;
    return (code >> 24) == 0 && (code & 0xFF) <= kLastFactorIndex &&
           ((code >> 8) & 0xFF) <= kLastFactorIndex && ((code >> 16) & 0xFF) <= kLastOperationIndex;
}

// A blend code typed as a number: decimal, or hexadecimal after "0x".
std::optional<std::uint32_t> parseCode(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

int factorIndex(const OptionValue& option) {
    const std::optional<int> index = blendFactorIndex(option.value);
    if (!index) {
        usageError("unknown blend factor '" + option.value + "' for " + std::string(option.name),
                   kCommand);
    }
    return *index;
}

std::uint32_t colorValue(const OptionValue& option) {
    const std::optional<std::uint32_t> color = parseRgbColor(option.value);
    if (!color) {
        usageError(std::string(option.name) + " needs a colour RRGGBB, not '" + option.value + "'",
                   kCommand);
    }
    return *color;
}

std::int32_t coordinate(std::string_view text, std::int32_t limit) {
    const std::optional<std::int32_t> value = parseDecimalInt32(text);
    if (!value || *value < -limit || *value > limit) {
        usageError("--user needs X,Y within -740..740 and -540..540", kCommand);
    }
    return *value;
}

// The blend choice as typed: a mode of the list, or a code.
struct BlendChoice {
    std::optional<std::uint32_t> code;
    bool custom = false;
    std::optional<int> src;
    std::optional<int> dest;
};

void chooseBlend(const OptionValue& option, BlendChoice& choice) {
    if (const std::optional<int> mode = blendModeIndex(option.value)) {
        choice.code = kBlendModes[static_cast<std::size_t>(*mode)].code;
        choice.custom = *mode == kBlendCustomIndex;
        return;
    }
    const std::optional<std::uint32_t> code = parseCode(option.value);
    if (!code || !isKnownBlendCode(*code)) {
        usageError("unknown blend mode '" + option.value + "'", kCommand);
    }
    choice.code = *code;
    choice.custom = false;
}

// The factor lists count only for the custom mode, which either of them
// chooses when no mode is named.
std::uint32_t blendCodeOf(const BlendChoice& choice) {
    const bool factors = choice.src || choice.dest;
    if (factors && choice.code && !choice.custom) {
        usageError("--src and --dest go with --blend Blend_Custom", kCommand);
    }
    if (factors || choice.custom) {
        return customBlendCode(choice.src.value_or(kSrcFactorStartIndex),
                               choice.dest.value_or(kDestFactorStartIndex));
    }
    return choice.code.value_or(kBlendModes[kBlendDefaultIndex].code);
}

// What the options ask for, gathered in command-line order.
struct RenderRequest {
    RenderSettings settings;
    BlendChoice blend;
    bool user = false;  // --user given
};

void applyAlpha(const OptionValue& option, RenderRequest& request) {
    const std::optional<std::uint32_t> alpha = parseNumber(option.value, 255);
    if (!alpha) usageError("--alpha needs 0..255, not '" + option.value + "'", kCommand);
    request.settings.alpha = static_cast<std::int32_t>(*alpha);
}

void applyZoom(const OptionValue& option, RenderRequest& request) {
    const std::optional<std::int32_t> percent = parseDecimalInt32(option.value);
    if (!percent) usageError("--zoom needs a whole number of per cent", kCommand);
    request.settings.zoom = *percent / 100.0;
}

void applyUser(const OptionValue& option, RenderRequest& request) {
    const std::size_t comma = option.value.find(',');
    if (comma == std::string::npos) usageError("--user needs X,Y", kCommand);
    const std::string_view value = option.value;
    request.settings.userX = coordinate(value.substr(0, comma), kDragMaxX);
    request.settings.userY = coordinate(value.substr(comma + 1), kDragMaxY);
    request.user = true;
}

struct RenderOption {
    OptionEntry entry;  // name, value and help, as the help shows them
    void (*apply)(const OptionValue& option, RenderRequest& request);
};

// Short parameter types for the one-line setters of the table.
using Value = const OptionValue&;
using Request = RenderRequest&;

// One row per option, in the order the help lists them.
constexpr RenderOption kRenderTable[] = {
    {{"--blend", "NAME|CODE",
      "blend mode (Blend_Default): Blend_None,\n"
      "Blend_Default, Blend_Anti, Blend_AlphaAdd,\n"
      "Blend_AlphaAdd2, Blend_AlphaAdd3, Blend_AlphaAdd4,\n"
      "Blend_ColorAdd, Blend_Shadow, Blend_Bright,\n"
      "Blend_IgnoreColor, Blend_Custom; or a code (0x504)"},
     [](Value option, Request request) { chooseBlend(option, request.blend); }},
    {{"--src", "FACTOR", "source factor of Blend_Custom (One)"},
     [](Value option, Request request) { request.blend.src = factorIndex(option); }},
    {{"--dest", "FACTOR",
      "destination factor of Blend_Custom (Zero); either\n"
      "one alone chooses Blend_Custom. Factors: Zero, One,\n"
      "SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha,\n"
      "DestAlpha, InvDestAlpha, DestColor, InvDestColor,\n"
      "SrcAlphasat, BothSrcAlpha, BothInvSrcAlpha,\n"
      "BlendFactor, InvBlendFactor"},
     [](Value option, Request request) { request.blend.dest = factorIndex(option); }},
    {{"--alpha", "0-255", "alpha of the image (255)"}, applyAlpha},
    {{"--blend-color", "RRGGBB", "colour that multiplies the image (FFFFFF)"},
     [](Value option, Request request) { request.settings.blendColor = colorValue(option); }},
    {{"--back-color", "RRGGBB", "background colour (808080)"},
     [](Value option, Request request) { request.settings.backColor = colorValue(option); }},
    {{"--zoom", "PERCENT", "zoom in per cent (100); 0 hides, below 0 mirrors"}, applyZoom},
    {{"--flip-h", "", "flip horizontally"},
     [](Value, Request request) { request.settings.flipHorizontal = true; }},
    {{"--flip-v", "", "flip vertically"},
     [](Value, Request request) { request.settings.flipVertical = true; }},
    {{"--centre", "", "centre the image instead of the user position"},
     [](Value, Request request) { request.settings.placement = ViewPlacement::Centred; }},
    {{"--align", "", "add the image's offsets (centred: to 266,200)"},
     [](Value, Request request) { request.settings.alignToOffsets = true; }},
    {{"--user", "X,Y", "user position, -740..740 and -540..540 (0,0)"}, applyUser},
    {{"--background", "PICTURE", "background picture: BMP, PNG or JPEG"},
     [](Value option, Request request) { request.settings.background = option.value; }},
};

// The rows as the command line's parser and help see them.
constexpr auto kRenderOptions = [] {
    std::array<OptionEntry, std::size(kRenderTable)> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = kRenderTable[i].entry;
    return entries;
}();

// The command line has only options of the table (the parser checked them).
void applyOption(const OptionValue& option, RenderRequest& request) {
    for (const RenderOption& row : kRenderTable) {
        if (row.entry.name == option.name) {
            row.apply(option, request);
            return;
        }
    }
}

void applySettings(const RenderSettings& settings, ImageView& view) {
    view.FBlendCode = settings.blendCode;
    view.alpha = settings.alpha;
    view.BlendColor = settings.blendColor;
    view.BackColor = settings.backColor;
    view.FZoom = settings.zoom;
    view.flipHorizontal = settings.flipHorizontal;
    view.flipVertical = settings.flipVertical;
    view.placement = settings.placement;
    view.alignToOffsets = settings.alignToOffsets;
    view.FUserX = settings.userX;
    view.FUserY = settings.userY;
}

// The entry into the view's image texture, as a selection in the grid.
void selectIntoView(TWMBaseImages& archive, std::int32_t index, ImageView& view) {
    const std::uint8_t dataType = guarded([&] { return archive.GetDataType(index); });
    if (dataType != kDataTypeImage) {
        failure("entry " + std::to_string(index) + " is not an image (data type " +
                std::to_string(dataType) + ")");
    }
    SelectionState state;
    guarded([&] { return selectEntry(&archive, index, view.ImageTexture.get(), state); });
    if (state.CurrentImageInfo.Width == 0 || state.CurrentImageInfo.Height == 0) {
        failure(withReason("entry " + std::to_string(index) + " cannot be drawn into a texture",
                           archive));
    }
    view.FImageOffsetX = state.FImageOffsetX;
    view.FImageOffsetY = state.FImageOffsetY;
}

Status savePresentedFrame(const FrameKeeper& window, const std::string& path) {
    if (window.framesPresented() == 0 || window.pixels().empty()) {
        return fail("no frame was presented");
    }
    std::vector<std::uint8_t> rgb;
    rgb.reserve(window.pixels().size() * 3);
    for (const std::uint32_t pixel : window.pixels()) {  // 0xFFRRGGBB
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<std::uint8_t>(pixel));
    }
    return savePng(PngRows{rgb, static_cast<std::uint32_t>(window.width()),
                           static_cast<std::uint32_t>(window.height()), PngLayout::Rgb8, 0},
                   path);
}

}  // namespace

std::optional<std::uint32_t> parseRgbColor(std::string_view text) {
    if (text.size() != 6) return std::nullopt;
    std::uint32_t rgb = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), rgb, 16);
    if (error != std::errc{} || stop != text.data() + text.size()) return std::nullopt;
    const std::uint32_t red = rgb >> 16;
    const std::uint32_t green = (rgb >> 8) & 0xFF;
    const std::uint32_t blue = rgb & 0xFF;
    return (blue << 16) | (green << 8) | red;
}

std::span<const OptionEntry> renderOptions() {
    return kRenderOptions;
}

RenderSettings parseRenderSettings(const Invocation& call) {
    RenderRequest request;
    for (const OptionValue& option : call.options) applyOption(option, request);
    if (request.user && request.settings.placement == ViewPlacement::Centred) {
        usageError("--centre and --user exclude each other", kCommand);
    }
    request.settings.blendCode = blendCodeOf(request.blend);
    return request.settings;
}

int runRender(const Invocation& call, std::ostream&, std::ostream&) {
    const RenderSettings settings = parseRenderSettings(call);
    const std::int32_t index = parseIndex(call);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    checkIndexInRange(*archive, index);
    std::optional<Picture> background;
    if (settings.background) {
        Result<Picture> picture = readPicture(*settings.background);
        if (!picture) failure(picture.error());
        background = std::move(*picture);
    }

    FrameKeeper window;
    ImageView view;  // outlives the device, whose finalise event it handles
    TDX9Device device;
    applySettings(settings, view);
    view.attachTo(device);
    device.SetVSync(false);
    device.SetWindowHandle(&window);
    if (!device.Initialize()) failure("初始化设备失败, error " + device.ErrorMsg());
    if (background && !view.loadBackground(*background)) {
        failure("cannot load the background picture into its texture");
    }
    selectIntoView(*archive, index, view);
    view.renderFrame(device);
    const Status saved = savePresentedFrame(window, call.operands[2]);
    if (!saved) failure(saved.error());
    return kExitOk;
}

}  // namespace vantoro::cli
