#include "analysis/analysis_report.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

enum class Style { Text, Json, Csv };

std::string number(double v, int decimals, Style style) {
    if (std::isnan(v)) {
        return style == Style::Json ? "null" : style == Style::Csv ? "" : "-";
    }
    if (std::isinf(v)) {
        const char* t = v < 0 ? "-inf" : "inf";
        return style == Style::Json ? std::string("\"") + t + "\"" : t;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    // "-0.00" reads as a sign where there is none.
    if (buf[0] == '-' && std::strtod(buf, nullptr) == 0.0) {
        return buf + 1;
    }
    return buf;
}

std::string jsonString(const std::string& s) {
    return "\"" + reportEscape(s) + "\"";
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\n\r") == std::string::npos) {
        return s;
    }
    std::string o = "\"";
    for (char c : s) {
        o += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return o + "\"";
}

// The per-channel figures: name and value of channel `ch`.
struct ChannelField {
    const char* key;   // JSON and CSV name
    const char* label; // table label
    int decimals;
    double (*get)(const AnalysisChannel&);
};

const std::vector<ChannelField>& channelFields() {
    static const std::vector<ChannelField> fields = {
        {"sample_peak_dbfs", "sample peak (dBFS)", 2,
         [](const AnalysisChannel& c) { return c.samplePeakDb; }},
        {"true_peak_dbtp", "true peak (dBTP)", 2,
         [](const AnalysisChannel& c) { return c.truePeakDb; }},
        {"rms_dbfs", "RMS (dBFS)", 2, [](const AnalysisChannel& c) { return c.rmsDb; }},
        {"clipped_samples", "clipped samples", 0,
         [](const AnalysisChannel& c) { return double(c.clipped); }},
        {"clip_runs", "clip runs", 0, [](const AnalysisChannel& c) { return double(c.clipRuns); }},
        {"meter_max_peak_db", "meter max peak (dB)", 2,
         [](const AnalysisChannel& c) { return c.meterMaxPeakDb; }},
        {"meter_max_level_db", "meter max level (dB)", 2,
         [](const AnalysisChannel& c) { return c.meterMaxLevelDb; }},
        {"range_high_db", "range bracket high (dB)", 2,
         [](const AnalysisChannel& c) { return c.rangeHighDb; }},
        {"range_low_db", "range bracket low (dB)", 2,
         [](const AnalysisChannel& c) { return c.rangeLowDb; }},
        {"range_db", "dynamic range (dB)", 2, [](const AnalysisChannel& c) { return c.rangeDb; }},
    };
    return fields;
}

struct FileField {
    const char* key;
    const char* label;
    int decimals;
    double (*get)(const FileAnalysis&);
};

const std::vector<FileField>& fileFields() {
    static const std::vector<FileField> fields = {
        {"correlation_mean", "correlation mean", 3,
         [](const FileAnalysis& a) { return a.correlationMean; }},
        {"correlation_min", "correlation minimum", 3,
         [](const FileAnalysis& a) { return a.correlationMin; }},
        {"integrated_lufs", "integrated loudness (LUFS)", 1,
         [](const FileAnalysis& a) { return a.hasLoudness ? a.integratedLufs : std::nan(""); }},
        {"loudness_range_lu", "loudness range (LU)", 1,
         [](const FileAnalysis& a) { return a.hasLoudness ? a.loudnessRangeLu : std::nan(""); }},
        {"momentary_max_lufs", "momentary max (LUFS)", 1,
         [](const FileAnalysis& a) { return a.hasLoudness ? a.momentaryMaxLufs : std::nan(""); }},
        {"short_term_max_lufs", "short-term max (LUFS)", 1,
         [](const FileAnalysis& a) { return a.hasLoudness ? a.shortTermMaxLufs : std::nan(""); }},
    };
    return fields;
}

const char* kChannelNames[2] = {"left", "right"};

std::string presetName(const ReportContext& ctx) {
    return ctx.preset >= 0 ? analysisPresetName(ctx.preset) : "stored";
}

std::string text(const FileAnalysis& a, const ReportContext& ctx) {
    const bool stereo = a.channels > 1;
    char line[512];
    std::string o = a.path + "\n";
    std::snprintf(line, sizeof line, "  %-27s %s, %s, %d Hz, %s, %.3f s\n", "format",
                  a.container.c_str(), a.sampleFormat.c_str(), a.sampleRate,
                  stereo ? "stereo" : "mono", a.durationSeconds);
    o += line;
    std::snprintf(line, sizeof line, "  %-27s %s, %s, %d frames/s, %llu frames\n", "meter",
                  presetName(ctx).c_str(), analysisModeName(a.mode), a.fps,
                  static_cast<unsigned long long>(a.meterFrames));
    o += line;
    std::snprintf(line, sizeof line, "  %-27s %10s%s\n", "", stereo ? "Left" : "Mono",
                  stereo ? "      Right" : "");
    o += line;
    for (const ChannelField& f : channelFields()) {
        std::snprintf(line, sizeof line, "  %-27s %10s", f.label,
                      number(f.get(a.channel[0]), f.decimals, Style::Text).c_str());
        o += line;
        if (stereo) {
            std::snprintf(line, sizeof line, " %10s",
                          number(f.get(a.channel[1]), f.decimals, Style::Text).c_str());
            o += line;
        }
        o += "\n";
    }
    for (const FileField& f : fileFields()) {
        std::snprintf(line, sizeof line, "  %-27s %10s\n", f.label,
                      number(f.get(a), f.decimals, Style::Text).c_str());
        o += line;
    }
    return o;
}

std::string json(const FileAnalysis& a, const ReportContext& ctx) {
    char line[256];
    std::string o = "{\"file\": " + jsonString(a.path) +
                    ", \"container\": " + jsonString(a.container) +
                    ", \"sample_format\": " + jsonString(a.sampleFormat);
    std::snprintf(line, sizeof line,
                  ", \"sample_rate_hz\": %d, \"channel_count\": %d, \"frames\": %llu"
                  ", \"duration_s\": %.6f",
                  a.sampleRate, a.channels, static_cast<unsigned long long>(a.frames),
                  a.durationSeconds);
    o += line;
    o += ", \"preset\": " + jsonString(presetName(ctx));
    o += ", \"mode\": " + jsonString(analysisModeName(a.mode));
    std::snprintf(line, sizeof line, ", \"frames_per_second\": %d, \"display_frames\": %llu", a.fps,
                  static_cast<unsigned long long>(a.meterFrames));
    o += line;
    o += ", \"channels\": {";
    for (int ch = 0; ch < a.channels && ch < 2; ++ch) {
        o += ch ? ", " : "";
        o += "\"" + std::string(a.channels > 1 ? kChannelNames[ch] : "mono") + "\": {";
        bool first = true;
        for (const ChannelField& f : channelFields()) {
            o += first ? "" : ", ";
            first = false;
            o += "\"" + std::string(f.key) +
                 "\": " + number(f.get(a.channel[ch]), f.decimals, Style::Json);
        }
        o += "}";
    }
    o += "}";
    for (const FileField& f : fileFields()) {
        o += ", \"" + std::string(f.key) + "\": " + number(f.get(a), f.decimals, Style::Json);
    }
    return o + "}\n";
}

std::string csv(const FileAnalysis& a, const ReportContext& ctx) {
    char line[256];
    std::string o = csvField(a.path) + "," + csvField(a.container) + "," + csvField(a.sampleFormat);
    std::snprintf(line, sizeof line, ",%d,%d,%llu,%.6f,", a.sampleRate, a.channels,
                  static_cast<unsigned long long>(a.frames), a.durationSeconds);
    o += line;
    o += presetName(ctx) + "," + analysisModeName(a.mode) + "," + std::to_string(a.fps) + "," +
         std::to_string(a.meterFrames);
    for (int ch = 0; ch < 2; ++ch) {
        for (const ChannelField& f : channelFields()) {
            o += "," + (ch < a.channels ? number(f.get(a.channel[ch]), f.decimals, Style::Csv)
                                        : std::string());
        }
    }
    for (const FileField& f : fileFields()) {
        o += "," + number(f.get(a), f.decimals, Style::Csv);
    }
    return o + "\n";
}

} // namespace

