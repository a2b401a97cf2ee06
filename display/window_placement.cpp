#include "display/window_placement.h"

#include "platform/registry_store.h"

#include <algorithm>
#include <climits>

const char* const kMeterWindowKey = "Zandel_Audio\\TRLX\\Korvalo Cor.";

namespace {

const char* const kValueNames[4] = {"Window x0", "Window y0", "Window x1", "Window y1"};

int toInt(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

// Extent of the side from edge `a` to the inclusive edge `b`.
int64_t extent(int32_t a, int32_t b) {
    return int64_t{b} - int64_t{a} + 1;
}

// One side of a rectangle, from `start` over `len` pixels, brought onto
// [from, from + span): a side longer than the span becomes the span; any other
// keeps at least kMeterMinVisible of it (all of a shorter side) inside.
void fitSide(int64_t& start, int64_t& len, int64_t from, int64_t span) {
    span = std::max<int64_t>(span, 1);
    len = std::max<int64_t>(len, 1);
    if (len >= span) {
        start = from;
        len = span;
        return;
    }
    const int64_t visible = std::min<int64_t>(len, kMeterMinVisible);
    start = std::clamp(start, from - len + visible, from + span - visible);
}

} // namespace

WindowRect meterDefaultPlacement(int screenWidth, int screenHeight) {
    return {screenWidth - 180, 0, 180, screenHeight};
}

WindowRect meterRectFromEdges(const int32_t e[4]) {
    return {e[0], e[1], toInt(extent(e[0], e[2])), toInt(extent(e[1], e[3]))};
}

void meterRectEdges(const WindowRect& r, int32_t out[4]) {
    out[0] = r.x;
    out[1] = r.y;
    out[2] = toInt(int64_t{r.x} + r.width - 1);
    out[3] = toInt(int64_t{r.y} + r.height - 1);
}

WindowRect meterFitEdges(const int32_t e[4], const WindowRect& area) {
    // A stored (0, 0)-(99999, 99999) would otherwise ask for a surface of
    // 40 GB; one far off the screen would open a window nobody can reach.
    int64_t x = e[0], y = e[1], w = extent(e[0], e[2]), h = extent(e[1], e[3]);
    fitSide(x, w, area.x, area.width);
    fitSide(y, h, area.y, area.height);
    return {toInt(x), toInt(y), toInt(w), toInt(h)};
}

WindowRect meterInitialPlacement(int screenWidth, int screenHeight, const int32_t* stored,
                                 int32_t placementValid, const int32_t placement[4],
                                 const WindowRect& area) {
    WindowRect r = meterDefaultPlacement(screenWidth, screenHeight);
    // A hand-edited or damaged store can hold an inverted or a sliver of a
    // rectangle (1 x 1, 3 x 991); a window that small could never be found
    // again, so it is ignored as a too small placement is.
    const auto bigEnough = [](const int32_t* e) {
        return extent(e[0], e[2]) >= kMeterMinSide && extent(e[1], e[3]) >= kMeterMinSide;
    };
    if (stored && bigEnough(stored))
        r = meterFitEdges(stored, area);
    if (placementValid == 1 || bigEnough(placement))
        r = meterFitEdges(placement, area);
    return r;
}

bool meterReadStoredPosition(int32_t out[4]) {
    int32_t v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (!regReadValue(kMeterWindowKey, kValueNames[i], &v[i], sizeof v[i]))
            return false;
    }
    for (int i = 0; i < 4; ++i)
        out[i] = v[i];
    return true;
}

bool meterWriteStoredPosition(const int32_t rect[4]) {
    // One rewrite of the store for the four edges.
    RegValue values[4];
    for (int i = 0; i < 4; ++i)
        values[i] = {kValueNames[i], &rect[i], sizeof rect[i]};
    return regWriteValues(kMeterWindowKey, values, 4) == 4;
}

namespace {
const char* const kXyValueNames[5] = {"XY x0", "XY y0", "XY x1", "XY y1", "XY Open"};
} // namespace

bool xyReadStoredPlacement(int32_t out[4]) {
    int32_t v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (!regReadValue(kMeterWindowKey, kXyValueNames[i], &v[i], sizeof v[i]))
            return false;
    }
    std::copy(v, v + 4, out);
    return true;
}

int32_t xyReadStoredOpen() {
    int32_t open = 0;
    return regReadValue(kMeterWindowKey, kXyValueNames[4], &open, sizeof open) ? open : 0;
}

bool xyWriteStoredPlacement(const int32_t edges[4], int32_t open) {
    RegValue values[5];
    for (int i = 0; i < 4; ++i)
        values[i] = {kXyValueNames[i], &edges[i], sizeof edges[i]};
    values[4] = {kXyValueNames[4], &open, sizeof open};
    return regWriteValues(kMeterWindowKey, values, 5) == 5;
}

WindowRect xyInitialPlacement(const int32_t* stored, const WindowRect* meter, int size,
                              const WindowRect& area) {
    if (stored && extent(stored[0], stored[2]) > 0 && extent(stored[1], stored[3]) > 0)
        return meterFitEdges(stored, area);
    const WindowRect m = meter ? *meter : meterDefaultPlacement(area.x + area.width, area.height);
    constexpr int kGap = 8; // room for the window frames
    int64_t x = int64_t{m.x} - kGap - size;
    if (x < area.x)
        x = int64_t{m.x} + m.width + kGap;
    const WindowRect r{toInt(x), m.y, size, size};
    int32_t edges[4];
    meterRectEdges(r, edges);
    return meterFitEdges(edges, area);
}
