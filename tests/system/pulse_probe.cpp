// Helper of the sound-server system test and latency bench: looks at the
// program's device list and at what a sound server's monitor recorded.
//   pulse_probe devices              the output device names the program lists
//   pulse_probe compare REC.raw FILE.wav
//       REC.raw (s16le stereo, from parec) must hold FILE.wav's samples frame
//       for frame from its first non-silent frame on (the pre-roll before it
//       is ignored); exit 0 when it does, 1 when it differs, 2 when it
//       differs by a gap of silence (an underrun), 3 when it holds only a
//       part of the file so far
//   pulse_probe onsets               reads raw s16le stereo on stdin and prints
//       "sound TIME" for every sound that starts after at least 0.2 s of
//       silence (TIME: the wall clock time of its first frame, microseconds)
//       and "silence" once such a gap is complete, one line each
#include "audio/wave_device.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kFrameBytes = 4;
constexpr size_t kGapBytes = 64 * kFrameBytes;

std::vector<char> readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | u[1] << 8 | u[2] << 16 | static_cast<uint32_t>(u[3]) << 24;
}

// The "data" chunk of a RIFF WAVE file; empty when there is none.
std::string wavData(const std::vector<char>& f) {
    size_t at = 12;
    while (f.size() >= 12 && at + 8 <= f.size()) {
        const uint32_t size = le32(&f[at + 4]);
        if (std::memcmp(&f[at], "data", 4) == 0)
            return std::string(&f[at + 8], std::min<size_t>(size, f.size() - at - 8));
        at += 8 + size + (size & 1);
    }
    return {};
}

size_t firstSound(const char* p, size_t bytes) {
    for (size_t i = 0; i + kFrameBytes <= bytes; i += kFrameBytes)
        if (std::memcmp(p + i, "\0\0\0\0", kFrameBytes) != 0)
            return i;
    return bytes;
}

int devices() {
    if (waveEnumerateDevices() != 1)
        return 1;
    for (int i = 1; i <= waveDeviceCount(kWaveOutput); ++i)
        std::printf("%s\n", waveDeviceAt(kWaveOutput, i)->pcmName);
    waveReleaseDeviceList();
    return 0;
}

int compare(const char* recPath, const char* wavPath) {
    const std::vector<char> rec = readAll(recPath);
    const std::string want = wavData(readAll(wavPath));
    if (want.empty() || want.size() % kFrameBytes) {
        std::printf("no usable data in %s\n", wavPath);
        return 1;
    }
    // Both start where the sound starts: the file's own leading silence
    // cannot be told apart from the pre-roll.
    const size_t recStart = firstSound(rec.data(), rec.size());
    const size_t wantStart = firstSound(want.data(), want.size());
    const size_t length = want.size() - wantStart;
    const size_t got = rec.size() - recStart;
    std::printf("recording: %zu frames of pre-roll, %zu frames after it; file: %zu frames\n",
                recStart / kFrameBytes, got / kFrameBytes, length / kFrameBytes);
    for (size_t i = 0; i < length; i += kFrameBytes) {
        if (i >= got) {
            std::printf("recording ends at file frame %zu\n", (wantStart + i) / kFrameBytes);
            return 3;
        }
        if (std::memcmp(&rec[recStart + i], &want[wantStart + i], kFrameBytes) != 0) {
            const size_t frame = (wantStart + i) / kFrameBytes;
            // A server that ran dry plays silence until data comes again.
            if (got - i >= kGapBytes && firstSound(&rec[recStart + i], kGapBytes) == kGapBytes) {
                std::printf("silence from file frame %zu: the server ran dry\n", frame);
                return 2;
            }
            std::printf("first difference at file frame %zu\n", frame);
            return 1;
        }
    }
    return 0;
}

int64_t nowUs() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return int64_t{tv.tv_sec} * 1000000 + tv.tv_usec;
}

int onsets() {
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

} // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "devices" && argc == 2)
        return devices();
    if (cmd == "compare" && argc == 4)
        return compare(argv[2], argv[3]);
    if (cmd == "onsets" && argc == 2)
        return onsets();
    std::fprintf(stderr, "usage: pulse_probe devices | compare REC.raw FILE.wav | onsets\n");
    return 2;
}
