#include "app/command_line.h"

#include "app/file_name.h"
#include "app/form_main.h"

namespace vantoro {

QStringList commandLineArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments << nameString(argv[i]);
    return arguments;
}

QString openCommandLineFile(TFormMain& form, const QString& file) {
    if (!isFileName(file)) return QStringLiteral("vantoro: %1: 文件不存在").arg(displayName(file));
    if (!form.openPicked(absoluteName(file))) {
        return QStringLiteral("vantoro: %1: 不支持的文件类型").arg(displayName(file));
    }
    return QString();
}

}  // namespace vantoro
