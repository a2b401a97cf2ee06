// The analysis's outputs: the summary as an aligned table, JSON (one object
// per line and file) or CSV, and the per-frame timeline as CSV. Decibel
// values of silence print as "-inf" (a JSON string); figures that do not
// apply (the right channel of a mono file, the level maximum in peak mode)
// are "-" in the table, null in JSON and empty in CSV.
#pragma once

#include "analysis/analysis.h"

#include <string>

enum class ReportFormat { Text, Json, Csv };

struct ReportContext {
    int preset = -1; // the preset row used, -1 for the stored settings
};

std::string reportSummary(ReportFormat format, const FileAnalysis& a, const ReportContext& ctx);
// The CSV header line, printed once before the first row.
std::string reportCsvHeader();

std::string frameCsvHeader();
// One timeline row: the file, the time at the frame's end, per channel the
// displayed level, the peak indicator and the maximum the mode holds (dB),
// and the correlation.
std::string frameCsvRow(const std::string& path, const AnalysisFrame& frame, double seconds);

// `s` escaped as in a JSON string, without the quotes: control characters
// as \u00XX, quotes and backslashes after a backslash.
std::string reportEscape(const std::string& s);

// "peak", "rms" or "average".
const char* analysisModeName(AnalysisMode mode);
