// kc-display-lit, for bench/input_latency.sh: grabs the meter window named by
// WINDOW-ID again and again until the left bar's clip zone is lit (or, with
// "dark", unlit) and prints the wall clock time of that grab in microseconds;
// exits 1 after 20 s without it.
//   kc-display-lit WINDOW-ID [dark]
#include "display/meter_layout.h"
#include "tests/system/x11_probe_util.h"

#include <cstdint>
#include <cstring>
#include <sys/time.h>

namespace {

int64_t nowUs() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return int64_t{tv.tv_sec} * 1000000 + tv.tv_usec;
}

// Whether a quarter of the left bar's clip zone (-3 dB up to 0 dB on the
// default -60..+6 dB scale) shows the clip colour.
bool clipZoneLit(const QImage& img) {
    const MeterLayout L = meterComputeLayout(img.width(), img.height(), 2, 0x10000001);
    if (!L.fits())
        return false;
    const float k = static_cast<float>(L.H) / 66.0f;
    const int top = L.bottom - static_cast<int>(60.0f * k);
    const int clip = L.bottom - static_cast<int>(57.0f * k);
    int lit = 0, area = 0;
    for (int y = top + 1; y < clip; ++y)
        for (int x = L.x0; x < L.x0 + L.bw; ++x, ++area)
            lit += (img.pixel(x, y) & 0xffffff) == 0xf93333;
    return area > 0 && lit * 4 >= area;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s WINDOW-ID [dark]\n", argv[0]);
        return 2;
    }
    const bool dark = argc == 3 && std::strcmp(argv[2], "dark") == 0;
    Window win = 0;
    Display* dpy = probe::open(argv[1], win);
    if (!dpy)
        return 1;
    int status = 1;
    for (const int64_t end = nowUs() + 20000000; status && nowUs() < end;)
        if (clipZoneLit(probe::grab(dpy, win)) != dark) {
            std::printf("%lld\n", static_cast<long long>(nowUs()));
            status = 0;
        }
    XCloseDisplay(dpy);
    return status;
}
