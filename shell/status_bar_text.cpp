#include "shell/status_bar_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "archive/m2_def_images.h"
#include "archive/m2_wis_images.h"
#include "archive/m2_zip_images.h"
#include "archive/m3_def_images.h"
#include "archive/m3_zip_images.h"
#include "archive/woool_images.h"

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

template <typename Archive>
const Archive* as(const TWMBaseImages* archive) {
    return dynamic_cast<const Archive*>(archive);
}

}  // namespace

bool isPackArchive(const TWMBaseImages* archive) {
    return archive && archive->className() == "TWMMyImageImages";
}

// Tested in this order; a class test also matches its subclasses, so the
// 16-bit Mir2 class answers with the Mir2 texts.
std::string archiveFormatText(const TWMBaseImages* archive) {
    if (!archive) return kUnknownFormat;
    if (const auto* m2 = as<TWMM2DefImages>(archive)) {
        if (m2->FIs16Bit) return "格式: MIR2 标准数据格式(16位)";
        if (m2->FIsNewVersion) return "格式: MIR2 标准数据格式(新)";
        return "格式: MIR2 标准数据格式(旧)";
    }
    if (as<TWMM2ZipImages>(archive)) return "格式: MIR2 标准压缩格式";
    if (as<TWMM2WisImages>(archive)) return "格式: MIR2 特定加密模式";
    if (as<TWMWoolDefImages>(archive)) return "格式: 传奇世界";
    if (const auto* m3 = as<TWMM3DefImages>(archive)) {
        return m3->FIsNewVersion ? "格式: MIR3 标准数据格式(新)" : "格式: MIR3 标准数据格式(旧)";
    }
    if (as<TWMM3ZipImages>(archive)) return "格式: MIR3 标准压缩格式";
    if (isPackArchive(archive)) return "格式: 自定义图像文件模式";
    return kUnknownFormat;
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
        formatText("测试: (%d,%d)", static_cast<int>(state.FUserX), static_cast<int>(state.FUserY)),
    };
}

}  // namespace vantoro
