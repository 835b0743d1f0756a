#include "edit/import_sources.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <system_error>
#include <utility>

#include "edit/edit_messages.h"
#include "edit/import_text.h"
#include "io/file_names.h"

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
    for (const std::string& name : files) {
        lines.push_back({prefix + name, importItemFor(folder + name)});
    }
}

}  // namespace

std::string offsetsFileOf(const std::string& path) {
    const fs::path picture(path);
    const std::string folder = withSlash(picture.parent_path().string());
    const std::string placements = withSlash(folderIgnoringCase(folder, kPlacements));
    return resolveIgnoringCase(placements + picture.stem().string() +
                               std::string(kOffsetsExtension));
}

TImportFileItem importItemFor(const std::string& path) {
    TImportFileItem item{path};
    const std::string offsetsPath = offsetsFileOf(path);
    if (!fileExists(offsetsPath)) return item;
    const Result<OffsetsFile> offsets = readOffsetsFile(offsetsPath);
    if (!offsets) return item;
    item.X = offsets->x;
    item.Y = offsets->y;
    item.Format = offsets->format;
    return item;
}

std::vector<ImportListLine> listChosenFiles(std::span<const std::string> paths) {
    std::vector<ImportListLine> lines;
    for (const std::string& path : paths) {
        lines.push_back({fs::path(path).filename().string(), importItemFor(path)});
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
    for (ImportListLine& line : lines) {
        const auto at = std::ranges::upper_bound(m_lines, line.displayName, displayNameBefore,
                                                 &ImportListLine::displayName);
        m_lines.insert(at, std::move(line));
    }
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
