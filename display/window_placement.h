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
// default position or null when any of its four values is missing, used when
// both its sides have at least kMeterMinSide pixels; `placement` is the
// engine's last known rectangle, used when it is current or as large as that.
// Either is brought onto `area` (meterFitEdges).
inline constexpr int kMeterMinSide = 7;
WindowRect meterInitialPlacement(int screenWidth, int screenHeight, const int32_t* stored,
                                 int32_t placementValid, const int32_t placement[4],
                                 const WindowRect& area);

// Brings a rectangle given by its edges onto `area` (the usable screen): a
// side longer than the area's becomes the area's, from its edge; a shorter one
// moves just far enough to keep at least kMeterMinVisible pixels of it (all of
// a shorter side) inside the area. The edges may be anything a damaged store
// holds; the arithmetic is 64-bit. An inverted side comes out 1 pixel long.
WindowRect meterFitEdges(const int32_t edges[4], const WindowRect& area);
inline constexpr int kMeterMinVisible = 40;

// Reads "Window x0".."Window y1"; returns false unless all four were read.
bool meterReadStoredPosition(int32_t out[4]);
// Writes the four values; returns false when any write failed.
bool meterWriteStoredPosition(const int32_t rect[4]);

// left, top, right, bottom of a rectangle, and back. A side that would not
// fit an int is cut to the int range.
void meterRectEdges(const WindowRect& r, int32_t out[4]);
WindowRect meterRectFromEdges(const int32_t edges[4]);

// The X/Y scope's stored place and open state, beside the meter window's
// values: "XY x0".."XY y1" (edges) and "XY Open" (1 while it was open when
// the program ended).
bool xyReadStoredPlacement(int32_t out[4]);
int32_t xyReadStoredOpen();
// Writes the edges and the open state at once; false when any write failed.
bool xyWriteStoredPlacement(const int32_t edges[4], int32_t open);

// Where the X/Y scope opens: its stored place, else a `size` square beside
// the meter window's frame `meter` (to its left, or to its right where the
// left has no room), else beside the meter's right-edge default; always
// brought onto `area`.
WindowRect xyInitialPlacement(const int32_t* stored, const WindowRect* meter, int size,
                              const WindowRect& area);
