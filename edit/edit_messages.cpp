#include "edit/edit_messages.h"

#include <array>
#include <cstdio>

namespace vantoro {
namespace {

constexpr std::string_view kCaption = "提示信息";
// Import's checks of its numbers carry a caption of their own.
constexpr std::string_view kCaptionMarked = "提示信息！";
constexpr std::string_view kLineBreak = "\r\n";

struct MessageRow {
    EditMessage message;
    std::string_view text;
    std::string_view caption;
    PromptButtons buttons;
    PromptIcon icon;
    PromptAnswer defaultAnswer;
};

using enum EditMessage;
using enum PromptIcon;
constexpr PromptButtons kOk = PromptButtons::Ok;
constexpr PromptButtons kOkCancel = PromptButtons::OkCancel;
constexpr PromptButtons kYesNo = PromptButtons::YesNo;
constexpr PromptAnswer kAnswerOk = PromptAnswer::Ok;
constexpr PromptAnswer kAnswerYes = PromptAnswer::Yes;

// In the order of EditMessage.
constexpr std::array<MessageRow, 15> kMessages = {{
    {ImportStartIndexWrong, "起始编号设置错误", kCaptionMarked, kOk, Information, kAnswerOk},
    {ImportEndIndexWrong, "结束编号设置错误", kCaptionMarked, kOk, Information, kAnswerOk},
    {ImportOffsetsTextWrong, "坐标设置不正确，无法更新！", kCaptionMarked, kOk, Information,
     kAnswerOk},
    {ImportCountMismatch, "文件数量与编号设置不相同，无法完成覆盖！", kCaption, kOk, Information,
     kAnswerOk},
    {ImportNoFiles, "请先选项要打包的文件！", kCaption, kOk, Information, kAnswerOk},
    {ImportDoneLeave, "执行完成，是否退出导入界面？", kCaption, kOkCancel, Question, kAnswerOk},
    {ImportIndexBroken, "文件索引错误！", kCaption, kOk, Error, kAnswerOk},
    {RangeStartWrong, "数据起始编号设置错误", kCaption, kOk, Information, kAnswerOk},
    {RangeEndWrong, "数据结束编号设置错误", kCaption, kOk, Information, kAnswerOk},
    {RangeEndTooLarge, "数据结束编号设置错误，不能大于总数据数量", kCaption, kOk, Information,
     kAnswerOk},
    {RangeStartAfterEnd, "数据起始编号设置错误，不能大于结号编号", kCaption, kOk, Information,
     kAnswerOk},
    {DeleteDone, "删除数据完成", kCaption, kOk, Information, kAnswerOk},
    {ExportDone, "导出数据完成", kCaption, kOk, Information, kAnswerOk},
    {NewPackOverwrite, "文件已经存在，是否覆盖原文件？", kCaption, kOkCancel, Warning, kAnswerOk},
    {NewPackOpen, "是否打开新创建的文件？", kCaption, kYesNo, Question, kAnswerYes},
}};

constexpr bool rowsInEnumOrder() {
    for (std::size_t i = 0; i < kMessages.size(); ++i) {
        if (static_cast<std::size_t>(kMessages[i].message) != i) return false;
    }
    return true;
}
static_assert(rowsInEnumOrder(), "editPrompt indexes the table by the enum");

Prompt fromRow(const MessageRow& row) {
    return Prompt{std::string(row.text), std::string(row.caption), row.buttons, row.icon,
                  row.defaultAnswer};
}

// A question about one file: its path on the first line.
Prompt fileQuestion(const std::string& path, const std::string& text) {
    return Prompt{path + std::string(kLineBreak) + text, std::string(kCaption), kOkCancel, Warning,
                  PromptAnswer::Cancel};
}

}  // namespace

Prompt editPrompt(EditMessage message) {
    return fromRow(kMessages[static_cast<std::size_t>(message)]);
}

Prompt unsupportedFilePrompt(const std::string& path) {
    return fileQuestion(path, "未支持该文件类型或格式不正确，是否继续？");
}

Prompt fileTooLargePrompt(const std::string& path, std::int64_t size) {
    return fileQuestion(path,
                        "文件超出大小限制，数据大小(" + std::to_string(size) + ")，是否继续？");
}

Prompt compressFailedPrompt(const std::string& path) {
    return fileQuestion(path, "压缩该文件错误，是否继续？");
}

Prompt outOfMemoryPrompt(const std::string& path, std::int64_t size) {
    return Prompt{
        path + std::string(kLineBreak) + "内存溢出，数据大小(" + std::to_string(size) + ")",
        std::string(kCaption), kOk, PromptIcon::Error, kAnswerOk};
}

constexpr std::string_view kImportStopped = "导入已停止，已存入 ";

Prompt importStoppedPrompt(std::int64_t stored) {
    return Prompt{std::string(kImportStopped) + std::to_string(stored) + " 个文件",
                  std::string(kCaption), kOk, Warning, kAnswerOk};
}

Prompt exportStoppedPrompt(std::int64_t written) {
    return Prompt{"导出已停止，已导出 " + std::to_string(written) + " 个数据",
                  std::string(kCaption), kOk, Warning, kAnswerOk};
}

Prompt deleteStoppedPrompt() {
    return Prompt{"删除已停止，未删除任何数据", std::string(kCaption), kOk, Warning, kAnswerOk};
}

bool endsImportRun(const Prompt& prompt) {
    return prompt == editPrompt(ImportDoneLeave) ||
           (prompt.caption == kCaption && prompt.text.starts_with(kImportStopped));
}

Prompt folderSkippedPrompt(const std::string& path, const std::string& reason) {
    return Prompt{path + std::string(kLineBreak) + "无法读取该文件夹，已跳过：" + reason,
                  std::string(kCaption), kOk, Warning, kAnswerOk};
}

Prompt packLockedPrompt(PackEditBlock block) {
    std::string_view text = "数据文件无法修改！";
    switch (block) {
        case PackEditBlock::NotOpen:
            text = "数据文件未以读写方式打开，无法修改！";
            break;
        case PackEditBlock::PasswordNotVerified:
            text = "数据文件已加密，打开时未提供正确的密码，无法修改！";
            break;
        case PackEditBlock::IndexUnreadable:
            text = "数据文件索引无法读取，无法修改！";
            break;
        case PackEditBlock::EditedElsewhere:
            text = "数据文件正由另一个程序修改，无法修改！";
            break;
        case PackEditBlock::UnfinishedEdit:
            text = "数据文件上次的修改未能完成，无法修改！";
            break;
        case PackEditBlock::None:
            break;
    }
    return Prompt{std::string(text), std::string(kCaption), kOk, Warning, kAnswerOk};
}

InputPrompt blendCodePrompt(std::uint32_t code) {
    char hex[10];
    std::snprintf(hex, sizeof hex, "$%08X", static_cast<unsigned>(code));
    return InputPrompt{"混合", "请输入混合模式", hex};
}

InputPrompt packPasswordPrompt(const std::string& current) {
    return InputPrompt{"请输入", "解包PAK文件的密码：", current};
}

}  // namespace vantoro
