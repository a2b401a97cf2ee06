// The 16 colours of the control library's shared palette (0x00BBGGRR), as the
// colour chooser's custom colours start from them.
#pragma once

#include <cstdint>

// Colour `index` (0..15) of the palette; 0 (black) for other indexes.
uint32_t meterPaletteColor(int index);
