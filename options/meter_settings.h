// The display settings: the one live record of display and measuring
// preferences, its registry persistence, the staging defaults and the colours
// offered to the colour chooser.
//
// Threads: load, save, presets and the options dialog run on the main thread
// and are the only writers of the record. The render thread must not read the
// record's plain values; it takes `colorSet.load()`, which carries the values
// it was built from. The engine receives the values it needs through the
// settings provider on the main thread.
#pragma once

#include "meter/meter_settings_values.h"
#include "options/meter_color_set.h"

#include <QDialog>
#include <cstdint>
#include <string>

struct MeterSettings : MeterSettingsValues {
    MeterSettings() : MeterSettingsValues{} {} // all values 0, no set
    MeterColorSetSlot colorSet;                // built from the values above, or null
};

// The fixed part of the settings key; the first load appends its sub-key.
inline constexpr const char* kMeterSettingsKeyPrefix = "Zandel_Audio\\TRLX\\Meter\\";

// Where the outline colour of the reduction zone is kept: the value
// "AttnBorder" holds the fill colour (both fields share it), so the outline
// is stored a second time under its own name.
inline constexpr const char* kMeterAttnOutlineValue = "AttnOutline";

// Takes a reference; the first one loads the record from the registry.
void LoadMeterSettings(const char* subKey);
// Drops a reference; the last one closes an open options dialog, frees the
// colour set and writes every value. Returns 1 when this call saved, else 0.
// A release without a matching load is ignored.
int ReleaseMeterSettings();
// The live record (never null; meaningful after the first load).
MeterSettings* GetMeterSettings();
// How many engines use the record.
int meterSettingsUseCount();
// The settings key ("" before the first load).
std::string meterSettingsKey();

// The 33 compiled-in defaults; load and save stage values here and restore
// them afterwards.
extern MeterSettingsValues MeterSettingsDefaults;

// The colour chooser's 16 custom colours (0x00BBGGRR), filled from the
// control library's palette at every load; not stored.
extern uint32_t CustomColors[16];

// The open "Measure Display Options" dialog, recorded by the dialog itself;
// forgotten at every load, closed (as if cancelled) by the final save.
void setMeterOptionsDialog(QDialog* dialog);
QDialog* meterOptionsDialog();

// Swaps the values and colour sets of two records (the options dialog's OK).
void ExchangeMeterSettings(MeterSettings* a, MeterSettings* b);

// Registry value name of a field in the stored order (field 8 shares
// "AttnBorder" with field 7).
const char* meterSettingsValueName(MeterSettingsField field);
