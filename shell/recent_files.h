// The recent-file list under File > "最近打开的文件(&B)": up to ten entries
// "path [kind]", newest first, each opened again as the archive kind it was
// opened as. The list is kept as plain strings; where they are stored (one
// text value per position, "0" to "9") is the window's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

inline constexpr std::size_t kMaxRecentFiles = 10;

// Caption of the disabled placeholder item shown while the list is empty.
inline constexpr std::string_view kRecentPlaceholderCaption = "无";

// One item of the submenu. The hint holds the entry itself; the placeholder
// has an empty hint and is disabled.
struct RecentMenuItem {
    std::string caption;
    std::string hint;
    bool enabled = true;
};

// What an entry opens.
struct RecentFileTarget {
    std::string path;
    TWMImagesKind kind = TWMImagesKind::M2Def;  // the stored number reduced to 8 bits
};

// The entry text for a path opened as `kind`: path + " [" + kind + "]".
std::string recentFileEntry(std::string_view path, TWMImagesKind kind);

// Splits an entry at its last " [": the path before it, the kind text between
// that "[" and the next "]", read as a decimal number (0 when it is not one)
// and reduced to 8 bits. Nothing when the entry is empty, has no " [" or no
// closing "]", or when the path or the kind text is empty.
std::optional<RecentFileTarget> parseRecentFileEntry(std::string_view entry);

// A stored text without the blanks and control characters at either end.
std::string trimStoredText(std::string_view text);

class RecentFileList {
public:
    // Only the placeholder.
    RecentFileList() = default;

    // The list as stored: the texts for positions 0, 1, ... (a missing value
    // is an empty text), each trimmed; reading stops at the first empty text
    // and after ten.
    static RecentFileList fromStored(std::span<const std::string> stored);

    // Puts `entry` on top, drops the placeholder and any older copy of the
    // same text (letter case counts), and keeps the newest ten. An empty
    // entry changes nothing.
    void add(const std::string& entry);

    // The entries, newest first; empty while the placeholder shows.
    const std::vector<std::string>& entries() const { return m_entries; }

    // The submenu top first: "&N " + entry at position N, or the placeholder.
    std::vector<RecentMenuItem> menuItems() const;

    // The texts to store at positions "0", "1", ...: every item's hint, so
    // the placeholder stores an empty "0". Values at higher positions from
    // earlier runs are left to stand by the caller.
    std::vector<std::string> storedValues() const;

private:
    std::vector<std::string> m_entries;
};

}  // namespace vantoro
