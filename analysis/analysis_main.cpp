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
        const auto takeValue = [&]() -> bool {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= argc) {
                c.error = a + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--no-loudness") {
            c.options.loudness = false;
        } else if (a == "--preset") {
            if (!takeValue()) {
                return c;
            }
            c.options.preset = analysisPresetRow(value);
            if (c.options.preset < 0) {
                c.error = "unknown preset: " + value;
                return c;
            }
        } else if (a == "--fps") {
            if (!takeValue()) {
                return c;
            }
            if (!parseInt(value, 1, 1000, c.options.fps)) {
                c.error = "--fps needs a whole number of frames per second from 1 to 1000";
                return c;
            }
        } else if (a == "--jobs") {
            if (!takeValue()) {
                return c;
            }
            if (!parseInt(value, 1, 256, c.jobs)) {
                c.error = "--jobs needs a number from 1 to 256";
                return c;
            }
        } else if (a == "--frames") {
            if (!takeValue()) {
                return c;
            }
            c.framesPath = value;
            if (value.empty()) {
                c.error = "--frames needs a file name or -";
                return c;
            }
        } else if (a == "--input" || a == "--seconds" || a == "--rate" || a == "--channels") {
            if (!takeValue() || !parseLiveOption(a, value, c)) {
                return c;
            }
        } else if (a == "--format") {
            if (!takeValue()) {
                return c;
            }
            if (value == "text") {
                c.format = ReportFormat::Text;
            } else if (value == "json") {
                c.format = ReportFormat::Json;
            } else if (value == "csv") {
                c.format = ReportFormat::Csv;
            } else {
                c.error = "--format must be text, json or csv";
                return c;
            }
        } else {
            c.error = "unknown option: " + a;
            return c;
        }
    }
    if (!c.help && c.live && !c.files.empty()) {
        c.error = "--input measures one input; no file can be given with it";
    } else if (!c.help && !c.live && c.files.empty()) {
        c.error = "--analyze needs at least one file or --input NAME";
    }
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
    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<size_t> next{0};
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
    const bool framesToStdout = cmd.framesPath == "-";
    if (framesToStdout) {
        framesOut = stdout;
    } else if (!cmd.framesPath.empty()) {
        framesOut = std::fopen(cmd.framesPath.c_str(), "w");
        if (!framesOut) {
            fileLine(cmd.framesPath, std::strerror(errno));
            return 2;
        }
    }

    const size_t count = cmd.files.size();
    std::vector<std::unique_ptr<Job>> jobs;
    for (size_t i = 0; i < count; ++i) {
        jobs.push_back(std::make_unique<Job>());
    }
    for (size_t i = 0; i < count; ++i) {
        struct stat st {};
        if (stat(cmd.files[i].c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            jobs[i]->bytesTotal = static_cast<uint64_t>(st.st_size);
        }
    }
    Run run;
    const auto work = [&] {
        for (size_t i = run.next.fetch_add(1); i < count; i = run.next.fetch_add(1)) {
            Job& job = *jobs[i];
            const std::string& path = cmd.files[i];
            AnalysisFrameSink sink;
            if (framesOut) {
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
    };
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t workers = std::min<size_t>(count, cmd.jobs > 0 ? cmd.jobs : cores);
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers; ++w) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    if (threads.empty()) {
        work(); // no thread could be started: analyse here, one file after the other
    }

    ProgressLine progress(isatty(STDERR_FILENO) == 1);
    if (framesOut) {
        std::fputs(frameCsvHeader().c_str(), framesOut);
    }
    if (cmd.format == ReportFormat::Csv && !framesToStdout) {
        std::fputs(reportCsvHeader().c_str(), stdout);
    }
    ReportContext ctx;
    ctx.preset = options.preset;
    int failed = 0;
    int printed = 0;
    for (size_t i = 0; i < count; ++i) {
        Job& job = *jobs[i];
        {
            std::unique_lock lock(run.mutex);
            while (!job.done) {
                run.cv.wait_for(lock, std::chrono::milliseconds(100));
                size_t filesDone = 0;
                uint64_t bytes = 0, total = 0;
                for (const auto& j : jobs) {
                    filesDone += j->done ? 1 : 0;
                    bytes += j->done ? j->bytesTotal : j->bytesDone.load();
                    total += j->bytesTotal;
                }
                lock.unlock();
                progress.draw(filesDone, count, bytes, total);
                lock.lock();
            }
        }
        progress.clear();
        const FileAnalysis& r = job.result;
        if (!r.error.empty()) {
            fileLine(r.path, r.error);
            ++failed;
        } else if (!r.warning.empty()) {
            fileLine(r.path, r.warning);
            ++failed;
        }
        if (r.nonFiniteSamples > 0) {
            fileLine(r.path, std::to_string(r.nonFiniteSamples) +
                                 (r.nonFiniteSamples == 1 ? " sample was" : " samples were") +
                                 " NaN or infinite, measured as silence");
        }
        if (r.error.empty() && !framesToStdout) {
            if (cmd.format == ReportFormat::Text && printed > 0) {
                std::fputs("\n", stdout);
            }
            ++printed;
            std::fputs(reportSummary(cmd.format, r, ctx).c_str(), stdout);
        }
        if (job.timeline) {
            if (r.error.empty()) {
                copyOut(job.timeline, framesOut);
            }
            std::fclose(job.timeline);
        }
        std::fflush(stdout);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    if (framesOut && framesOut != stdout && std::fclose(framesOut) != 0) {
        fileLine(cmd.framesPath, std::strerror(errno));
        ++failed;
    }
    return failed > 0 ? 3 : 0;
}
