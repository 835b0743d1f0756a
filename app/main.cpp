// vantoro: the window program. "vantoro FILE" opens FILE at start as the
// archive kind its extension gives; "--verbose" lets what the sound system's
// libraries print while the audio output opens reach standard error.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <exception>
#include <string_view>

#include "app/command_line.h"
#include "app/dialog_seam.h"
#include "app/form_main.h"
#include "app/program_resources.h"
#include "app/translations.h"
#include "archive/archive_kind.h"
#include "audio/bass.h"

#ifndef VANTORO_VERSION
#define VANTORO_VERSION "1.0.0.0"
#endif

namespace {

// The general handler: an exception that escapes a command anywhere ends
// that command, and its message is shown.
class Application final : public QApplication {
public:
    Application(int& argc, char** argv, vantoro::DialogSeam& dialogs)
        : QApplication(argc, argv), m_dialogs(dialogs) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            m_dialogs.message(activeWindow(),
                              {QStringLiteral("Vantoro"), QString::fromStdString(error.what()),
                               vantoro::MessageIcon::Error});
        }
        return false;
    }

private:
    vantoro::DialogSeam& m_dialogs;
};

// The archives the window opens at start, by the extensions of the kind table.
QString fileArgumentHelp() {
    QStringList extensions;
    for (const std::string_view extension : vantoro::archiveExtensions()) {
        extensions << QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
    }
    return QStringLiteral("启动时打开的图像存储文件 (%1)").arg(extensions.join(QLatin1Char(' ')));
}

}  // namespace

int main(int argc, char** argv) {
    vantoro::QtDialogSeam dialogs;
    Application app(argc, argv, dialogs);
    QApplication::setApplicationName(QStringLiteral("Vantoro"));
    QApplication::setOrganizationName(QStringLiteral("Dovik"));
    QApplication::setApplicationVersion(QStringLiteral(VANTORO_VERSION));
    const auto translators = vantoro::installQtChineseTranslations();
    vantoro::initProgramResources();
    QApplication::setWindowIcon(vantoro::applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("游戏图像资源浏览与打包工具"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("在标准错误上显示音频系统的诊断信息"));
    parser.addOption(verbose);
    parser.addPositionalArgument(QStringLiteral("FILE"), fileArgumentHelp());
    // Qt has taken its own options out of argc and argv by now.
    parser.process(vantoro::commandLineArguments(argc, argv));
    vantoro::showAudioBackendMessages(parser.isSet(verbose));

    vantoro::FormMainOptions options;
    options.dialogs = &dialogs;
    vantoro::TFormMain form(options);
    form.show();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        const QString error = vantoro::openCommandLineFile(form, files.first());
        if (!error.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(error));
    }
    return QApplication::exec();
}
