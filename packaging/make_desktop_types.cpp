// Writes what the desktop is told at installation about the archive types
// the program opens, from the kind table, so that it names the extensions
// the program reads and no others: the shared-mime-info description (one
// type per extension and per index extension beside it) and the menu entry
// with its list of those types.
//
// Usage: vantoro-make-desktop-types OUT.xml ENTRY.desktop.in OUT.desktop
// In ENTRY.desktop.in, @MIME_TYPES@ becomes "type;type;..." and
// @EXTENSIONS@ "wil;wis;..." (the search keywords).
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "archive/archive_kind.h"

namespace {

using vantoro::ArchiveFileType;
using vantoro::ArchiveKindInfo;

// ".wzl" -> "wzl"
std::string_view bareExtension(std::string_view extension) {
    return extension.substr(extension.starts_with('.') ? 1 : 0);
}

std::string mimeType(std::string_view extension) {
    return "application/x-vantoro-" + std::string(bareExtension(extension));
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void writeType(std::ostream& xml, std::string_view extension, std::string_view comment,
               std::string_view chineseComment, std::string_view magic) {
    xml << "  <mime-type type=\"" << mimeType(extension) << "\">\n"
        << "    <comment>" << escaped(comment) << "</comment>\n"
        << "    <comment xml:lang=\"zh_CN\">" << escaped(chineseComment) << "</comment>\n"
        << "    <glob pattern=\"*" << escaped(extension) << "\"/>\n";
    if (!magic.empty()) {
        xml << "    <magic priority=\"90\">\n"
            << "      <match type=\"string\" offset=\"0\" value=\"" << escaped(magic) << "\"/>\n"
            << "    </magic>\n";
    }
    xml << "  </mime-type>\n";
}

// The types in the order of the table, each extension once.
std::string mimeInfo() {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<!-- The game image archives Vantoro opens, and the index files that go with\n"
        << "     some of them. Globs compare without letter case. Written by the build\n"
        << "     from the program's kind table. -->\n"
        << "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const std::string_view extension : vantoro::archiveExtensions()) {
        const ArchiveFileType* type = nullptr;
        for (const ArchiveKindInfo& info : vantoro::archiveKinds()) {
            if (info.extension == extension && info.fileType) type = info.fileType;
        }
        if (!type) continue;
        writeType(xml, extension, type->comment, type->chineseComment, type->magic);
        if (!type->indexExtension.empty()) {
            writeType(xml, type->indexExtension, type->indexComment, type->chineseIndexComment, {});
        }
    }
    xml << "</mime-info>\n";
    return xml.str();
}

std::string replaced(std::string text, std::string_view placeholder, std::string_view value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

// The menu entry claims the archives themselves, not their index files.
std::string desktopEntry(std::string entry) {
    std::string types;
    std::string extensions;
    for (const std::string_view extension : vantoro::archiveExtensions()) {
        types += mimeType(extension) + ';';
        extensions += std::string(bareExtension(extension)) + ';';
    }
    entry = replaced(std::move(entry), "@MIME_TYPES@", types);
    return replaced(std::move(entry), "@EXTENSIONS@", extensions);
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    std::cerr << "vantoro-make-desktop-types: cannot write " << path << '\n';
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: vantoro-make-desktop-types OUT.xml ENTRY.desktop.in OUT.desktop\n";
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string entry{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
        std::cerr << "vantoro-make-desktop-types: cannot read " << argv[2] << '\n';
        return 1;
    }
    return writeFile(argv[1], mimeInfo()) && writeFile(argv[3], desktopEntry(entry)) ? 0 : 1;
}
