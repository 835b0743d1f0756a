// Qt's own Chinese translations, so that the stock dialogs (file, folder,
// colour, input and message boxes, their buttons) speak the language of the
// rest of the window.
#pragma once

#include <QTranslator>
#include <memory>
#include <vector>

namespace vantoro {

// Installs the Chinese catalogues of Qt found in Qt's translations folder;
// they stay installed while the answered translators live. An empty answer
// when none is there (the window then shows Qt's English texts).
std::vector<std::unique_ptr<QTranslator>> installQtChineseTranslations();

}  // namespace vantoro
