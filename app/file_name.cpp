#include "app/file_name.h"

#include <QByteArray>
#include <QMimeData>
#include <filesystem>
#include <optional>
#include <system_error>

#include "io/name_encoding.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kEscapeFirst = 0xDC80;
constexpr char16_t kEscapeLast = 0xDCFF;

// Whether name[i] stands for a byte: a unit of the escape range that is
// not the low half of a surrogate pair, which is part of a character.
bool isEscapeAt(const QString& name, qsizetype i) {
    const char16_t unit = name[i].unicode();
    return unit >= kEscapeFirst && unit <= kEscapeLast &&
           (i == 0 || !name[i - 1].isHighSurrogate());
}

bool holdsEscapes(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isEscapeAt(name, i)) return true;
    }
    return false;
}

// The entry of `folder` that `part` names as Qt or a person sees it;
// nothing when none does.
std::optional<std::string> entryNamed(const fs::path& folder, const QString& part) {
    const std::string typed = part.toStdString();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (nameDisplayText(name) == typed || QString::fromStdString(name) == part) return name;
    }
    return std::nullopt;
}

constexpr std::string_view kFileScheme = "file://";

// The path of a "file://" URI, its escaped bytes as they are; nothing for
// another scheme or another host.
std::optional<std::string> localPathOf(const QByteArray& line) {
    std::string uri = line.trimmed().toStdString();
    if (!uri.starts_with(kFileScheme)) return std::nullopt;
    uri.erase(0, kFileScheme.size());
    if (!uri.starts_with('/')) {
        // "file://host/path": only this machine's own name, as "localhost".
        const std::size_t slash = uri.find('/');
        if (slash == std::string::npos || uri.substr(0, slash) != "localhost") return std::nullopt;
        uri.erase(0, slash);
    }
    return QByteArray::fromPercentEncoding(QByteArray::fromStdString(uri)).toStdString();
}

}  // namespace

QString nameString(std::string_view bytes) {
    QString name;
    name.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t start = 0;  // of the valid UTF-8 run being gathered
    const auto flush = [&](std::size_t end) {
        name += QString::fromUtf8(bytes.data() + start, static_cast<qsizetype>(end - start));
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes.substr(i));
        if (length > 0) {
            i += length;
            continue;
        }
        flush(i);
        name += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        start = ++i;
    }
    flush(bytes.size());
    return name;
}

std::string nameBytes(const QString& name) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(name.size()));
    qsizetype start = 0;  // of the text run being gathered
    const auto flush = [&](qsizetype end) { bytes += name.mid(start, end - start).toStdString(); };
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscapeAt(name, i)) continue;
        flush(i);
        bytes += static_cast<char>(name[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    flush(name.size());
    return bytes;
}

QString displayName(const QString& name) {
    return QString::fromStdString(nameDisplayText(nameBytes(name)));
}

QString absoluteName(const QString& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(fs::path(nameBytes(path)), error);
    return error ? path : nameString(absolute.string());
}

QString folderOf(const QString& path) {
    return nameString(fs::path(nameBytes(absoluteName(path))).parent_path().string());
}

QString fileNameOf(const QString& path) {
    return nameString(fs::path(nameBytes(path)).filename().string());
}

bool isFileName(const QString& path) {
    std::error_code error;
    return !path.isEmpty() && fs::is_regular_file(fs::path(nameBytes(path)), error);
}

bool isFolderName(const QString& path) {
    std::error_code error;
    return !path.isEmpty() && fs::is_directory(fs::path(nameBytes(path)), error);
}

std::string chosenNameBytes(const QString& chosen) {
    const std::string bytes = nameBytes(chosen);
    std::error_code error;
    if (holdsEscapes(chosen) || fs::exists(fs::path(bytes), error)) return bytes;
    fs::path found;
    bool matching = true;
    for (const fs::path& part : fs::path(bytes)) {
        const fs::path exact = found / part;
        if (matching && !fs::exists(exact, error) && !found.empty()) {
            const auto entry = entryNamed(found, QString::fromStdString(part.string()));
            if (entry) {
                found /= *entry;
                continue;
            }
            matching = false;
        }
        found = exact;
    }
    return found.string();
}

QStringList droppedFileNames(const QMimeData* data) {
    QStringList names;
    if (data == nullptr || !data->hasFormat(QStringLiteral("text/uri-list"))) return names;
    for (const QByteArray& line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        if (line.startsWith('#')) continue;  // a comment line of the list
        if (const auto path = localPathOf(line)) names << nameString(*path);
    }
    return names;
}

}  // namespace vantoro
