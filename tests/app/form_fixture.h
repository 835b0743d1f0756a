// A main window over a scripted dialog seam, a test clock and a settings
// file in a temporary folder, plus small archives of every format.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "app/form_main.h"
#include "app/recent_files_menu.h"
#include "app/status_bar.h"
#include "tests/app/scripted_dialogs.h"
#include "tests/support/test_files.h"

namespace vantoro::testing {

class FormTest : public ::testing::Test {
protected:
    FormTest();
    ~FormTest() override;

    TFormMain& form() { return *m_form; }
    // Destroys the window (its shutdown writes the settings) and makes a
    // new one over the same settings file.
    void restartForm();
    void destroyForm() { m_form.reset(); }
    QString settingsFile() const;

    // Answers the next file dialog with `path` and runs `command`.
    void openThrough(void (TFormMain::*command)(), const std::string& path);
    // Opens `path` as `kind` straight through OpenArchive.
    void openArchive(const std::string& path, TWMImagesKind kind);

    QString caption() const { return m_form->windowTitle(); }
    QString panel(std::size_t index) const;
    std::string className() const;

    // Archives with `count` images in the temporary folder; answer the data
    // file's path. Image i is (4 + i) x (3 + i) pixels at offsets (i, -i).
    std::string writeMir2(const std::string& name, int count, bool sixteenBit = false);
    std::string writeMir3(const std::string& name, int count, int emptyFrom = -1, int emptyTo = -1);
    std::string writeWis(const std::string& name, int count);
    std::string writeMir2Zip(const std::string& name, int count);
    std::string writeMir3Zip(const std::string& name, int count);
    std::string writeWoool(const std::string& name, int count);
    std::string writeWuyi(const std::string& name, int count);

    TempDir dir;
    ScriptedDialogs dialogs;
    std::uint32_t now = 1000;  // the auto-play clock

private:
    std::unique_ptr<TFormMain> makeForm();
    std::unique_ptr<TFormMain> m_form;
};

}  // namespace vantoro::testing
