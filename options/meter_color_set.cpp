#include "options/meter_color_set.h"

#include "options/meter_settings.h"

#include <utility>

const char* const kMeterBrushTypeNames[kMeterBrushTypeCount] = {
    "Solid Brush", "Line 1", "Line 2", "Line 3", "Line 4", "Point 1", "Point 2"};

QBrush meterFallbackBrush() {
    return QBrush(QColor(192, 192, 192), Qt::SolidPattern);
}

QColor meterColorFromRef(uint32_t colorRef) {
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

bool meterPatternPixelLit(int type, int x, int y, MeterBrushOrientation orientation) {
    if (orientation == MeterBrushOrientation::Vertical && type >= 1 && type <= 4) {
        std::swap(x, y);
    }
    switch (type) {
    case 1: // "Line 1": rows 0, 2, 4, 6
        return y % 2 == 0;
    case 2: // "Line 2": rows 0, 1, 4, 5
        return y % 4 < 2;
    case 3: // "Line 3": rows 0 to 3
        return y < 4;
    case 4: // "Line 4": rows 0 to 5
        return y < 6;
    case 5: // "Point 1": both coordinates even
        return x % 2 == 0 && y % 2 == 0;
    case 6: // "Point 2": 2 x 2 blocks at (0,0), (4,0), (0,4), (4,4)
        return x % 4 < 2 && y % 4 < 2;
    default:
        return false;
    }
}

QBrush MakeMeterBrush(QBrush* previous, QImage* bitmapSlot, int type, uint32_t colorRef,
                      MeterBrushOrientation orientation) {
    if (previous) {
        *previous = QBrush();
    }
    if (type == 0) {
        return QBrush(meterColorFromRef(colorRef), Qt::SolidPattern);
    }
    if (type < 1 || type > 6) {
        return meterFallbackBrush();
    }
    QImage bitmap(8, 8, QImage::Format_RGB32);
    if (!bitmap.isNull()) {
        bitmap.fill(Qt::black);
        const QRgb lit = meterColorFromRef(colorRef).rgb();
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                if (meterPatternPixelLit(type, x, y, orientation)) {
                    bitmap.setPixel(x, y, lit);
                }
            }
        }
    }
    if (bitmapSlot) {
        *bitmapSlot = bitmap;
    }
    if (bitmap.isNull()) {
        return meterFallbackBrush();
    }
    return QBrush(bitmap);
}

namespace {

QPen makePen(uint32_t colorRef) {
    QPen pen(meterColorFromRef(colorRef), 0, Qt::SolidLine);
    pen.setCosmetic(true);
    return pen;
}

void buildAll(MeterColorSet& s, const MeterSettingsValues& v) {
    s.values = v;
    s.MoyBorderPen = makePen(v.MoyBorder);
    s.nomBorderPen = makePen(v.nomBorder);
    s.MaxBorderPen = makePen(v.MaxBorder);
    s.AttnBorderPen = makePen(v.AttnBorder);
    s.MaxColorPen = makePen(v.MaxColor);
    s.MoyColorPen = makePen(v.MoyColor);
    s.ElectronPen = makePen(v.Electron);
    s.PersistencePen = makePen(v.Persistence);
    const auto h = MeterBrushOrientation::Horizontal;
    s.MoyBrushH = MakeMeterBrush(nullptr, &s.MoyBitmap, v.BrushType, v.MoyBrush, h);
    s.nomBrushH = MakeMeterBrush(nullptr, &s.nomBitmap, v.BrushType, v.nomBrush, h);
    s.MaxBrushH = MakeMeterBrush(nullptr, &s.MaxBitmap, v.BrushType, v.MaxBrush, h);
    s.AttnBrushH = MakeMeterBrush(nullptr, &s.AttnBitmap, v.BrushType, v.AttnBrush, h);
    s.ElectronBrush = MakeMeterBrush(nullptr, nullptr, 0, v.Electron, h);
    s.PersistenceBrush = MakeMeterBrush(nullptr, nullptr, 0, v.Persistence, h);
    s.CorelOnBrush = MakeMeterBrush(nullptr, nullptr, 0, v.Corel_on, h);
    s.CorelOffBrush = MakeMeterBrush(nullptr, nullptr, 0, v.Corel_off, h);
}

} // namespace

