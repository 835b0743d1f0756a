#include "cli/export_command.h"

#include <array>
#include <memory>

#include "cli/cli_support.h"
#include "cli/console_prompts.h"
#include "cli/interrupt_stop.h"
#include "edit/export_entries.h"
#include "io/file_names.h"

namespace vantoro::cli {
namespace {

struct ExportOption {
    OptionEntry entry;
    void (*apply)(ExportRequest& request);
};

// One row per option, in the order the help lists them.
constexpr ExportOption kExportTable[] = {
    {{"--no-offsets", "", "no Placements/NNNNNN.txt offsets files (\"导出坐标\" off)"},
     [](ExportRequest& request) { request.offsets = false; }},
    {{"--no-format", "", "no pixel-format line in the offsets files of a pack"},
     [](ExportRequest& request) { request.format = false; }},
    {{"--alpha", "",
      "images as drawn into a texture, their alpha kept\n"
      "(\"导出Alpha\")"},
     [](ExportRequest& request) { request.alpha = true; }},
    {{"--png", "", "RGBA PNG files (NNNNNN.png) instead of BMP"},
     [](ExportRequest& request) { request.png = true; }},
};

constexpr auto kExportOptions = [] {
    std::array<OptionEntry, std::size(kExportTable)> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = kExportTable[i].entry;
    return entries;
}();

// LAST as the LAST operand: the archive's last entry, whatever their number.
bool lastMeansEnd(const Invocation& call) {
    return equalsIgnoringCase(call.operands[2], "last");
}

// The command line has only options of the table (the parser checked them).
ExportRequest requestOf(const Invocation& call) {
    ExportRequest request;
    for (const OptionValue& option : call.options) {
        for (const ExportOption& row : kExportTable) {
            if (row.entry.name == option.name) row.apply(request);
        }
    }
    request.first = parseRangeBound(call, 1);
    if (!lastMeansEnd(call)) request.last = parseRangeBound(call, 2);
    request.folder = call.operands[3];
    return request;
}

}  // namespace

std::span<const OptionEntry> exportOptions() {
    return kExportOptions;
}

int runExport(const Invocation& call, std::ostream&, std::ostream& err) {
    const InterruptStop interrupt;
    ExportRequest request = requestOf(call);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    failIfLocked(*archive);
    // Of an archive without entries LAST is -1, which the range check refuses.
    if (lastMeansEnd(call)) request.last = archive->FImageCount - 1;
    // The range message that follows would not say why there is no entry.
    if (const auto reason = emptyOpenReason(*archive)) err << "vantoro-cli: " << *reason << '\n';
    ConsolePrompts prompts(err, "export", call.progressOnError);
    const EditResult result =
        exportEntries(*archive, request, prompts, prompts.progress(), interrupt.check());
    return interrupt.exitCode(result, archive->FFileName + ": not open");
}

}  // namespace vantoro::cli
