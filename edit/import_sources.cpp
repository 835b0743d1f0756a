#include "edit/import_sources.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "edit/edit_messages.h"
#include "edit/import_text.h"
#include "io/file_names.h"
#include "io/name_encoding.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPlacements = "Placements";
constexpr std::string_view kOffsetsExtension = ".txt";
constexpr char kFolderJoin = '_';

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool hiddenName(const std::string& name) {
    return name.starts_with('.');
}

// The folder `name` inside `parent`, by its exact name or else by one that
// differs only in letter case; the exact path when there is neither.
std::string folderIgnoringCase(const std::string& parent, std::string_view name) {
    const std::string exact = parent + std::string(name);
    std::error_code error;
    if (fs::is_directory(exact, error)) return exact;
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
        if (equalsIgnoringCase(it->path().filename().string(), name) && it->is_directory(error)) {
            return it->path().string();
        }
    }
    return exact;
}

// The offsets files of the pictures of one folder. Its Placements folder is
// looked for once and, when a name is not there as spelled, its names are
// read once: a folder of n pictures costs n lookups, not n folder reads.
class PlacementsFolder {
public:
    explicit PlacementsFolder(const std::string& folder)
        : m_path(withSlash(folderIgnoringCase(folder, kPlacements))) {}

    // Placements/STEM.txt, by its exact name or else by the smallest name
    // that differs only in letter case; the exact path when there is neither.
    std::string offsetsFileOf(const std::string& stem) {
        const std::string name = stem + std::string(kOffsetsExtension);
        const std::string exact = m_path + name;
        if (fileExists(exact)) return exact;
        if (!m_namesRead) readNames();
        const auto found = m_names.find(nameCaseKey(name));
        return found == m_names.end() ? exact : m_path + found->second;
    }

private:
    void readNames() {
        m_namesRead = true;
        std::error_code error;
        for (fs::directory_iterator it(m_path, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code kindError;
            if (!it->is_regular_file(kindError)) continue;
            const std::string name = it->path().filename().string();
            const auto [at, added] = m_names.try_emplace(nameCaseKey(name), name);
            // Several spellings may stand side by side; the smallest name
            // wins, whatever the order the folder lists them in.
            if (!added && name < at->second) at->second = name;
        }
    }

    std::string m_path;  // ends in "/"
    bool m_namesRead = false;
    std::unordered_map<std::string, std::string> m_names;  // by nameCaseKey
};

TImportFileItem itemWithOffsets(const std::string& path, const std::string& offsetsPath) {
    TImportFileItem item{path};
    if (!fileExists(offsetsPath)) return item;
    const Result<OffsetsFile> offsets = readOffsetsFile(offsetsPath);
    if (!offsets) return item;
    item.X = offsets->x;
    item.Y = offsets->y;
    item.Format = offsets->format;
    return item;
}

std::string folderOf(const std::string& path) {
    return withSlash(fs::path(path).parent_path().string());
}

std::string stemOf(const std::string& path) {
    return fs::path(path).stem().string();
}

// What one folder holds: its regular files and (for tree walks) its
// sub-folders, each ordered by name, hidden names left out.
struct FolderContents {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

Result<FolderContents> readFolder(const std::string& folder) {
    FolderContents contents;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return fail("cannot read folder " + folder + ": " + error.message());
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (hiddenName(name)) continue;
        std::error_code kindError;
        if (it->is_directory(kindError) && !it->is_symlink(kindError)) {
            // Offsets files, read beside their pictures; never sources.
            if (!equalsIgnoringCase(name, kPlacements)) contents.folders.push_back(name);
        } else if (it->is_regular_file(kindError)) {
            contents.files.push_back(name);
        }
    }
    if (error) return fail("cannot read folder " + folder + ": " + error.message());
    std::ranges::sort(contents.files, displayNameBefore);
    std::ranges::sort(contents.folders, displayNameBefore);
    return contents;
}

void addLines(std::vector<ImportListLine>& lines, const std::string& folder,
              const std::string& prefix, const std::vector<std::string>& files) {
    PlacementsFolder placements(folder);
    for (const std::string& name : files) {
        const std::string path = folder + name;
        lines.push_back(
            {prefix + name, itemWithOffsets(path, placements.offsetsFileOf(stemOf(path)))});
    }
}

}  // namespace

