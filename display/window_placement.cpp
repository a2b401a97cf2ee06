#include "display/window_placement.h"

#include "platform/registry_store.h"

const char* const kMeterWindowKey = "Zandel_Audio\\TRLX\\Korvalo Cor.";

namespace {

const char* const kValueNames[4] = {"Window x0", "Window y0", "Window x1", "Window y1"};

} // namespace

WindowRect meterDefaultPlacement(int screenWidth, int screenHeight) {
    return {screenWidth - 180, 0, 180, screenHeight};
}

WindowRect meterRectFromEdges(const int32_t e[4]) {
    return {e[0], e[1], e[2] - e[0] + 1, e[3] - e[1] + 1};
}

void meterRectEdges(const WindowRect& r, int32_t out[4]) {
    out[0] = r.x;
    out[1] = r.y;
    out[2] = r.x + r.width - 1;
    out[3] = r.y + r.height - 1;
}

WindowRect meterInitialPlacement(int screenWidth, int screenHeight, const int32_t* stored,
                                 int32_t placementValid, const int32_t placement[4]) {
    WindowRect r = meterDefaultPlacement(screenWidth, screenHeight);
    if (stored) {
        // A hand-edited or damaged store can hold an inverted rectangle; a
        // window without area could never be found again, so it is ignored.
        const WindowRect s = meterRectFromEdges(stored);
        if (s.width > 0 && s.height > 0)
            r = s;
    }
    if (placementValid == 1 || (placement[2] - placement[0] > 5 && placement[3] - placement[1] > 5))
        r = meterRectFromEdges(placement);
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
    bool ok = true;
    for (int i = 0; i < 4; ++i)
        ok = regWriteValue(kMeterWindowKey, kValueNames[i], &rect[i], sizeof rect[i]) == 1 && ok;
    return ok;
}
