#include "options/meter_palette.h"

namespace {

const uint32_t kPalette[16] = {0x000000, 0x1428CC, 0x1E3CFC, 0x36EBF0, 0x9D1C06, 0xE25F0F,
                               0xE4938C, 0x7A6B03, 0x31A724, 0x404040, 0x545454, 0x6E6E6E,
                               0x828282, 0xB4B4B4, 0xE6E6E6, 0xFFFFFF};

} // namespace

uint32_t meterPaletteColor(int index) {
    return index >= 0 && index < 16 ? kPalette[index] : 0u;
}
