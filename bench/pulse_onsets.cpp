// kc-pulse-onsets, for bench/pulse_latency.sh: reads raw s16le stereo at
// 44100 Hz on stdin (a sound server's monitor, as parec records it) and prints
// "sound TIME" for every sound that starts after at least 0.2 s of silence
// (TIME: the wall clock time of its first frame, microseconds) and "silence"
// once such a gap is complete, one line each.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr size_t kFrameBytes = 4;

int64_t nowUs() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return int64_t{tv.tv_sec} * 1000000 + tv.tv_usec;
}

} // namespace

int main() {
    constexpr int64_t kGapFrames = 44100 / 5;
    char buf[4096];
    size_t carry = 0; // bytes of a frame split across two reads
    int64_t silentRun = kGapFrames;
    for (;;) {
        const ssize_t n = read(0, buf + carry, sizeof buf - carry);
        if (n <= 0)
            return 0;
        const int64_t readUs = nowUs();
        const size_t bytes = carry + static_cast<size_t>(n);
        const size_t whole = bytes - bytes % kFrameBytes;
        for (size_t i = 0; i < whole; i += kFrameBytes) {
            if (std::memcmp(buf + i, "\0\0\0\0", kFrameBytes) == 0) {
                if (++silentRun == kGapFrames) {
                    std::printf("silence\n");
                    std::fflush(stdout);
                }
                continue;
            }
            if (silentRun >= kGapFrames) {
                // The frames after this one in the read arrived with it:
                // the sound began that much earlier.
                const int64_t after = static_cast<int64_t>((whole - i) / kFrameBytes) - 1;
                std::printf("sound %lld\n",
                            static_cast<long long>(readUs - after * 1000000 / 44100));
                std::fflush(stdout);
            }
            silentRun = 0;
        }
        carry = bytes - whole;
        std::memmove(buf, buf + whole, carry);
    }
}
