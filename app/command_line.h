// "vantoro [FILE]": the archive named on the command line opens at start as
// the kind its extension gives, as a pick in the file browser would.
#pragma once

#include <QString>
#include <QStringList>

namespace vantoro {

class TFormMain;

// The program's arguments as held names (app/file_name.h), so a file name
// that is not UTF-8 keeps its bytes; Qt's own list decodes them as UTF-8.
QStringList commandLineArguments(int argc, char** argv);

// Opens `file` (a held name) in `form`; answers the line for standard error,
// empty when the file was handed to the window.
QString openCommandLineFile(TFormMain& form, const QString& file);

}  // namespace vantoro
