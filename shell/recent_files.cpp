#include "shell/recent_files.h"

#include <algorithm>

#include "archive/archive_kind.h"
#include "io/decimal_text.h"

namespace vantoro {
namespace {

// Blanks and control characters, including DEL. Bytes of multi-byte UTF-8
// characters are all 0x80 or above and are never trimmed.
bool isTrimmed(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

// Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
// "&" + std::to_string(...) once it is inlined.
std::string captionAt(std::size_t position, const std::string& entry) {
    std::string caption = "&";
    caption += std::to_string(position);
    caption += ' ';
    caption += entry;
    return caption;
}

}  // namespace

std::string recentFileEntry(std::string_view path, TWMImagesKind kind) {
    return std::string(path) + " [" + std::to_string(kindNumber(kind)) + "]";
}

std::optional<RecentFileTarget> parseRecentFileEntry(std::string_view entry) {
    const std::size_t split = entry.rfind(" [");
    if (split == std::string_view::npos) return std::nullopt;
    const std::size_t kindStart = split + 2;
    const std::size_t close = entry.find(']', kindStart);
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view path = entry.substr(0, split);
    const std::string_view kindText = entry.substr(kindStart, close - kindStart);
    if (path.empty() || kindText.empty()) return std::nullopt;
    const std::int32_t kind = parseDecimalInt32(kindText).value_or(0);
    return RecentFileTarget{std::string(path), static_cast<TWMImagesKind>(kind & 0xFF)};
}

std::string trimStoredText(std::string_view text) {
    const auto first = std::find_if_not(text.begin(), text.end(), isTrimmed);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isTrimmed).base();
    return first < last ? std::string(first, last) : std::string();
}

RecentFileList RecentFileList::fromStored(std::span<const std::string> stored) {
    RecentFileList list;
    for (std::size_t n = 0; n < stored.size() && n < kMaxRecentFiles; ++n) {
        std::string text = trimStoredText(stored[n]);
        if (text.empty()) break;
        list.m_entries.push_back(std::move(text));
    }
    return list;
}

void RecentFileList::add(const std::string& entry) {
    if (entry.empty()) return;
    std::erase(m_entries, entry);
    m_entries.insert(m_entries.begin(), entry);
    if (m_entries.size() > kMaxRecentFiles) m_entries.resize(kMaxRecentFiles);
}

std::vector<RecentMenuItem> RecentFileList::menuItems() const {
    if (m_entries.empty()) return {{std::string(kRecentPlaceholderCaption), {}, false}};
    std::vector<RecentMenuItem> items;
    items.reserve(m_entries.size());
    for (std::size_t position = 0; position < m_entries.size(); ++position) {
        items.push_back({captionAt(position, m_entries[position]), m_entries[position], true});
    }
    return items;
}

std::vector<std::string> RecentFileList::storedValues() const {
    if (m_entries.empty()) return {std::string()};
    return m_entries;
}

}  // namespace vantoro
