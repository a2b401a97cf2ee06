// libFuzzer target for the RIFF reader and the WAV source: arbitrary bytes go
// into a real (memory-backed) file, which is opened, read across both ends of
// its data in blocks of several sizes, and offered to the selection rules.
#include "audio/wav_source.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = memfd_create("wav-fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    // A memory file takes the whole write at once.
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

    WavSource s;
    if (wavOpen(&s, path) == kWavOk) {
        // The reader must stay inside the file and the buffer whatever it claims.
        std::vector<uint8_t> block(17632 + 3);
        s.position = -7;
        for (uint32_t bytes : {17632u + 3, 1u, 4u, 3520u, 0u, 35280u / 2})
            wavRead(&s, block.data(),
                    std::min<uint32_t>(bytes, static_cast<uint32_t>(block.size())));
        s.position = static_cast<int64_t>(s.dataFrames) - 2;
        wavRead(&s, block.data(), static_cast<uint32_t>(block.size()));
        wavSeek(&s, 0);
        wavRead(&s, block.data(), 16);
        (void)wavAccepted(&s);
    }
    WavSelection sel;
    sel.currentPath = path;
    wavAdoptFile(&s, &sel, path);
    wavClose(&s);
    close(fd);
    return 0;
}
