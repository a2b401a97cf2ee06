// Where the meter window opens: the right screen edge by default, the
// position stored with "Set current Window Position as default settings",
// or the rectangle the window had when it was last open in this run.
//
// Rectangles are left, top, right, bottom with right and bottom inclusive.
//
// Thread: main thread (the settings store itself may be used from any).
#pragma once

#include <cstdint>

struct WindowRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const WindowRect&) const = default;
};

// The settings key of the stored default position.
extern const char* const kMeterWindowKey;

// The right-edge default: 180 pixels wide, full height.
WindowRect meterDefaultPlacement(int screenWidth, int screenHeight);

// The rectangle a newly created meter window gets. `stored` is the stored
// default position or null when any of its four values is missing;
// `placement` is the engine's last known rectangle, used when it is current
// or larger than 5 x 5 pixels.
WindowRect meterInitialPlacement(int screenWidth, int screenHeight, const int32_t* stored,
                                 int32_t placementValid, const int32_t placement[4]);

// Reads "Window x0".."Window y1"; returns false unless all four were read.
bool meterReadStoredPosition(int32_t out[4]);
// Writes the four values; returns false when any write failed.
bool meterWriteStoredPosition(const int32_t rect[4]);

// left, top, right, bottom of a rectangle.
void meterRectEdges(const WindowRect& r, int32_t out[4]);
WindowRect meterRectFromEdges(const int32_t edges[4]);
