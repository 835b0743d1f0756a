// "vantoro [FILE]": the archive named on the command line opens at start as
// the kind its extension gives, as a pick in the file browser would.
#pragma once

#include <QString>

namespace vantoro {

class TFormMain;

// Opens `file` in `form`; answers the line for standard error, empty when
// the file was handed to the window.
QString openCommandLineFile(TFormMain& form, const QString& file);

}  // namespace vantoro
