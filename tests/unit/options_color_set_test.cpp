// The colour set: brush patterns, building, rebuild rules and snapshots.
#include "options/meter_color_set.h"
#include "options/meter_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

const uint32_t kRed = meterRgb(200, 10, 20);

MeterSettings defaults() {
    MeterSettings s;
    static_cast<MeterSettingsValues&>(s) = kMeterSettingsCompiledDefaults;
    return s;
}

QImage patternOf(int type, MeterBrushOrientation o) {
    QImage slot;
    MakeMeterBrush(nullptr, &slot, type, kRed, o);
    return slot;
}

// The lit pixels of a bitmap as 8 row masks (bit x set when pixel (x, y) is lit).
std::vector<int> rowMasks(const QImage& img) {
    std::vector<int> rows(8, 0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const QRgb px = img.pixel(x, y);
            if (px == meterColorFromRef(kRed).rgb()) {
                rows[y] |= 1 << x;
            } else {
                EXPECT_EQ(px, qRgb(0, 0, 0));
            }
        }
    }
    return rows;
}

// Vertical lights columns where horizontal lights rows: each of the six
// types is the transpose of its horizontal form, partly lit and unlike the others.
TEST(MeterColorSetPatterns, EveryTypeInBothOrientations) {
    std::vector<std::vector<int>> seen;
    for (int type = 1; type <= 6; ++type) {
        const std::vector<int> h = rowMasks(patternOf(type, MeterBrushOrientation::Horizontal));
        std::vector<int> transposed(8, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                transposed[x] |= ((h[y] >> x) & 1) << y;
        EXPECT_EQ(rowMasks(patternOf(type, MeterBrushOrientation::Vertical)), transposed) << type;
        EXPECT_NE(h, std::vector<int>(8, 0)) << type;
        EXPECT_NE(h, std::vector<int>(8, 255)) << type;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0) << type;
        seen.push_back(h);
    }
}

TEST(MeterColorSetPatterns, SolidFallbackAndThePreviousBrush) {
    QImage slot(2, 2, QImage::Format_RGB32);
    const qint64 before = slot.cacheKey();
    QBrush solid = MakeMeterBrush(nullptr, &slot, 0, kRed, MeterBrushOrientation::Horizontal);
    EXPECT_EQ(std::pair(solid.style(), solid.color()),
              std::pair(Qt::SolidPattern, QColor(200, 10, 20)));
    EXPECT_EQ(slot.cacheKey(), before); // type 0 leaves the slot alone
    for (int type : {-1, 7, 100}) {
        const QBrush b =
            MakeMeterBrush(&solid, &slot, type, kRed, MeterBrushOrientation::Horizontal);
        EXPECT_EQ(std::pair(b.style(), b.color()),
                  std::pair(Qt::SolidPattern, QColor(192, 192, 192)));
        EXPECT_EQ(solid.style(), Qt::NoBrush); // the previous brush was released
        EXPECT_EQ(slot.cacheKey(), before);
    }
    const QBrush pattern =
        MakeMeterBrush(nullptr, &slot, 3, kRed, MeterBrushOrientation::Horizontal);
    EXPECT_EQ(std::pair(pattern.style(), slot.size()), std::pair(Qt::TexturePattern, QSize(8, 8)));
}

TEST(MeterColorSetBuild, FreeingANeverBuiltSetThenSolidTypeAndExchange) {
    MeterSettings s = defaults();
    FreeMeterColorSet(&s); // clears the record even without a set
    EXPECT_EQ(s.dbMax, 0.0f);
    s = defaults();
    s.BrushType = 0;
    BuildMeterColorSet(&s);
    const MeterColorSetPtr set = s.colorSet.load();
    ASSERT_TRUE(set);
    for (const QBrush* b : {&set->MoyBrushH, &set->nomBrushH, &set->MaxBrushH, &set->AttnBrushH})
        EXPECT_EQ(b->style(), Qt::SolidPattern);
    EXPECT_TRUE(set->MoyBitmap.isNull());
    EXPECT_EQ(set->values.dbHead, -12.0f);
    // An exchange swaps the values and the sets.
    MeterSettings b;
    ExchangeMeterSettings(&s, &b);
    EXPECT_EQ(std::pair(s.colorSet.load(), s.diapason), std::pair(MeterColorSetPtr{}, 0.0f));
    EXPECT_EQ(std::pair(b.colorSet.load(), b.diapason), std::pair(set, 440.0f));
}

TEST(MeterColorSetBuild, RebuildRulesAndSnapshotsThatOutliveAReplacement) {
    MeterSettings s = defaults();
    BuildMeterColorSet(&s);
    const MeterColorSetPtr drawing = s.colorSet.load(); // held by a frame in flight

    s.MaxColor = kRed;
    RebuildMeterColorSetFor(&s, MeterSettingsField::MaxColor);
    MeterColorSetPtr now = s.colorSet.load();
    EXPECT_EQ(now->MoyBitmap.cacheKey(), drawing->MoyBitmap.cacheKey()); // shared
    EXPECT_EQ(drawing->MaxColorPen.color(), QColor(255, 216, 164));      // untouched

    s.Corel_on = kRed;
    RebuildMeterColorSetFor(&s, MeterSettingsField::Corel_on);
    EXPECT_EQ(s.colorSet.load()->CorelOnBrush.color(), QColor(200, 10, 20));

    s.BrushType = 5;
    const MeterSettingsValues before = s;
    RebuildMeterColorSetFor(&s, MeterSettingsField::BrushType);
    now = s.colorSet.load();
    EXPECT_EQ(std::memcmp(&before, static_cast<MeterSettingsValues*>(&s), sizeof before), 0);
    EXPECT_NE(now->MoyBitmap.cacheKey(), drawing->MoyBitmap.cacheKey());
    EXPECT_EQ(std::pair(now->AttnBitmap.pixel(1, 0), now->AttnBitmap.pixel(2, 0)), // "Point 1"
              std::pair(qRgb(0, 0, 0), qRgb(98, 169, 189)));

    s.dbHead = -20.0f;
    RebuildMeterColorSetFor(&s, MeterSettingsField::dbHead);
    EXPECT_EQ(s.colorSet.load()->values.dbHead, -20.0f); // the renderer's copy follows

    FreeMeterColorSet(&s);
    EXPECT_EQ(drawing->nomBrushH.style(), Qt::TexturePattern); // still usable
}

} // namespace
