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
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/convert_settings.h"
#include "cli/convert_sources.h"
#include "cli/interrupt_stop.h"
#include "cli/progress_line.h"
#include "cli/task_threads.h"
#include "edit/archive_import.h"
#include "edit/export_entries.h"
#include "edit/new_pack.h"
#include "io/file_stream.h"
#include "io/output_folder.h"

namespace vantoro::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The entries one task exports: small enough that the threads share out a
// single large archive, large enough that opening a reader per task costs
// little. Fixed, so the tasks, and what a failing one leaves, do not depend
// on the number of threads.
constexpr std::int32_t kEntriesPerTask = 64;

// Answers every question silently, with its default or with OK, and keeps
// the last text: a run that was refused fails with it.
class QuietPrompts final : public PromptSeam {
public:
    explicit QuietPrompts(bool answerOk = false) : m_answerOk(answerOk) {}
    PromptAnswer ask(const Prompt& prompt) override {
        m_lastText = prompt.text;
        if (!m_answerOk) return prompt.defaultAnswer;
        return prompt.buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    }
    std::optional<std::string> input(const InputPrompt&) override { return std::nullopt; }
    const std::string& lastText() const { return m_lastText; }

private:
    bool m_answerOk;
    std::string m_lastText;
};

// One archive of the run. Several threads may work on it at once: what
// they change is atomic or under `lock`.
struct ArchiveJob {
    ConvertSource source;
    std::string output;         // OUT/NAME, or OUT/NAME.pak
    std::int32_t entries = -1;  // once opened
    std::atomic<std::int32_t> written{0};
    std::atomic<std::int32_t> tasksLeft{0};
    std::atomic<bool> warned{false};
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
            if (settings.target == ConvertTarget::Pak) m_archives[i].output += ".pak";
        }
        m_threads.threads = settings.jobs != 0 ? settings.jobs : hardwareThreads();
        m_threads.stop = [this] { return m_interrupt.interrupted(); };
        FileStream::ReadWaits waits = m_readWaitsBefore;
        waits.notice = [this] {
            const std::lock_guard<std::mutex> guard(m_errLock);
            m_progress.message("vantoro-cli: waiting for another program's edit of a pack");
        };
        FileStream::setReadWaits(std::move(waits));
    }
    ~ConvertRun() { FileStream::setReadWaits(m_readWaitsBefore); }
    ConvertRun(const ConvertRun&) = delete;
    ConvertRun& operator=(const ConvertRun&) = delete;

    // Exit 2 when an archive's output would be one of the sources (a pack
    // NAME.pak beside NAME, converted into its own folder): it would be
    // replaced while it is read.
    void refuseReplacingASource() const {
        std::set<std::string> sources;
        for (const ArchiveJob& job : m_archives) sources.insert(fileIdentity(job.source.path));
        for (const ArchiveJob& job : m_archives) {
            if (sources.contains(fileIdentity(job.output))) {
                throw CliExit{kExitUsage, job.source.path + " would be written over the source " +
                                              job.output + "; convert into another folder"};
            }
        }
    }

    void run() {
        openAll();
        if (m_settings.target == ConvertTarget::Pak) {
            packAll();
        } else {
            exportAll();
        }
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
            << " failed: " << m_entriesDone << " entries, " << m_files << " files";
        if (m_unstorable != 0)
            out << " (" << m_unstorable << " entries could not be stored and were left empty)";
        out << " in " << time << '\n' << std::flush;
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

    // Each thread opens the archives it works on: what opening warns of (a
    // pack's journal) is told once per archive, between progress lines.
    std::unique_ptr<TWMBaseImages> openSource(ArchiveJob& job) {
        Invocation one = m_call;
        one.operands = {job.source.path};
        one.kind = job.source.kind;
        std::ostringstream warnings;
        one.err = &warnings;
        std::unique_ptr<TWMBaseImages> archive = openArchive(one);
        std::string told = warnings.str();
        if (!told.empty() && !job.warned.exchange(true)) {
            if (told.back() == '\n') told.pop_back();
            const std::lock_guard<std::mutex> guard(m_errLock);
            m_progress.message(told);
        }
        failIfLocked(*archive);
        if (const auto reason = emptyOpenReason(*archive)) failure(*reason);
        return archive;
    }

    // Every archive opened once, on the threads, for its number of entries,
    // and its folder made.
    void openAll() {
        m_threads.onBeat = [this] {
            const std::lock_guard<std::mutex> guard(m_errLock);
            m_progress.show("convert: opening " + std::to_string(m_opened) + '/' +
                            std::to_string(m_archives.size()) + " archives");
        };
        runTasks(m_threads, m_archives.size(), [this](std::size_t index, unsigned) {
            ArchiveJob& job = m_archives[index];
            guardedTask(job, -1, [&] {
                const std::int32_t entries = openSource(job)->FImageCount;
                const bool pack = m_settings.target == ConvertTarget::Pak;
                const std::filesystem::path folderPath(job.output);
                const Result<OutputFolder> folder =
                    OutputFolder::create(pack ? folderPath.parent_path() : folderPath);
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

    // Each archive into a new pack of its own, on the threads: a pack is
    // written entry after entry, so one archive is never shared out.
    void packAll() {
        for (ArchiveJob& job : m_archives) m_entriesTotal += std::max(job.entries, 0);
        m_exportStart = Clock::now();
        m_threads.onBeat = [this] { showExportProgress(); };
        runTasks(m_threads, m_archives.size(), [this](std::size_t index, unsigned) {
            ArchiveJob& job = m_archives[index];
            if (job.entries >= 0) guardedTask(job, 0, [&] { packArchive(job); });
            ++m_archivesDone;
        });
    }

    // As `new OUT/NAME.pak` and then `import OUT/NAME.pak --from ARCHIVE`
    // make it; a pack of that name is replaced.
    void packArchive(ArchiveJob& job) {
        std::unique_ptr<TWMBaseImages> source = openSource(job);
        QuietPrompts replace(true);
        const NewPackResult made = createNewPack(job.output, replace);
        if (made.result.outcome != EditOutcome::Done) {
            failure(made.path + ": " +
                    (made.result.error.empty() ? replace.lastText() : made.result.error));
        }
        ++m_files;
        if (source->FImageCount == 0) return;
        Invocation packCall = m_call;
        packCall.operands = {made.path};
        packCall.kind = TWMImagesKind::MyImage;
        packCall.password.clear();
        packCall.err = nullptr;
        std::unique_ptr<TWMBaseImages> pack = openArchive(packCall);
        std::int32_t written = 0;
        const auto countAndAsk = [&] {
            ++written;
            ++m_entriesDone;
            return m_interrupt.interrupted();
        };
        TWMBaseImages* const sources[] = {source.get()};
        QuietPrompts quiet;
        const ArchiveImportResult result = importArchiveEntries(
            *pack, ImportRequest{}, ArchivePixels::AsDrawn, sources, quiet, {}, countAndAsk);
        if (result.edit.outcome == EditOutcome::Done) {
            ++written;
            ++m_entriesDone;
        }
        job.written += written;
        m_unstorable += result.unstorable;
        if (result.edit.outcome == EditOutcome::Failed) failure(result.edit.error);
        if (result.edit.outcome != EditOutcome::Done && !m_interrupt.interrupted()) {
            failure(made.path + ": " + quiet.lastText());
        }
    }

    void exportRange(const Task& task, ThreadReader& held) {
        ArchiveJob& job = m_archives[task.archive];
        if (held.archive != task.archive) {
            held.reader.reset();
            held.archive = std::numeric_limits<std::size_t>::max();
            held.reader = openSource(job);
            held.archive = task.archive;
        }
        TWMBaseImages& archive = *held.reader;
        ExportRequest request;
        request.first = task.first;
        request.last = task.last;
        request.folder = job.output;
        request.alpha = m_settings.alpha;
        request.png = m_settings.target == ConvertTarget::Png;
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
        const std::lock_guard<std::mutex> guard(m_errLock);
        m_progress.show(text);
    }

    const Invocation& m_call;
    const ConvertSettings& m_settings;
    std::vector<ArchiveJob> m_archives;
    ProgressLine& m_progress;
    const InterruptStop& m_interrupt;
    // Held for every write to the error stream while the threads run: the
    // progress line, opening's warnings and the notice of a wait for a
    // pack's edit.
    std::mutex m_errLock;
    FileStream::ReadWaits m_readWaitsBefore = FileStream::readWaits();
    TaskThreads m_threads;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_exportStart = m_start;
    std::atomic<std::size_t> m_opened{0};
    std::atomic<std::size_t> m_archivesDone{0};
    std::atomic<std::int64_t> m_entriesDone{0};
    std::atomic<std::int64_t> m_files{0};
    std::atomic<std::int64_t> m_unstorable{0};
    std::int64_t m_entriesTotal = 0;
};

}  // namespace

int runConvert(const Invocation& call, std::ostream& out, std::ostream& err) {
    const InterruptStop interrupt;
    const ConvertSettings settings = convertSettingsOf(call);
    const std::vector<std::string> operands(call.operands.begin(), call.operands.end() - 1);
    const std::string& folder = call.operands.back();
    const std::vector<ConvertSource> sources =
        collectConvertSources(operands, settings.recursive, call.kind);
    ProgressLine progress(err, call.progressOnError);
    ConvertRun run(call, settings, sources, folder, progress, interrupt);
    run.refuseReplacingASource();
    const Result<OutputFolder> target = OutputFolder::create(folder);
    if (!target) failure(target.error());
    run.run();
    return run.finish(out);
}

}  // namespace vantoro::cli
