// The pens and brushes of the meter faces, built from the colours and the bar
// pattern of a MeterSettings record.
//
// A built set is immutable and shared: the record holds it through an atomic
// shared pointer, the render thread takes its own reference for the frame it
// draws, and a replacement (options dialog, rebuild) publishes a new set
// instead of changing or deleting objects in use. The old objects go away
// with the last reference, so the render thread never draws with a pen or
// brush that is being replaced or has been freed. The set also carries a copy
// of the values it was built from, so that the render thread reads the
// nominal zone (`dbHead`, `dbMax`) from the same snapshot.
#pragma once

#include "meter/meter_settings_values.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPen>
#include <atomic>
#include <cstdint>
#include <memory>

struct MeterSettings;

enum class MeterBrushOrientation { Horizontal, Vertical };

// The bar patterns, as the options dialog lists them.
inline constexpr int kMeterBrushTypeCount = 7;
extern const char* const kMeterBrushTypeNames[kMeterBrushTypeCount];

struct MeterColorSet {
    // Solid cosmetic (one pixel) pens.
    QPen MoyBorderPen;
    QPen nomBorderPen;
    QPen MaxBorderPen;
    QPen AttnBorderPen;
    QPen MaxColorPen;
    QPen MoyColorPen;
    QPen ElectronPen;
    QPen PersistencePen;
    // Pattern brushes of the record's BrushType, horizontal orientation.
    QBrush MoyBrushH;
    QBrush nomBrushH;
    QBrush MaxBrushH;
    QBrush AttnBrushH;
    // Solid brushes.
    QBrush ElectronBrush;
    QBrush PersistenceBrush;
    QBrush CorelOnBrush;
    QBrush CorelOffBrush;
    // The 8 x 8 pattern bitmaps, one per pattern brush (null for type 0).
    QImage MoyBitmap;
    QImage nomBitmap;
    QImage MaxBitmap;
    QImage AttnBitmap;
    // The values the set was built from.
    MeterSettingsValues values;
};

using MeterColorSetPtr = std::shared_ptr<const MeterColorSet>;

// The record's handle on its set: null when not built. Loads and stores are
// atomic; a copy shares the same immutable set.
class MeterColorSetSlot {
public:
    MeterColorSetSlot() = default;
    MeterColorSetSlot(const MeterColorSetSlot& other) : m_set(other.m_set.load()) {}
    MeterColorSetSlot& operator=(const MeterColorSetSlot& other) {
        m_set.store(other.m_set.load());
        return *this;
    }
    MeterColorSetPtr load() const { return m_set.load(); }
    void store(MeterColorSetPtr set) { m_set.store(std::move(set)); }

private:
    std::atomic<MeterColorSetPtr> m_set;
};

// The brush used whenever a brush cannot be made: light grey (192, 192, 192).
QBrush meterFallbackBrush();

// A 0x00BBGGRR colour as a QColor.
QColor meterColorFromRef(uint32_t colorRef);

// Whether pixel (x, y) of the 8 x 8 pattern of `type` (1..6) is in the colour;
// the others are black. Vertical orientation transposes the line patterns.
bool meterPatternPixelLit(int type, int x, int y, MeterBrushOrientation orientation);

// Makes a brush: type 0 solid, types 1..6 a pattern whose 8 x 8 bitmap is
// stored in `bitmapSlot` (replacing what it held), any other type the
// fallback brush. `previous`, when given, is released (left empty). Never
// returns an empty brush.
QBrush MakeMeterBrush(QBrush* previous, QImage* bitmapSlot, int type, uint32_t colorRef,
                      MeterBrushOrientation orientation);

// Builds the whole set from the record's values and publishes it in the record.
void BuildMeterColorSet(MeterSettings* record);

// Drops the record's set and clears the record, the 33 values included.
void FreeMeterColorSet(MeterSettings* record);

// Field indexes in the stored order.
enum class MeterSettingsField : int {
    MoyBorder,
    MoyBrush,
    nomBorder,
    nomBrush,
    MaxBorder,
    MaxBrush,
    AttnBorder,
    AttnBrush,
    MaxColor,
    MoyColor,
    Electron,
    Persistence,
    Corel_on,
    Corel_off,
    BrushType,
    dbHead,
    dbMax,
    L_MinDB,
    L_MaxDB,
    C_MinDB,
    C_MaxDB,
    Max_DBperS,
    Moy_DBperS,
    nbFperS,
    ReduceMinDb,
    DisplayDbOffset,
    Delay,
    Attack,
    PhaseRelease,
    DelayElectron,
    DelayPersistence,
    RangeRelease,
    diapason
};

// After one field of the record changed: publishes a new set in which the
// objects made from that field are rebuilt (all of them for BrushType) and
// the others shared with the previous set. Main thread.
void RebuildMeterColorSetFor(MeterSettings* record, MeterSettingsField field);