std::string reportEscape(const std::string& s) {
    std::string o;
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            o += buf;
        } else {
            o += static_cast<char>(c);
        }
    }
    return o;
}

const char* analysisModeName(AnalysisMode mode) {
    switch (mode) {
    case AnalysisMode::Peak:
        return "peak";
    case AnalysisMode::Rms:
        return "rms";
    case AnalysisMode::Average:
        return "average";
    }
    return "";
}

std::string reportSummary(ReportFormat format, const FileAnalysis& a, const ReportContext& ctx) {
    switch (format) {
    case ReportFormat::Json:
        return json(a, ctx);
    case ReportFormat::Csv:
        return csv(a, ctx);
    case ReportFormat::Text:
        break;
    }
    return text(a, ctx);
}

std::string reportCsvHeader() {
    std::string o = "file,container,sample_format,sample_rate_hz,channel_count,frames,duration_s,"
                    "preset,mode,frames_per_second,display_frames";
    for (const char* ch : kChannelNames) {
        for (const ChannelField& f : channelFields()) {
            o += std::string(",") + ch + "_" + f.key;
        }
    }
    for (const FileField& f : fileFields()) {
        o += std::string(",") + f.key;
    }
    return o + "\n";
}

std::string frameCsvHeader() {
    return "file,time_s,left_level_db,left_peak_db,left_max_db,right_level_db,right_peak_db,"
           "right_max_db,correlation\n";
}

std::string frameCsvRow(const std::string& path, const AnalysisFrame& f, double seconds) {
    const int channels = f.channels;
    char buf[64];
    std::snprintf(buf, sizeof buf, ",%.4f", seconds);
    std::string o = csvField(path) + buf;
    const auto db = [&](float v) {
        // Scale values: dB, or amplitudes on the linear scale; -200 is silence.
        const double d = f.scaleMode != 0       ? analysisAmplitudeDb(v)
                         : v <= kMeterSilenceDb ? -INFINITY
                                                : static_cast<double>(v);
        return number(d, 2, Style::Csv);
    };
    const auto maxDb = [&](float v) {
        return number(v <= kMeterSilenceDb ? -INFINITY : static_cast<double>(v), 2, Style::Csv);
    };
    for (int ch = 0; ch < 2; ++ch) {
        if (ch >= channels) {
            o += ",,,";
            continue;
        }
        const MeterReading& r = f.reading[ch];
        o += "," + db(r.bar) + "," + db(r.peak) + "," +
             maxDb((f.peakOn & 1) != 0 ? r.shownMaxPeak : r.shownMaxLevel);
    }
    if (channels > 1) {
        std::snprintf(buf, sizeof buf, ",%.4f\n", f.correlation);
        return o + buf;
    }
    return o + ",\n";
}
