// Small file-name helpers. Real archives come with index files spelled
// `.WIX`, `.wix` and `.Wix` alike, and were made on a file system that ignores
// letter case; here the look-up does the same.
#pragma once

#include <string>
#include <string_view>

namespace vantoro {

bool fileExists(const std::string& path);

// ASCII lower case; other bytes (UTF-8 names) are kept.
std::string asciiLower(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The extension with its dot, as spelled in the path ("" when there is none).
std::string extensionOf(const std::string& path);

// Folder of `dataPath` + its name without extension + `extension`. When no
// file of exactly that name exists but one whose name differs only in letter
// case does, that one's path is returned instead.
std::string companionFileName(const std::string& dataPath, std::string_view extension);

// `path` itself if it exists, else a file in the same folder whose name
// equals it without regard to ASCII case (sameNameIgnoringAsciiCase: a GBK
// name's letters, not the bytes inside its characters), else `path`
// unchanged.
std::string resolveIgnoringCase(const std::string& path);

}  // namespace vantoro
