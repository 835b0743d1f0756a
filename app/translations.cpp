#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace vantoro {

std::vector<std::unique_ptr<QTranslator>> installQtChineseTranslations() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    std::vector<std::unique_ptr<QTranslator>> installed;
    for (const char* catalogue : {"qtbase"}) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(chinese, QString::fromLatin1(catalogue), QStringLiteral("_"),
                             folder) &&
            QCoreApplication::installTranslator(translator.get())) {
            installed.push_back(std::move(translator));
        }
    }
    return installed;
}

}  // namespace vantoro