std::string offsetsFileOf(const std::string& path) {
    return PlacementsFolder(folderOf(path)).offsetsFileOf(stemOf(path));
}

TImportFileItem importItemFor(const std::string& path) {
    return itemWithOffsets(path, offsetsFileOf(path));
}

std::vector<ImportListLine> listChosenFiles(std::span<const std::string> paths) {
    std::vector<ImportListLine> lines;
    std::unordered_map<std::string, PlacementsFolder> folders;
    for (const std::string& path : paths) {
        const std::string folder = folderOf(path);
        PlacementsFolder& placements = folders.try_emplace(folder, folder).first->second;
        lines.push_back({fs::path(path).filename().string(),
                         itemWithOffsets(path, placements.offsetsFileOf(stemOf(path)))});
    }
    return lines;
}

Result<std::vector<ImportListLine>> listFolder(const std::string& folder) {
    const std::string root = withSlash(folder);
    const Result<FolderContents> contents = readFolder(root);
    if (!contents) return contents.failure();
    std::vector<ImportListLine> lines;
    addLines(lines, root, {}, contents->files);
    return lines;
}

Result<std::vector<ImportListLine>> listFolderTree(const std::string& folder, PromptSeam* prompts) {
    const std::string root = withSlash(folder);
    const Result<FolderContents> top = readFolder(root);
    if (!top) return top.failure();
    struct Queued {
        std::string path;
        std::string prefix;  // "a_b_" for the folder a/b
    };
    std::vector<ImportListLine> lines;
    std::deque<Queued> queue;
    const auto take = [&](const Queued& at, const FolderContents& contents) {
        addLines(lines, at.path, at.prefix, contents.files);
        for (const std::string& name : contents.folders) {
            queue.push_back({at.path + name + '/', at.prefix + name + kFolderJoin});
        }
    };
    take({root, {}}, *top);
    while (!queue.empty()) {
        const Queued next = std::move(queue.front());
        queue.pop_front();
        const Result<FolderContents> contents = readFolder(next.path);
        if (contents) {
            take(next, *contents);
        } else if (prompts) {
            prompts->ask(folderSkippedPrompt(next.path, contents.error()));
        }
    }
    return lines;
}

bool displayNameBefore(std::string_view a, std::string_view b) {
    return asciiLower(a) < asciiLower(b);
}

void ImportFileList::add(std::vector<ImportListLine> lines) {
    // Sorted on their own and merged: equal names keep the order they came
    // in, the lines already listed first, without moving the list once per
    // line.
    const auto before = [](const ImportListLine& a, const ImportListLine& b) {
        return displayNameBefore(a.displayName, b.displayName);
    };
    std::ranges::stable_sort(lines, before);
    const auto listed = static_cast<std::ptrdiff_t>(m_lines.size());
    m_lines.insert(m_lines.end(), std::make_move_iterator(lines.begin()),
                   std::make_move_iterator(lines.end()));
    std::inplace_merge(m_lines.begin(), m_lines.begin() + listed, m_lines.end(), before);
}

void ImportFileList::remove(std::span<const std::size_t> positions) {
    std::vector<bool> gone(m_lines.size(), false);
    for (const std::size_t position : positions) {
        if (position < gone.size()) gone[position] = true;
    }
    std::vector<ImportListLine> kept;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (!gone[i]) kept.push_back(std::move(m_lines[i]));
    }
    m_lines = std::move(kept);
}

}  // namespace vantoro
