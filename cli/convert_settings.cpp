#include "cli/convert_settings.h"

#include <string>

namespace vantoro::cli {
namespace {

constexpr unsigned kMaxJobs = 1024;
constexpr OptionEntry kConvertOptions[] = {
    {"--to", "png|bmp|pak",
     "what each archive becomes: PNG or BMP files (png by\ndefault), or a pack"},
    {"--jobs", "N", "threads to convert on; one per core by default"},
    {"--alpha", "", "images as drawn into a texture, alpha kept, as\nexport --alpha (png and bmp)"},
    {"--recursive", "", "the archives of a SOURCE folder's whole tree"},
};

}  // namespace

std::span<const OptionEntry> convertOptions() {
    return kConvertOptions;
}

ConvertSettings convertSettingsOf(const Invocation& call) {
    ConvertSettings settings;
    for (const OptionValue& option : call.options) {
        if (option.name == "--to") {
            if (option.value == "png") {
                settings.target = ConvertTarget::Png;
            } else if (option.value == "bmp") {
                settings.target = ConvertTarget::Bmp;
            } else if (option.value == "pak") {
                settings.target = ConvertTarget::Pak;
            } else {
                usageError("bad value '" + option.value + "' for --to", call.command);
            }
        } else if (option.name == "--jobs") {
            const auto jobs = parseNumber(option.value, kMaxJobs);
            if (!jobs || *jobs == 0) {
                usageError("bad value '" + option.value + "' for --jobs (1.." +
                               std::to_string(kMaxJobs) + ")",
                           call.command);
            }
            settings.jobs = *jobs;
        } else if (option.name == "--alpha") {
            settings.alpha = true;
        } else if (option.name == "--recursive") {
            settings.recursive = true;
        }
    }
    if (settings.alpha && settings.target == ConvertTarget::Pak) {
        usageError("--alpha is for --to png and bmp", call.command);
    }
    return settings;
}

}  // namespace vantoro::cli
