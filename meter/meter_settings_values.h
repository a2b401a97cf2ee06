// The stored values of the display settings: 33 fields of 4 bytes, named after
// their registry values, in the order of the stored record. Free of any
// toolkit so that the engine can read them; the options module owns the live
// record, its persistence and the drawing objects built from it.
#pragma once

#include <cstdint>

// A colour as 0x00BBGGRR.
constexpr uint32_t meterRgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 8) | (b << 16);
}

struct MeterSettingsValues {
    uint32_t MoyBorder;     // outline of the average-level bar
    uint32_t MoyBrush;      // fill of the average-level bar
    uint32_t nomBorder;     // outline of the nominal zone
    uint32_t nomBrush;      // fill of the nominal zone
    uint32_t MaxBorder;     // outline of the clip zone
    uint32_t MaxBrush;      // fill of the clip zone
    uint32_t AttnBorder;    // outline of the reduction zone
    uint32_t AttnBrush;     // fill of the reduction zone
    uint32_t MaxColor;      // maximum-hold marker
    uint32_t MoyColor;      // maximum-of-average marker
    uint32_t Electron;      // X/Y beam
    uint32_t Persistence;   // X/Y afterglow
    uint32_t Corel_on;      // correlator, positive side
    uint32_t Corel_off;     // correlator, negative side
    int32_t BrushType;      // bar fill pattern 0..6
    float dbHead;           // lower bound of the nominal zone, dB
    float dbMax;            // upper bound of the nominal zone (clip level), dB
    float L_MinDB;          // bottom of the level scale, dB
    float L_MaxDB;          // top of the level scale, dB
    float C_MinDB;          // carried only
    float C_MaxDB;          // carried only
    float Max_DBperS;       // peak release, dB/s
    float Moy_DBperS;       // level release, dB/s
    int32_t nbFperS;        // display frames per second
    float ReduceMinDb;      // floor of the gain-reduction scale, dB
    float DisplayDbOffset;  // offset of the displayed zero, dB
    float Delay;            // sync delay, s
    float Attack;           // attack rate, dB/s
    float PhaseRelease;     // correlator release, units/s
    float DelayElectron;    // X/Y beam delay, s
    float DelayPersistence; // X/Y persistence delay, s
    float RangeRelease;     // X/Y range release, dB/s
    float diapason;         // reference pitch, Hz
};
static_assert(sizeof(MeterSettingsValues) == 33 * 4, "33 stored fields of 4 bytes");

inline constexpr MeterSettingsValues kMeterSettingsCompiledDefaults = {
    meterRgb(0, 215, 5),
    meterRgb(0, 215, 5),
    meterRgb(237, 237, 63),
    meterRgb(237, 237, 63),
    meterRgb(249, 51, 51),
    meterRgb(249, 51, 51),
    meterRgb(98, 169, 189),
    meterRgb(98, 169, 189),
    meterRgb(255, 216, 164),
    meterRgb(208, 255, 208),
    meterRgb(255, 245, 0),
    meterRgb(110, 100, 0),
    meterRgb(0, 200, 0),
    meterRgb(200, 0, 0),
    2,      // BrushType "Line 2"
    -12.0f, // dbHead
    -3.0f,  // dbMax
    -60.0f, // L_MinDB
    6.0f,   // L_MaxDB
    -40.0f, // C_MinDB
    40.0f,  // C_MaxDB
    6.0f,   // Max_DBperS
    24.0f,  // Moy_DBperS
    10,     // nbFperS
    -20.0f, // ReduceMinDb
    0.0f,   // DisplayDbOffset
    0.0f,   // Delay
    48.0f,  // Attack
    0.5f,   // PhaseRelease
    0.05f,  // DelayElectron
    0.2f,   // DelayPersistence
    3.0f,   // RangeRelease
    440.0f, // diapason
};
