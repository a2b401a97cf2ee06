// What the knob's source files (value and commands, input, menu, painting)
// share.
#pragma once

#include "controls/ctl_text.h"

#include <cstdint>
#include <string>

namespace rotatif_parts {

inline int rnd(float f) {
    return static_cast<int>(ctlRound(f));
}

// The "infovalue" option: bit 31 shows the value box, bits 0-3 its corner.
constexpr uint32_t kInfoBoxOn = 0x80000000u;
constexpr uint32_t kInfoHighBits = 0xF0000000u;

inline std::string number(float v, int decimals, const char* suffix = "") {
    return ctlFormatNumber(v, decimals, 0, 1) + suffix;
}

} // namespace rotatif_parts
