#include "shell/status_bar_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "archive/archive_kind.h"

namespace vantoro {
namespace {

constexpr const char* kUnknownFormat = "格式: 未知";

// printf-style formatting into a std::string; every panel text is short.
__attribute__((format(printf, 1, 2))) std::string formatText(const char* format, ...) {
    char buffer[128];
    std::va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) return {};
    return std::string(buffer, std::min(static_cast<std::size_t>(length), sizeof buffer - 1));
}

std::string indexText(const StatusBarState& state) {
    if (!state.archive) return "编号: 0/0";
    const long long last = static_cast<long long>(state.archive->FImageCount) - 1;
    return formatText("编号: %d/%lld", static_cast<int>(state.CurrentIndex), last);
}

}  // namespace

bool isPackArchive(const TWMBaseImages* archive) {
    const ArchiveKindInfo* info = archive ? kindInfoOf(*archive) : nullptr;
    return info && info->kind == TWMImagesKind::MyImage;
}

std::string archiveFormatText(const TWMBaseImages* archive) {
    const std::string name = archive ? archiveFormatName(*archive) : std::string();
    return name.empty() ? kUnknownFormat : "格式: " + name;
}

std::string pixelFormatText(std::int16_t pixelFormat) {
    switch (pixelFormat) {
        case -1:
            return "格式: 默认";
        case 0:
            return "格式: A4R4G4B4";
        case 1:
            return "格式: A1R5G5B5";
        case 2:
            return "格式: R5G6B5";
        case 3:
            return "格式: A8R8G8B8";
        default:
            return kUnknownFormat;
    }
}

StatusBarTexts UpdateStatusBar(const StatusBarState& state) {
    const TWMImageInfo& info = state.CurrentImageInfo;
    return {
        indexText(state),
        archiveFormatText(state.archive),
        formatText("规格: %u * %u", unsigned{info.Width}, unsigned{info.Height}),
        formatText("坐标X: %d", int{info.PX}),
        formatText("坐标Y: %d", int{info.PY}),
        pixelFormatText(state.CurrentPixelFormat),
        formatText("透明度: %d", static_cast<int>(state.alpha)),
        state.notice.empty() ? formatText("测试: (%d,%d)", static_cast<int>(state.FUserX),
                                          static_cast<int>(state.FUserY))
                             : state.notice,
    };
}

}  // namespace vantoro
