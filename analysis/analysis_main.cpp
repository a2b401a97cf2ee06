// The files are shared out to worker threads, one file each at a time; the
// main thread prints every result in the order the files were given as soon
// as it and all before it are done, and between results redraws the progress
// line on a terminal. A file's timeline rows go to a temporary file while it
// runs and are copied out in order, so neither audio nor timelines pile up
// in memory.
#include "analysis/analysis_main.h"

#include "analysis/analysis.h"
#include "analysis/analysis_input.h"
#include "analysis/analysis_report.h"
#include "audio/input_format.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct CommandLine {
    AnalysisOptions options;
    ReportFormat format = ReportFormat::Text;
    std::string framesPath; // empty: no timeline; "-": standard output
    int jobs = 0;           // 0: one per core
    std::vector<std::string> files;
    bool live = false; // --input: a live input instead of files
    InputAnalysisRequest input;
    bool help = false;
    std::string error;
};

bool parseInt(const std::string& s, int lo, int hi, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// --input NAME, --seconds N, --rate N, --channels A,B. False with c.error set.
bool parseLiveOption(const std::string& a, const std::string& value, CommandLine& c) {
    int n = 0;
    if (a == "--input") {
        c.live = !value.empty();
        c.input.name = value;
        if (!c.live) {
            c.error = "--input needs an input name";
        }
    } else if (a == "--seconds") {
        char* end = nullptr;
        c.input.seconds = std::strtod(value.c_str(), &end);
        if (value.empty() || *end || !(c.input.seconds > 0.0 && c.input.seconds <= 1e6)) {
            c.error = "--seconds needs a positive number of seconds";
        }
    } else if (a == "--rate") {
        if (!parseInt(value, 11000, 768000, n)) {
            c.error = "--rate needs a sample rate from 11000 to 768000 Hz";
        }
        c.input.rate = n;
    } else if (!inputParsePair(value, c.input.pairA, c.input.pairB)) {
        c.error = "--channels needs two channel numbers, such as 3,4";
    }
    return c.error.empty();
}

// --preset, --fps, --jobs, --frames, --format and the live input's options,
// with their value. False with c.error set.
bool parseValueOption(const std::string& a, const std::string& value, CommandLine& c) {
    if (a == "--preset") {
        c.options.preset = analysisPresetRow(value);
        if (c.options.preset < 0) {
            c.error = "unknown preset: " + value;
        }
    } else if (a == "--fps") {
        if (!parseInt(value, 1, 1000, c.options.fps)) {
            c.error = "--fps needs a whole number of frames per second from 1 to 1000";
        }
    } else if (a == "--jobs") {
        if (!parseInt(value, 1, 256, c.jobs)) {
            c.error = "--jobs needs a number from 1 to 256";
        }
    } else if (a == "--frames") {
        c.framesPath = value;
        if (value.empty()) {
            c.error = "--frames needs a file name or -";
        }
    } else if (a == "--format") {
        if (value == "text") {
            c.format = ReportFormat::Text;
        } else if (value == "json") {
            c.format = ReportFormat::Json;
        } else if (value == "csv") {
            c.format = ReportFormat::Csv;
        } else {
            c.error = "--format must be text, json or csv";
        }
    } else {
        return parseLiveOption(a, value, c);
    }
    return c.error.empty();
}

bool takesValue(const std::string& a) {
    for (const char* name : {"--preset", "--fps", "--jobs", "--frames", "--format", "--input",
                             "--seconds", "--rate", "--channels"}) {
        if (a == name) {
            return true;
        }
    }
    return false;
}

// Files and live input together, or neither: a usage error.
void checkWhatIsMeasured(CommandLine& c) {
    if (!c.help && c.live && !c.files.empty()) {
        c.error = "--input measures one input; no file can be given with it";
    } else if (!c.help && !c.live && c.files.empty()) {
        c.error = "--analyze needs at least one file or --input NAME";
    }
}

CommandLine parse(int argc, char** argv) {
    CommandLine c;
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            c.files.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            hasValue = true;
        }
        if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--no-loudness") {
            c.options.loudness = false;
        } else if (!takesValue(a)) {
            c.error = "unknown option: " + a;
            return c;
        } else if (!hasValue && i + 1 >= argc) {
            c.error = a + " needs a value";
            return c;
        } else if (!parseValueOption(a, hasValue ? value : argv[++i], c)) {
            return c;
        }
    }
    checkWhatIsMeasured(c);
    return c;
}

