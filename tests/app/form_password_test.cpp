// The pack password commands: the password box's note on the 8 bytes that
// count, and protecting, re-keying and unprotecting the open pack from the
// work menu through the scripted boxes.
#include <functional>

#include "app/form_main.h"
#include "tests/app/edit_fixture.h"

namespace vantoro::testing {
namespace {

using PasswordTest = EditFormTest;

TEST_F(PasswordTest, ThePasswordBoxSaysOnlyEightBytesCountAndWarnsOfMore) {
    dialogs.inputAnswers = {QStringLiteral("12345678"), QStringLiteral("123456789")};
    form().pak1Click();
    EXPECT_TRUE(messages().empty());
    form().pak1Click();
    const auto asked = dialogs.askedOf("inputText");
    EXPECT_EQ(asked.at(0).caption, QStringLiteral("请输入"));
    EXPECT_TRUE(asked.at(0).text.startsWith(QStringLiteral("解包PAK文件的密码：\n")));
    EXPECT_TRUE(asked.at(0).text.contains(QStringLiteral("前8个字节有效")));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("只有前8个字节有效")));
    EXPECT_EQ(form().PackPassword, "123456789");  // still taken as typed
}

// The pixels of every image of an opened pack.
std::vector<Bytes> imagesOf(TWMMyImageImages& pack) {
    std::vector<Bytes> images;
    for (std::int32_t i = 0; i < pack.FImageCount; ++i) {
        const auto bitmap = pack.GetBitmap(i);
        images.push_back(bitmap ? Bytes(bitmap->pixels().begin(), bitmap->pixels().end())
                                : Bytes{});
    }
    return images;
}

TEST_F(PasswordTest, WorkMenuProtectsReKeysAndUnprotectsTheOpenPack) {
    const std::string path = writePackFile("p.pak", 3);
    const std::vector<Bytes> images = imagesOf(*reopen(path));
    openPack(path);
    const struct {
        const char* step;
        QAction* TFormMain::*item;
        std::vector<const char*> typed;
        const char* opensWith;  // the pack's password afterwards, "" when plain
        const char* message;    // shown, or nullptr
    } steps[] = {
        {"protect", &TFormMain::MEMU_WORK_PROTECT, {"key", "key"}, "key", nullptr},
        {"protect again", &TFormMain::MEMU_WORK_PROTECT, {}, "key", "已经受密码保护"},
        {"two passwords differ", &TFormMain::MEMU_WORK_REKEY, {"new", "other"}, "key", "不一致"},
        {"re-key", &TFormMain::MEMU_WORK_REKEY, {"new", "new"}, "new", nullptr},
        {"wrong current password", &TFormMain::MEMU_WORK_UNPROTECT, {"wrong"}, "new", "密码错误"},
        {"unprotect", &TFormMain::MEMU_WORK_UNPROTECT, {"new"}, "", nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        dialogs.asked.clear();
        dialogs.inputAnswers.clear();
        for (const char* typed : step.typed)
            dialogs.inputAnswers.push_back(QString::fromUtf8(typed));
        if (std::string(step.step) == "wrong current password") {
            form().PackPassword.clear();  // opened without it: the password is asked for
            openPack(path);
        }
        (form().*step.item)->trigger();
        EXPECT_TRUE(dialogs.inputAnswers.empty());
        const std::vector<QString> shown = messages();
        if (step.message == nullptr) {
            EXPECT_TRUE(shown.empty()) << shown.at(0).toStdString();
            // The window shows the pack as opened again.
            ASSERT_NE(dynamic_cast<TWMMyImageImages*>(form().CurrentArchive.get()), nullptr);
            EXPECT_EQ(imagesOf(static_cast<TWMMyImageImages&>(*form().CurrentArchive)), images);
        } else {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_TRUE(shown[0].contains(QString::fromUtf8(step.message)))
                << shown[0].toStdString();
        }
        const auto pack = reopen(path, step.opensWith);
        EXPECT_EQ(pack->FHeader.isProtected(), *step.opensWith != '\0');
        EXPECT_EQ(imagesOf(*pack), images);
    }
}

}  // namespace
}  // namespace vantoro::testing
