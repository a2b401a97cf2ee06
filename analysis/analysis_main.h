// `korvalo-cor --analyze [OPTIONS] FILE...`: the command-line front of the
// offline analysis. Runs without a display or a sound card.
//
// Exit status: 0 every file analysed, 3 when any file failed (each failure
// has one line on standard error), 2 for a usage error.
#pragma once

// `argv[1]` is "--analyze"; the options and files follow it.
int analysisMain(int argc, char** argv);

// The option summary for --help (ends with a newline).
const char* analysisUsageText();