// One file's place in the run.
struct Job {
    FileAnalysis result;
    FILE* timeline = nullptr; // temporary file of timeline rows, or null
    std::atomic<uint64_t> bytesDone{0};
    uint64_t bytesTotal = 0;
    bool done = false; // guarded by Run::mutex
};

struct Run {
    std::vector<std::unique_ptr<Job>> jobs; // one per file, in the order given
    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<size_t> next{0}; // the next file a worker takes
    std::vector<std::thread> threads;
};

void copyOut(FILE* from, FILE* to) {
    std::rewind(from);
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, from)) > 0) {
        std::fwrite(buf, 1, n, to);
    }
}

// One line on standard error about a file, its name escaped so that any
// control character in it stays on the line.
void fileLine(const std::string& path, const std::string& text) {
    std::fprintf(stderr, "korvalo-cor: %s: %s\n", reportEscape(path).c_str(), text.c_str());
}

class ProgressLine {
public:
    explicit ProgressLine(bool on) : m_on(on) {}
    void draw(size_t filesDone, size_t files, uint64_t bytesDone, uint64_t bytesTotal) {
        if (!m_on) {
            return;
        }
        constexpr int kWidth = 30;
        const double f = bytesTotal ? static_cast<double>(bytesDone) / bytesTotal : 1.0;
        const int filled = static_cast<int>(std::clamp(f, 0.0, 1.0) * kWidth);
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu files, %.1f/%.1f MB\033[K", filled,
                     "##############################", kWidth - filled, "", filesDone, files,
                     bytesDone / 1e6, bytesTotal / 1e6);
        std::fflush(stderr);
        m_shown = true;
    }
    void clear() {
        if (m_shown) {
            std::fputs("\r\033[K", stderr);
            m_shown = false;
        }
    }

private:
    bool m_on;
    bool m_shown = false;
};

// The timeline's destination: null for none, standard output for "-". False
// (with its line on standard error) when the file cannot be made.
bool openTimeline(const std::string& path, FILE*& out) {
    out = nullptr;
    if (path == "-") {
        out = stdout;
    } else if (!path.empty()) {
        out = std::fopen(path.c_str(), "w");
        if (!out) {
            fileLine(path, std::strerror(errno));
            return false;
        }
    }
    return true;
}

void makeJobs(Run& run, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        auto job = std::make_unique<Job>();
        struct stat st {};
        if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            job->bytesTotal = static_cast<uint64_t>(st.st_size);
        }
        run.jobs.push_back(std::move(job));
    }
}

// A worker: takes the next file until none is left.
void analyseJobs(Run& run, const std::vector<std::string>& files, const AnalysisOptions& options,
                 bool timelines) {
    for (size_t i = run.next.fetch_add(1); i < files.size(); i = run.next.fetch_add(1)) {
        Job& job = *run.jobs[i];
        const std::string& path = files[i];
        AnalysisFrameSink sink;
        if (timelines) {
            job.timeline = std::tmpfile();
            if (job.timeline) {
                sink = [&job, &path](const AnalysisFrame& f, double t) {
                    std::fputs(frameCsvRow(path, f, t).c_str(), job.timeline);
                };
            }
        }
        job.result = analyzeFile(path, options, sink,
                                 [&job](uint64_t bytes) { job.bytesDone.store(bytes); });
        {
            std::lock_guard lock(run.mutex);
            job.done = true;
        }
        run.cv.notify_all();
    }
}