void BuildMeterColorSet(MeterSettings* record) {
    if (!record) {
        return;
    }
    auto set = std::make_shared<MeterColorSet>();
    buildAll(*set, *record);
    record->colorSet.store(std::move(set));
}

void FreeMeterColorSet(MeterSettings* record) {
    if (!record) {
        return;
    }
    record->colorSet.store(nullptr);
    static_cast<MeterSettingsValues&>(*record) = MeterSettingsValues{};
}

void RebuildMeterColorSetFor(MeterSettings* record, MeterSettingsField field) {
    if (!record) {
        return;
    }
    const MeterColorSetPtr current = record->colorSet.load();
    if (!current || field == MeterSettingsField::BrushType) {
        // The whole set: values aside, free, values back, build.
        const MeterSettingsValues values = *record;
        FreeMeterColorSet(record);
        static_cast<MeterSettingsValues&>(*record) = values;
        BuildMeterColorSet(record);
        return;
    }
    auto set = std::make_shared<MeterColorSet>(*current);
    const MeterSettingsValues& v = *record;
    set->values = v;
    const int type = v.BrushType;
    const auto h = MeterBrushOrientation::Horizontal;
    using F = MeterSettingsField;
    switch (field) {
    case F::MaxColor:
        set->MaxColorPen = makePen(v.MaxColor);
        break;
    case F::MaxBorder:
        set->MaxBorderPen = makePen(v.MaxBorder);
        break;
    case F::nomBorder:
        set->nomBorderPen = makePen(v.nomBorder);
        break;
    case F::AttnBorder:
        set->AttnBorderPen = makePen(v.AttnBorder);
        break;
    case F::MoyColor:
        set->MoyColorPen = makePen(v.MoyColor);
        break;
    case F::MoyBorder:
        set->MoyBorderPen = makePen(v.MoyBorder);
        break;
    case F::MaxBrush:
        set->MaxBrushH = MakeMeterBrush(&set->MaxBrushH, &set->MaxBitmap, type, v.MaxBrush, h);
        break;
    case F::nomBrush:
        set->nomBrushH = MakeMeterBrush(&set->nomBrushH, &set->nomBitmap, type, v.nomBrush, h);
        break;
    case F::AttnBrush:
        set->AttnBrushH = MakeMeterBrush(&set->AttnBrushH, &set->AttnBitmap, type, v.AttnBrush, h);
        break;
    case F::MoyBrush:
        set->MoyBrushH = MakeMeterBrush(&set->MoyBrushH, &set->MoyBitmap, type, v.MoyBrush, h);
        break;
    case F::Electron:
        set->ElectronPen = makePen(v.Electron);
        set->ElectronBrush = MakeMeterBrush(&set->ElectronBrush, nullptr, 0, v.Electron, h);
        break;
    case F::Persistence:
        set->PersistencePen = makePen(v.Persistence);
        set->PersistenceBrush =
            MakeMeterBrush(&set->PersistenceBrush, nullptr, 0, v.Persistence, h);
        break;
    case F::Corel_on:
        set->CorelOnBrush = MakeMeterBrush(&set->CorelOnBrush, nullptr, 0, v.Corel_on, h);
        break;
    case F::Corel_off:
        set->CorelOffBrush = MakeMeterBrush(&set->CorelOffBrush, nullptr, 0, v.Corel_off, h);
        break;
    default:
        // No drawing object depends on the field; the new snapshot only
        // carries its value (dbHead and dbMax reach the renderer this way).
        break;
    }
    record->colorSet.store(std::move(set));
}
