#include "app/open_failure_text.h"

#include <algorithm>
#include <array>

#include "archive/entry_errors.h"
#include "archive/my_image_images.h"
#include "archive/pack_header.h"

namespace vantoro {
namespace {

// A reader's reason, told by a piece of its text, and the window's words for
// it. The first row whose piece the reason contains gives the text, so the
// narrower pieces stand before the wider ones.
struct ReasonRow {
    std::string_view piece;
    const char* text;
};

constexpr std::array kReasons = {
    // Opening. An interrupted edit's reason quotes the journal's, which may
    // read like any of the others.
    ReasonRow{"could not be completed", "上次的修改未能完成，数据按修改中断时的状态显示"},
    ReasonRow{"is missing or cannot be opened", "找不到索引文件，或索引文件无法打开"},
    ReasonRow{"is shorter than its header", "索引文件不完整"},
    ReasonRow{"index header", "索引文件不完整"},
    ReasonRow{"names more offsets than the index file holds", "索引文件不完整"},
    ReasonRow{"names more slots than the pack holds", "索引超出文件末尾"},
    ReasonRow{"cannot come from a packed index", "压缩索引已损坏"},
    ReasonRow{"index count", "索引数量超出范围"},
    ReasonRow{"shorter than its 32-byte header", "数据文件头不完整"},
    ReasonRow{"no index table ending the file", "文件末尾没有索引表"},
    ReasonRow{"packed index size", "压缩索引的长度超出范围"},
    ReasonRow{"packed index passes the end", "压缩索引超出文件末尾"},
    ReasonRow{"packed index does not inflate", "压缩索引已损坏"},
    ReasonRow{"index offset", "索引位置超出文件范围"},
    ReasonRow{"group table", "分组表已损坏"},
    ReasonRow{"group count", "分组表已损坏"},
    ReasonRow{"entry count", "图像表超出文件范围"},
    // An entry.
    ReasonRow{entry_error::kOutsideIndex, "不在索引范围内"},
    ReasonRow{"is an empty entry", "空数据"},
    ReasonRow{"holds no image", "没有图像"},
    ReasonRow{entry_error::kHeaderCutShort, "图像头不完整，文件可能被截断"},
    ReasonRow{entry_error::kPixelsCutShort, "图像数据不完整，文件可能被截断"},
    ReasonRow{"of the payload", "图像编码已损坏"},
    ReasonRow{"passes the end of the file", "数据超出文件末尾，文件可能被截断"},
    ReasonRow{"cut short", "数据不完整，文件可能被截断"},
    ReasonRow{"cannot seek to offset", "数据位置超出文件末尾，文件可能被截断"},
    ReasonRow{"no room for rows", "图像数据不完整"},
    ReasonRow{entry_error::kNotZlib, "压缩数据已损坏"},
    ReasonRow{"does not inflate", "压缩数据已损坏"},
    ReasonRow{entry_error::kInflatesToNothing, "压缩数据为空"},
    ReasonRow{"is outside 2..4095", "图像尺寸超出 2..4095"},
    ReasonRow{"entry size", "图像尺寸错误"},
    ReasonRow{"pixel format", "像素格式错误"},
    ReasonRow{"run-length code", "图像编码已损坏"},
    ReasonRow{"run code", "图像编码已损坏"},
    ReasonRow{"run passes", "图像编码已损坏"},
    ReasonRow{"opaque run", "图像编码已损坏"},
    ReasonRow{"payload ends before row", "图像编码已损坏"},
    ReasonRow{"data size is smaller than the image", "数据长度小于图像所需"},
    ReasonRow{"image has no data", "图像没有数据"},
    ReasonRow{"payload size", "数据长度错误"},
    ReasonRow{"payload length", "数据长度错误"},
    ReasonRow{"data length", "数据长度错误"},
    ReasonRow{"format code is not supported", "不支持的图像格式"},
    ReasonRow{"tile data cannot be read", "图像数据无法读取"},
    ReasonRow{"data type", "数据类型不符"},
    ReasonRow{entry_error::kTextureRefused, "纹理无法容纳该图像"},
    ReasonRow{entry_error::kNoTexture, "没有可绘制的纹理"},
    ReasonRow{entry_error::kCannotDraw, "该格式不能绘制图像"},
    ReasonRow{entry_error::kNotOpen, "文件未打开"},
    ReasonRow{entry_error::kNoMemory, "内存不足"},
    ReasonRow{entry_error::kFileShrank, "读取时文件在磁盘上被截短"},
};

constexpr char kCannotOpen[] = "无法打开文件";
constexpr char kFileUnreadable[] = "文件无法读取";
constexpr char kEntryUnreadable[] = "数据无法读取";
constexpr char kNotAPack[] = "不是自定义图像文件（文件头不符）";
constexpr char kPasswordNeeded[] = "数据文件已加密，需要正确的密码（选项 > pak包密码）";

QString reasonText(std::string_view reason, const char* unknown) {
    const auto row = std::find_if(kReasons.begin(), kReasons.end(), [&](const ReasonRow& row) {
        return reason.find(row.piece) != std::string_view::npos;
    });
    return QString::fromUtf8(row != kReasons.end() ? row->text : unknown);
}

}  // namespace

bool hasPackHeader(const TWMBaseImages& archive) {
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    if (pack == nullptr) return false;
    const auto& signature = pack->FHeader.signature;
    return std::string_view(reinterpret_cast<const char*>(signature.data()), signature.size()) ==
           kPackSignature;
}

QString openFailureText(const TWMBaseImages& archive, bool opened) {
    const std::string& reason = archive.lastError();
    if (!opened)
        return reason.empty() ? QString::fromUtf8(kCannotOpen)
                              : reasonText(reason, kFileUnreadable);
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    if (pack != nullptr) {
        // A file of another kind: whatever its bytes said as an index is noise.
        if (!hasPackHeader(*pack)) return QString::fromUtf8(kNotAPack);
        if (pack->FHeader.isProtected() && !pack->FCipherActive) {
            return QString::fromUtf8(kPasswordNeeded);
        }
    }
    return reason.empty() ? QString() : reasonText(reason, kFileUnreadable);
}

QString entryFailureText(std::int32_t index, std::string_view reason) {
    if (reason.empty()) return QString();
    return QStringLiteral("编号 %1: %2").arg(index).arg(reasonText(reason, kEntryUnreadable));
}

}  // namespace vantoro