void startWorkers(Run& run, size_t workers, const std::function<void()>& work) {
    for (size_t w = 0; w < workers; ++w) {
        try {
            run.threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    if (run.threads.empty()) {
        work(); // no thread could be started: analyse here, one file after the other
    }
}

// Waits for `job`, redrawing the progress line for all files meanwhile.
void waitFor(Run& run, const Job& job, ProgressLine& progress) {
    std::unique_lock lock(run.mutex);
    while (!job.done) {
        run.cv.wait_for(lock, std::chrono::milliseconds(100));
        size_t filesDone = 0;
        uint64_t bytes = 0, total = 0;
        for (const auto& j : run.jobs) {
            filesDone += j->done ? 1 : 0;
            bytes += j->done ? j->bytesTotal : j->bytesDone.load();
            total += j->bytesTotal;
        }
        lock.unlock();
        progress.draw(filesDone, run.jobs.size(), bytes, total);
        lock.lock();
    }
}

// Prints the results in the order of the files: the failures and warnings
// on standard error, the summaries on standard output, the timelines to
// theirs.
class ResultPrinter {
public:
    ResultPrinter(ReportFormat format, FILE* framesOut, int preset)
        : m_format(format), m_framesOut(framesOut) {
        m_ctx.preset = preset;
    }
    void printHeaders() {
        if (m_framesOut) {
            std::fputs(frameCsvHeader().c_str(), m_framesOut);
        }
        if (m_format == ReportFormat::Csv && !framesToStdout()) {
            std::fputs(reportCsvHeader().c_str(), stdout);
        }
    }
    void print(Job& job) {
        const FileAnalysis& r = job.result;
        reportProblems(r);
        if (r.error.empty() && !framesToStdout()) {
            if (m_format == ReportFormat::Text && m_printed > 0) {
                std::fputs("\n", stdout);
            }
            ++m_printed;
            std::fputs(reportSummary(m_format, r, m_ctx).c_str(), stdout);
        }
        if (job.timeline) {
            if (r.error.empty()) {
                copyOut(job.timeline, m_framesOut);
            }
            std::fclose(job.timeline);
        }
        std::fflush(stdout);
    }
    int failed() const { return m_failed; }

private:
    bool framesToStdout() const { return m_framesOut == stdout; }
    void reportProblems(const FileAnalysis& r) {
        if (!r.error.empty()) {
            fileLine(r.path, r.error);
            ++m_failed;
        } else if (!r.warning.empty()) {
            fileLine(r.path, r.warning);
            ++m_failed;
        }
        if (r.nonFiniteSamples > 0) {
            fileLine(r.path, std::to_string(r.nonFiniteSamples) +
                                 (r.nonFiniteSamples == 1 ? " sample was" : " samples were") +
                                 " NaN or infinite, measured as silence");
        }
    }

    ReportFormat m_format;
    FILE* m_framesOut; // null: no timeline
    ReportContext m_ctx;
    int m_printed = 0;
    int m_failed = 0;
};

} // namespace

const char* analysisUsageText() {
    return "  --analyze [OPTIONS] FILE...\n"
           "                 measure files without playing them (no display or sound card\n"
           "                 needed): levels, the meter's maxima and range, loudness.\n"
           "                 Options: --preset default|digital-vu|analog-vu, --fps N,\n"
           "                 --format text|json|csv, --frames FILE.csv|-, --no-loudness,\n"
           "                 --jobs N. Exit status 3 when a file could not be analysed.\n"
           "  --analyze --input NAME [--seconds N] [OPTIONS]\n"
           "                 measure a live input (an ALSA PCM name, or \"monitor\": what\n"
           "                 the desktop plays) for N seconds, or until Ctrl+C; also\n"
           "                 --rate N, --channels A,B (the pair metered).\n";
}

int analysisMain(int argc, char** argv) {
    const CommandLine cmd = parse(argc, argv);
    if (!cmd.error.empty()) {
        std::fprintf(
            stderr,
            "korvalo-cor: %s\nUsage: korvalo-cor --analyze [OPTIONS] FILE...|--input NAME\n%s",
            cmd.error.c_str(), analysisUsageText());
        return 2;
    }
    if (cmd.help) {
        std::printf("Usage: korvalo-cor --analyze [OPTIONS] FILE...\n%s", analysisUsageText());
        return 0;
    }
    AnalysisOptions options = cmd.options;
    options.latencySeconds = analysisStoredLatency();
    analysisInstallHooks(analysisStoredSettings(), options);
    if (cmd.live) {
        return analysisRunInput(cmd.input, options, cmd.format, cmd.framesPath);
    }

    FILE* framesOut = nullptr;
    if (!openTimeline(cmd.framesPath, framesOut)) {
        return 2;
    }
    Run run;
    makeJobs(run, cmd.files);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    startWorkers(run, std::min<size_t>(cmd.files.size(), cmd.jobs > 0 ? cmd.jobs : cores),
                 [&] { analyseJobs(run, cmd.files, options, framesOut != nullptr); });

    ProgressLine progress(isatty(STDERR_FILENO) == 1);
    ResultPrinter printer(cmd.format, framesOut, options.preset);
    printer.printHeaders();
    for (const auto& job : run.jobs) {
        waitFor(run, *job, progress);
        progress.clear();
        printer.print(*job);
    }
    for (std::thread& t : run.threads) {
        t.join();
    }
    int failed = printer.failed();
    if (framesOut && framesOut != stdout && std::fclose(framesOut) != 0) {
        fileLine(cmd.framesPath, std::strerror(errno));
        ++failed;
    }
    return failed > 0 ? 3 : 0;
}
