// Writes the bundled demo WAV; the build runs it, see tools/CMakeLists.txt.
//   kc-make-demo-wav OUTPUT.wav
#include "tools/demo_signal.h"
#include "tools/wav_writer.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
        return 2;
    }
    if (!writeWavFile(argv[1], makeDemoSignal(), DemoTimeline::sampleRate, 2)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
