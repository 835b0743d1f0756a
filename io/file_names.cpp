#include "io/file_names.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "io/name_encoding.h"

namespace vantoro {

namespace fs = std::filesystem;

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(fs::path(path), error);
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && asciiLower(a) == asciiLower(b);
}

std::string extensionOf(const std::string& path) {
    return fs::path(path).extension().string();
}

std::string resolveIgnoringCase(const std::string& path) {
    if (fileExists(path)) return path;
    const fs::path wanted(path);
    const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
    const std::string name = wanted.filename().string();
    // Several spellings may exist side by side; take the smallest name so
    // the choice does not depend on directory order.
    std::optional<fs::path> best;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& candidate = it->path();
        if (!sameNameIgnoringAsciiCase(candidate.filename().string(), name)) continue;
        if (!fileExists(candidate.string())) continue;
        if (!best || candidate.filename() < best->filename()) best = candidate;
    }
    if (!best) return path;
    return wanted.has_parent_path() ? best->string() : best->filename().string();
}

std::string companionFileName(const std::string& dataPath, std::string_view extension) {
    fs::path companion(dataPath);
    companion.replace_extension(fs::path(std::string(extension)));
    return resolveIgnoringCase(companion.string());
}

}  // namespace vantoro
