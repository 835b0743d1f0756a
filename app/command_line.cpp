#include "app/command_line.h"

#include <QFileInfo>

#include "app/form_main.h"

namespace vantoro {

QString openCommandLineFile(TFormMain& form, const QString& file) {
    const QFileInfo info(file);
    if (!info.isFile()) return QStringLiteral("vantoro: %1: no such file").arg(file);
    if (!form.openPicked(info.absoluteFilePath())) {
        return QStringLiteral("vantoro: %1: unknown archive kind").arg(file);
    }
    return QString();
}

}  // namespace vantoro
