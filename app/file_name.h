// File names in the window. A name is bytes: Qt decodes names as UTF-8 and
// turns any other byte into U+FFFD, so a GBK name from a Windows archive
// would be lost on its way through QFileInfo, QDir or QFileSystemModel.
//
// The window therefore holds a file name as a QString that keeps its bytes:
// valid UTF-8 decoded as usual, every other byte b as the lone surrogate
// U+DC00 + b, which no decoded text contains (Python's "surrogateescape").
// Such a QString goes through signals, item data and dialogs unchanged;
// nameBytes gives the bytes back for the file system, and displayName the
// text a person reads (GBK decoded where the bytes are not UTF-8). Held
// names never go to Qt's file classes; the helpers below work on the bytes.
// For UTF-8 names the held QString is the ordinary one.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

class QMimeData;

namespace vantoro {

QString nameString(std::string_view bytes);
std::string nameBytes(const QString& name);

// The name or path as a person reads it (io/name_encoding.h).
QString displayName(const QString& name);

// The absolute form of `path` (against the working folder), and its folder
// and last part; no "." or ".." is resolved.
QString absoluteName(const QString& path);
QString folderOf(const QString& path);
QString fileNameOf(const QString& path);
bool isFileName(const QString& path);
bool isFolderName(const QString& path);

// The bytes of a name Qt handed back or a person typed. A held name gives
// its own bytes; an existing UTF-8 name stays; otherwise each part of the
// path that does not exist is matched against its folder's entries, by the
// text a person reads (物品 typed for a GBK 物品) or by Qt's decoding with
// U+FFFD (what Qt's file dialogs list and return). Parts that match nothing
// stay UTF-8: the name of something new.
std::string chosenNameBytes(const QString& chosen);

// The local files and folders among dropped items, as held names. They are
// read from the "text/uri-list" bytes themselves: QUrl::toLocalFile decodes
// the escaped bytes of a name as UTF-8.
QStringList droppedFileNames(const QMimeData* data);

}  // namespace vantoro
