// Helper of the sound-server system test: prints the output device names
// the program lists, one a line.
#include "audio/wave_device.h"

#include <cstdio>

int main() {
    if (waveEnumerateDevices() != 1)
        return 1;
    for (int i = 1; i <= waveDeviceCount(kWaveOutput); ++i)
        std::printf("%s\n", waveDeviceAt(kWaveOutput, i)->pcmName);
    waveReleaseDeviceList();
    return 0;
}
