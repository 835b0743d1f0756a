#include "cli/convert_command.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/convert_sources.h"
#include "cli/interrupt_stop.h"
#include "cli/progress_line.h"
#include "cli/task_threads.h"
#include "edit/export_entries.h"
#include "io/output_folder.h"

namespace vantoro::cli {
namespace {

using Clock = std::chrono::steady_clock;

enum class Target : std::uint8_t { Png, Bmp, Pak };

struct ConvertSettings {
    Target target = Target::Png;
    unsigned jobs = 0;  // 0: one per core
    bool alpha = false;
    bool recursive = false;
};

constexpr unsigned kMaxJobs = 1024;
// The entries one task exports: small enough that the threads share out a
// single large archive, large enough that opening a reader per task costs
// little. Fixed, so the tasks, and what a failing one leaves, do not depend
// on the number of threads.
constexpr std::int32_t kEntriesPerTask = 64;

constexpr OptionEntry kConvertOptions[] = {
    {"--to", "png|bmp|pak",
     "what each archive becomes: PNG or BMP files (png by\ndefault), or a pack"},
    {"--jobs", "N", "threads to convert on; one per core by default"},
    {"--alpha", "", "images as drawn into a texture, alpha kept, as\nexport --alpha (png and bmp)"},
    {"--recursive", "", "the archives of a SOURCE folder's whole tree"},
};

ConvertSettings settingsOf(const Invocation& call) {
    ConvertSettings settings;
    for (const OptionValue& option : call.options) {
        if (option.name == "--to") {
            if (option.value == "png") {
                settings.target = Target::Png;
            } else if (option.value == "bmp") {
                settings.target = Target::Bmp;
            } else if (option.value == "pak") {
                settings.target = Target::Pak;
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
    if (settings.alpha && settings.target == Target::Pak) {
        usageError("--alpha is for --to png and bmp", call.command);
    }
    return settings;
}

// Answers every question with its default, silently: the run's outcome
// says what the messages would.
class QuietPrompts final : public PromptSeam {
public:
    PromptAnswer ask(const Prompt& prompt) override { return prompt.defaultAnswer; }
    std::optional<std::string> input(const InputPrompt&) override { return std::nullopt; }
};

// One archive of the run. Several threads may work on it at once: what
// they change is atomic or under `lock`.
struct ArchiveJob {
    ConvertSource source;
    std::string output;         // OUT/NAME, or OUT/NAME.pak
    std::int32_t entries = -1;  // once opened
    std::atomic<std::int32_t> written{0};
    std::atomic<std::int32_t> tasksLeft{0};
    std::mutex lock;
    std::int32_t failedAt = std::numeric_limits<std::int32_t>::max();  // -1: opening
    std::string failure;

    // Keeps the failure of the lowest entry, so that the message does not
    // depend on which thread failed first.
    void fail(std::int32_t at, std::string message) {
        if (message.find(source.path) == std::string::npos) message = source.path + ": " + message;
        const std::lock_guard<std::mutex> guard(lock);
        if (at >= failedAt) return;
        failedAt = at;
        failure = std::move(message);
    }
    bool failed() {
        const std::lock_guard<std::mutex> guard(lock);
        return !failure.empty();
    }
};

// The reader a thread keeps between its tasks: readers are not shared
// between threads, and the next task is mostly of the same archive.
struct ThreadReader {
    std::size_t archive = std::numeric_limits<std::size_t>::max();
    std::unique_ptr<TWMBaseImages> reader;
};

class ConvertRun {
public:
    ConvertRun(const Invocation& call, const ConvertSettings& settings,
               const std::vector<ConvertSource>& sources, const std::string& out,
               ProgressLine& progress, const InterruptStop& interrupt)
        : m_call(call),
          m_settings(settings),
          m_archives(sources.size()),
          m_progress(progress),
          m_interrupt(interrupt) {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            m_archives[i].source = sources[i];
            m_archives[i].output = (std::filesystem::path(out) / sources[i].name).native();
        }
        m_threads.threads = settings.jobs != 0 ? settings.jobs : hardwareThreads();
        m_threads.stop = [this] { return m_interrupt.interrupted(); };
    }

    void run() {
        openAll();
        exportAll();
    }

    // Failures on the error stream in the order of the sources, then the
    // summary line; the exit status.
    int finish(std::ostream& out) {
        m_progress.clear();
        std::int64_t converted = 0;
        std::int64_t failed = 0;
        for (ArchiveJob& job : m_archives) {
            if (job.failed()) {
                ++failed;
                m_progress.message("vantoro-cli: " + job.failure);
            } else if (job.entries >= 0 && job.written == job.entries) {
                ++converted;
            }
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        char time[32];
        std::snprintf(time, sizeof time, "%.1f s", seconds);
        out << converted << " of " << m_archives.size() << " archives converted, " << failed
            << " failed: " << m_entriesDone << " entries, " << m_files << " files in " << time
            << '\n'
            << std::flush;
        if (m_interrupt.interrupted()) {
            m_progress.message("vantoro-cli: stopped after " + std::to_string(m_entriesDone) +
                               " of " + std::to_string(m_entriesTotal) +
                               " entries; what was written stays");
            return kExitInterrupted;
        }
        return failed == 0 ? kExitOk : kExitFailure;
    }

private:
    struct Task {
        std::size_t archive;
        std::int32_t first;
        std::int32_t last;
    };

    std::unique_ptr<TWMBaseImages> openSource(const ArchiveJob& job) const {
        Invocation one = m_call;
        one.operands = {job.source.path};
        one.kind = job.source.kind;
        std::unique_ptr<TWMBaseImages> archive = openArchive(one);
        failIfLocked(*archive);
        if (const auto reason = emptyOpenReason(*archive)) failure(*reason);
        return archive;
    }

    // Every archive opened once, on the threads, for its number of entries,
    // and its folder made.
    void openAll() {
        m_threads.onBeat = [this] {
            m_progress.show("convert: opening " + std::to_string(m_opened) + '/' +
                            std::to_string(m_archives.size()) + " archives");
        };
        runTasks(m_threads, m_archives.size(), [this](std::size_t index, unsigned) {
            ArchiveJob& job = m_archives[index];
            guardedTask(job, -1, [&] {
                const std::int32_t entries = openSource(job)->FImageCount;
                const Result<OutputFolder> folder = OutputFolder::create(job.output);
                if (!folder) failure(folder.error());
                job.entries = entries;
            });
            ++m_opened;
        });
    }

    void exportAll() {
        std::vector<Task> tasks;
        for (std::size_t a = 0; a < m_archives.size(); ++a) {
            ArchiveJob& job = m_archives[a];
            if (job.entries <= 0) {
                ++m_archivesDone;
                continue;
            }
            m_entriesTotal += job.entries;
            for (std::int32_t first = 0; first < job.entries; first += kEntriesPerTask) {
                const std::int32_t last = std::min(job.entries - 1, first + (kEntriesPerTask - 1));
                tasks.push_back({a, first, last});
                ++job.tasksLeft;
            }
        }
        m_exportStart = Clock::now();
        m_threads.onBeat = [this] { showExportProgress(); };
        std::vector<ThreadReader> readers(m_threads.threads);
        runTasks(m_threads, tasks.size(), [&](std::size_t index, unsigned worker) {
            const Task& task = tasks[index];
            ArchiveJob& job = m_archives[task.archive];
            guardedTask(job, task.first, [&] { exportRange(task, readers[worker]); });
            if (--job.tasksLeft == 0) ++m_archivesDone;
        });
    }

    void exportRange(const Task& task, ThreadReader& held) {
        ArchiveJob& job = m_archives[task.archive];
        if (held.archive != task.archive) {
            held.reader.reset();
            held.archive = task.archive;
            held.reader = openSource(job);
        }
        TWMBaseImages& archive = *held.reader;
        ExportRequest request;
        request.first = task.first;
        request.last = task.last;
        request.folder = job.output;
        request.alpha = m_settings.alpha;
        request.png = m_settings.target == Target::Png;
        // The stop check is asked after each entry but the last: each ask
        // counts one entry written.
        std::int32_t written = 0;
        const auto countAndAsk = [&] {
            ++written;
            ++m_entriesDone;
            return m_interrupt.interrupted();
        };
        QuietPrompts quiet;
        const EditResult result = exportEntries(archive, request, quiet, {}, countAndAsk);
        if (result.outcome == EditOutcome::Done) {
            ++written;
            ++m_entriesDone;
        }
        job.written += written;
        // A picture has its offsets file beside it.
        for (std::int32_t n = task.first; n < task.first + written; ++n) {
            m_files += archive.GetDataType(n) == kDataTypeImage ? 2 : 1;
        }
        if (result.outcome == EditOutcome::Failed) job.fail(task.first + written, result.error);
    }

    // Runs one task's work; whatever ends it early becomes the archive's
    // failure at `at`, never an exception leaving the thread.
    template <typename Work>
    static void guardedTask(ArchiveJob& job, std::int32_t at, Work work) {
        try {
            work();
        } catch (const CliExit& exit) {
            job.fail(at, exit.message);
        } catch (const std::exception& error) {
            job.fail(at, error.what());
        } catch (...) {
            job.fail(at, "unknown error");
        }
    }

    void showExportProgress() {
        const std::int64_t done = m_entriesDone;
        const double seconds = std::chrono::duration<double>(Clock::now() - m_exportStart).count();
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        std::string text = "convert: " + std::to_string(m_archivesDone) + '/' +
                           std::to_string(m_archives.size()) + " archives, " +
                           std::to_string(done) + '/' + std::to_string(m_entriesTotal) +
                           " entries, " + std::to_string(std::llround(rate)) + "/s, ";
        text += rate > 0 ? clockText(static_cast<double>(m_entriesTotal - done) / rate) + " left"
                         : "--:-- left";
        m_progress.show(text);
    }

    const Invocation& m_call;
    const ConvertSettings& m_settings;
    std::vector<ArchiveJob> m_archives;
    ProgressLine& m_progress;
    const InterruptStop& m_interrupt;
    TaskThreads m_threads;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_exportStart = m_start;
    std::atomic<std::size_t> m_opened{0};
    std::atomic<std::size_t> m_archivesDone{0};
    std::atomic<std::int64_t> m_entriesDone{0};
    std::atomic<std::int64_t> m_files{0};
    std::int64_t m_entriesTotal = 0;
};

}  // namespace

std::span<const OptionEntry> convertOptions() {
    return kConvertOptions;
}

int runConvert(const Invocation& call, std::ostream& out, std::ostream& err) {
    const InterruptStop interrupt;
    const ConvertSettings settings = settingsOf(call);
    const std::vector<std::string> operands(call.operands.begin(), call.operands.end() - 1);
    const std::string& folder = call.operands.back();
    const std::vector<ConvertSource> sources =
        collectConvertSources(operands, settings.recursive, call.kind);
    if (settings.target == Target::Pak) usageError("--to pak is not available yet", call.command);
    const Result<OutputFolder> target = OutputFolder::create(folder);
    if (!target) failure(target.error());
    ProgressLine progress(err, call.progressOnError);
    ConvertRun run(call, settings, sources, folder, progress, interrupt);
    run.run();
    return run.finish(out);
}

}  // namespace vantoro::cli
