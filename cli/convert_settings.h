// What the options of `vantoro-cli convert` ask for.
#pragma once

#include <cstdint>
#include <span>

#include "cli/cli_support.h"

namespace vantoro::cli {

enum class ConvertTarget : std::uint8_t { Png, Bmp, Pak };

// What each archive becomes, and how the run goes.
struct ConvertSettings {
    ConvertTarget target = ConvertTarget::Png;
    unsigned jobs = 0;  // 0: one per core
    bool alpha = false;
    bool recursive = false;
};

std::span<const OptionEntry> convertOptions();

// Exit 2 for a bad --to or --jobs, and for --alpha with --to pak.
ConvertSettings convertSettingsOf(const Invocation& call);

}  // namespace vantoro::cli
