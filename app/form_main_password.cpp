// The pack password commands of the main window: the password packs are
// opened with, and protecting, re-keying and unprotecting the open pack.
// A password is a single DES key: only its first 8 bytes count, which every
// box asking for one says.
#include "app/dialog_seam.h"
#include "app/file_name.h"
#include "app/form_main.h"
#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"
#include "edit/edit_messages.h"

namespace vantoro {
namespace {

constexpr char kCaption[] = "提示信息";
constexpr char kAskCaption[] = "请输入";
constexpr char kKeyNote[] = "注意：只有密码的前8个字节有效（单DES密钥），更长的部分被忽略。";
constexpr char kLongPassword[] = "密码超过8个字节：只有前8个字节有效，更长的部分被忽略。";
constexpr char kNoPack[] = "请先打开一个pak包。";
constexpr char kAlreadyProtected[] = "该pak包已经受密码保护。";
constexpr char kNotProtected[] = "该pak包没有密码保护。";
constexpr char kWrongPassword[] = "密码错误。";
constexpr char kEmptyPassword[] = "密码不能为空。";
constexpr char kMismatch[] = "两次输入的密码不一致。";
constexpr char kFailed[] = "操作失败：";

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString withNote(const QString& prompt) {
    return prompt + QLatin1Char('\n') + text(kKeyNote);
}

void tell(DialogSeam& dialogs, QWidget* owner, const QString& message,
          MessageIcon icon = MessageIcon::Information) {
    dialogs.message(owner, {text(kCaption), message, icon, MessageButtons::Ok, MessageAnswer::Ok});
}

void warnIfLong(DialogSeam& dialogs, QWidget* owner, const std::string& password) {
    if (password.size() > DesKey{}.size())
        tell(dialogs, owner, text(kLongPassword), MessageIcon::Warning);
}

// A new password typed twice alike; nothing when a box was cancelled or the
// two differ (said so).
std::optional<std::string> askNewPassword(DialogSeam& dialogs, QWidget* owner) {
    const auto first =
        dialogs.inputText(owner, text(kAskCaption), withNote(text("新的pak包密码：")), QString());
    if (!first) return std::nullopt;
    if (first->isEmpty()) {
        tell(dialogs, owner, text(kEmptyPassword), MessageIcon::Warning);
        return std::nullopt;
    }
    const auto second = dialogs.inputText(owner, text(kAskCaption),
                                          withNote(text("请再次输入新的pak包密码：")), QString());
    if (!second) return std::nullopt;
    if (*second != *first) {
        tell(dialogs, owner, text(kMismatch), MessageIcon::Warning);
        return std::nullopt;
    }
    const std::string password = first->toStdString();
    warnIfLong(dialogs, owner, password);
    return password;
}

}  // namespace

// The password packs are opened with from now on; an open pack stays as it
// was opened. Cancel keeps it; the text is taken as typed.
void TFormMain::pak1Click() {
    const InputPrompt prompt = packPasswordPrompt(PackPassword);
    const auto typed = m_dialogs->inputText(this, QString::fromStdString(prompt.caption),
                                            withNote(QString::fromStdString(prompt.prompt)),
                                            QString::fromStdString(prompt.offered));
    if (!typed) return;
    PackPassword = typed->toStdString();
    warnIfLong(*m_dialogs, this, PackPassword);
}

// The open pack when it is protected as `protectedNow` says and, when
// protected, opened with its password (asked for and the pack reopened when
// it was not); nothing, with the reason shown, otherwise.
TWMMyImageImages* TFormMain::packToProtect(bool protectedNow) {
    auto* pack = dynamic_cast<TWMMyImageImages*>(CurrentArchive.get());
    if (pack == nullptr || !pack->FInitialized) {
        tell(*m_dialogs, this, text(kNoPack));
        return nullptr;
    }
    if (pack->FHeader.isProtected() != protectedNow) {
        tell(*m_dialogs, this, text(protectedNow ? kNotProtected : kAlreadyProtected));
        return nullptr;
    }
    if (!protectedNow || pack->FCipherActive) return pack;
    const auto typed = m_dialogs->inputText(this, text(kAskCaption),
                                            withNote(text("该pak包当前的密码：")), QString());
    if (!typed) return nullptr;
    PackPassword = typed->toStdString();
    reopenPack(*pack);
    pack = dynamic_cast<TWMMyImageImages*>(CurrentArchive.get());
    if (pack == nullptr || !pack->FCipherActive) {
        tell(*m_dialogs, this, text(kWrongPassword), MessageIcon::Warning);
        return nullptr;
    }
    return pack;
}

void TFormMain::reopenPack(const TWMMyImageImages& pack) {
    const QString path = nameString(pack.FFileName);
    guarded([&] { OpenArchive(path, TWMImagesKind::MyImage); });
}

// Ends a protection change: the pack is opened again, with the password it
// now has, so the window shows it as a later opening would.
void TFormMain::finishProtection(TWMMyImageImages& pack, const Status& changed) {
    if (!changed) {
        tell(*m_dialogs, this, text(kFailed) + QString::fromStdString(changed.error()),
             MessageIcon::Error);
        return;
    }
    if (!pack.FPassword.empty()) PackPassword = pack.FPassword;
    reopenPack(pack);
}

void TFormMain::MEMU_WORK_PROTECTClick() {
    TWMMyImageImages* pack = packToProtect(false);
    if (pack == nullptr) return;
    const auto password = askNewPassword(*m_dialogs, this);
    if (!password) return;
    finishProtection(*pack, pack->protect(*password));
}

void TFormMain::MEMU_WORK_REKEYClick() {
    TWMMyImageImages* pack = packToProtect(true);
    if (pack == nullptr) return;
    const auto password = askNewPassword(*m_dialogs, this);
    if (!password) return;
    finishProtection(*pack, pack->changePassword(*password));
}

void TFormMain::MEMU_WORK_UNPROTECTClick() {
    TWMMyImageImages* pack = packToProtect(true);
    if (pack == nullptr) return;
    finishProtection(*pack, pack->unprotect());
}

}  // namespace vantoro
