#include "cli/convert_sources.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "archive/archive_kind.h"
#include "cli/cli_support.h"
#include "io/file_names.h"

namespace vantoro::cli {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void refuse(const std::string& message) {
    throw CliExit{kExitUsage, message};
}

// Regular files (links to them included) below `folder` whose extension is
// an archive kind's, ordered by path.
std::vector<fs::path> archivesIn(const fs::path& folder, bool recursive) {
    std::vector<fs::path> found;
    std::error_code error;
    const auto take = [&](const fs::directory_entry& entry) {
        std::error_code ignored;
        if (!entry.is_regular_file(ignored)) return;
        if (kindForExtension(fileExtension(entry.path().native()), {})) {
            found.push_back(entry.path());
        }
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) take(*it);
    } else {
        fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) take(*it);
    }
    if (error) refuse("cannot read the folder " + folder.native() + ": " + error.message());
    std::ranges::sort(found);
    return found;
}

}  // namespace

std::string fileIdentity(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return error ? fs::path(path).lexically_normal().native() : canonical.native();
}

std::vector<ConvertSource> collectConvertSources(std::span<const std::string> operands,
                                                 bool recursive,
                                                 std::optional<TWMImagesKind> kind) {
    std::vector<ConvertSource> sources;
    std::set<std::string> seen;
    std::map<std::string, std::string> pathOfName;
    const auto add = [&](const fs::path& path, std::string name,
                         std::optional<TWMImagesKind> forced) {
        if (!seen.insert(fileIdentity(path.native())).second) return;
        const auto [taken, fresh] = pathOfName.emplace(name, path.native());
        if (!fresh) {
            refuse(taken->second + " and " + path.native() + " would both be written as " + name +
                   "; convert them into different folders");
        }
        sources.push_back({path.native(), std::move(name), forced});
    };
    for (const std::string& operand : operands) {
        std::error_code error;
        if (fs::is_directory(operand, error)) {
            const std::vector<fs::path> archives = archivesIn(operand, recursive);
            if (archives.empty()) refuse(operand + ": no archives in this folder");
            for (const fs::path& path : archives) {
                add(path, path.lexically_relative(operand).native(), std::nullopt);
            }
            continue;
        }
        if (!fileExists(operand)) refuse(operand + ": no such file or folder");
        if (!kind && !kindForExtension(fileExtension(operand), {})) {
            refuse(operand + ": cannot tell the archive kind from the extension '" +
                   std::string(fileExtension(operand)) + "'; pass --kind N");
        }
        add(operand, fs::path(operand).filename().native(), kind);
    }
    return sources;
}

}  // namespace vantoro::cli
