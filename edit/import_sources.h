// The import list: which files go into a pack, in which order, and with
// which drawing offsets.
//
// A line shows a display name and carries a TImportFileItem. Files chosen
// one by one ("文件") and the files of a folder ("目录") show their own
// names; the files of a whole tree ("目录ALL", folders taken breadth-first)
// show the folder path below the chosen folder in front, each folder name
// followed by "_": x.bmp in a/b shows as a_b_x.bmp. The list is kept
// ordered by display name, compared character by character without regard
// to ASCII letter case (so 10.bmp comes before 9.bmp), lines of equal names
// in the order they came; the entries are imported in that order.
//
// Every file's offsets come from its offsets file (edit/import_text.h) in
// its own folder's "Placements" folder, when there is one to read. A folder
// named "Placements" (in any letter case) holds offsets, never sources: a
// tree walk passes it over, so a folder written by export imports back as
// its pictures alone.
//
// Only regular files are listed (not devices or pipes, which could block a
// read), names beginning with "." are skipped, and a tree walk does not
// follow links to folders, so a folder linked into itself ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "edit/edit_prompts.h"
#include "io/result.h"

namespace vantoro {

struct TImportFileItem {
    std::string FileName;  // full path
    std::int16_t X = 0;    // drawing offsets from the offsets file, else 0
    std::int16_t Y = 0;
    std::uint8_t Format = 0;  // pixel format from its third line, else 0
};

struct ImportListLine {
    std::string displayName;
    TImportFileItem item;
};

// folder/Placements/NAME.txt for folder/NAME.EXT; the folder and file names
// are matched without regard to letter case when the exact ones are absent.
std::string offsetsFileOf(const std::string& path);

// The record of a file, offsets read from its offsets file if it has one.
TImportFileItem importItemFor(const std::string& path);

// "文件": the chosen files, in the order given.
std::vector<ImportListLine> listChosenFiles(std::span<const std::string> paths);
// "目录": the files of the folder. Fails when it cannot be read.
Result<std::vector<ImportListLine>> listFolder(const std::string& folder);
// "目录ALL": the files of the folder and every folder below it, except
// folders whose name begins with "." and "Placements" folders. Fails when the folder cannot be
// read; a sub-folder that cannot be read adds nothing, and `prompts` (when given) is told which one
// and why.
Result<std::vector<ImportListLine>> listFolderTree(const std::string& folder,
                                                   PromptSeam* prompts = nullptr);

// Whether display name a stands before b.
bool displayNameBefore(std::string_view a, std::string_view b);

// The list of the import dialog.
class ImportFileList {
public:
    // Each line goes after the lines whose names do not stand after it.
    void add(std::vector<ImportListLine> lines);
    // The lines at these positions; positions past the end are ignored.
    void remove(std::span<const std::size_t> positions);
    void clear() { m_lines.clear(); }

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::vector<ImportListLine>& lines() const { return m_lines; }

private:
    std::vector<ImportListLine> m_lines;
};

}  // namespace vantoro
