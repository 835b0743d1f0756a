#include "app/command_line.h"

#include <QFileInfo>

#include "app/form_main.h"

namespace vantoro {

QString openCommandLineFile(TFormMain& form, const QString& file) {
    const QFileInfo info(file);
    if (!info.isFile()) return QStringLiteral("vantoro: %1: 文件不存在").arg(file);
    if (!form.openPicked(info.absoluteFilePath())) {
        return QStringLiteral("vantoro: %1: 不支持的文件类型").arg(file);
    }
    return QString();
}

}  // namespace vantoro
