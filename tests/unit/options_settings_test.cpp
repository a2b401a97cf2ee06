// Display settings: loading, saving, damaged values, the dialog and presets.
#include "controls/ctl_core.h"
#include "meter/meter_engine.h"
#include "meter/meter_engine_record.h"
#include "meter/meter_hooks.h"
#include "options/meter_preset.h"
#include "options/meter_settings.h"
#include "options/meter_settings_provider.h"
#include "platform/registry_store.h"

#include <QApplication>
#include <QDialog>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <tuple>

namespace {

const std::string kKey = "Zandel_Audio\\TRLX\\Meter\\Korvalo Cor";

class MeterSettingsTest : public ::testing::Test {
protected:
    // The control library holds the palette behind the custom colours.
    static void SetUpTestSuite() { ctlInitialize("Korvalo Cor."); }
    static void TearDownTestSuite() { ctlShutdown(); }
    void SetUp() override {
        std::remove(regStorePath().c_str());
        ASSERT_EQ(meterSettingsUseCount(), 0);
    }
    void TearDown() override {
        while (meterSettingsUseCount() > 0)
            ReleaseMeterSettings();
    }
    static bool stored(const char* name, void* out = nullptr) {
        uint32_t v;
        return regReadValue(kKey.c_str(), name, out ? out : &v, 4) == 1;
    }
    static bool sameValues(const MeterSettingsValues& a, const MeterSettingsValues& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

// A load also forgets any options dialog recorded before.
TEST_F(MeterSettingsTest, AnEmptyStoreGivesTheDefaultsAndTheirColourSet) {
    QDialog dialog;
    setMeterOptionsDialog(&dialog);
    LoadMeterSettings("Korvalo Cor");
    EXPECT_EQ(meterOptionsDialog(), nullptr);
    const MeterSettings* s = GetMeterSettings();
    EXPECT_TRUE(sameValues(*s, kMeterSettingsCompiledDefaults));
    EXPECT_EQ(meterSettingsKey(), kKey);
    EXPECT_EQ(std::tuple(CustomColors[1], CustomColors[15]), std::tuple(0x1428CCu, 0xFFFFFFu));
    const MeterColorSetPtr set = s->colorSet.load();
    ASSERT_TRUE(set); // built from the loaded values
    EXPECT_TRUE(sameValues(set->values, *s));
}

TEST_F(MeterSettingsTest, TwoEnginesShareTheRecordAndOnlyTheLastReleaseWritesEveryValue) {
    optionsInstallSettingsProvider();
    MeterEngine* a = meterCreate();
    MeterEngine* b = meterCreate();
    EXPECT_EQ(meterSettingsUseCount(), 2);
    MeterSettings* s = GetMeterSettings();
    // Outline and fill, then values of each type.
    std::tie(s->AttnBorder, s->AttnBrush, s->dbHead, s->nbFperS, s->diapason) =
        std::tuple(meterRgb(1, 2, 3), meterRgb(4, 5, 6), -15.5f, 25, 442.0f);
    meterRelease(&a);
    EXPECT_FALSE(stored("MoyBorder"));
    meterRelease(&b);
    meterInstallSettingsProvider(nullptr);
    EXPECT_EQ(meterSettingsUseCount(), 0);
    EXPECT_TRUE(sameValues(*s, MeterSettingsValues{})); // the live record is cleared
    EXPECT_FALSE(s->colorSet.load());
    EXPECT_TRUE(sameValues(MeterSettingsDefaults, kMeterSettingsCompiledDefaults));
    for (int i = 0; i < 33; ++i)
        EXPECT_TRUE(stored(meterSettingsValueName(static_cast<MeterSettingsField>(i)))) << i;
    uint32_t shared = 0, outline = 0;
    ASSERT_TRUE(stored("AttnBorder", &shared));
    ASSERT_TRUE(stored(kMeterAttnOutlineValue, &outline));
    EXPECT_EQ(shared, meterRgb(4, 5, 6)); // "AttnBorder" keeps the fill colour
    EXPECT_EQ(outline, meterRgb(1, 2, 3));

    LoadMeterSettings("Korvalo Cor");
    EXPECT_EQ(std::tuple(s->AttnBorder, s->AttnBrush, s->dbHead, s->nbFperS, s->diapason),
              std::tuple(meterRgb(1, 2, 3), meterRgb(4, 5, 6), -15.5f, 25, 442.0f));
    EXPECT_EQ(ReleaseMeterSettings(), 1);
    EXPECT_EQ(ReleaseMeterSettings(), 0); // a stray release is ignored
    EXPECT_EQ(meterSettingsUseCount(), 0);
    LoadMeterSettings("Something Else"); // the key is completed once per process
    EXPECT_EQ(meterSettingsKey(), kKey);
}

TEST_F(MeterSettingsTest, UnreadableValuesKeepTheirDefaults) {
    const float eight[2] = {1.0f, 2.0f};
    regWriteValue(kKey.c_str(), "L_MinDB", eight, 8);
    regWriteTyped(kKey.c_str(), "dbMax", RegType::String, "abcd", 4);
    const int32_t brush = 9; // nonsense, taken as stored
    regWriteValue(kKey.c_str(), "BrushType", &brush, 4);
    // Written before the outline had its own name: both colours from "AttnBorder".
    const uint32_t fill = meterRgb(9, 8, 7);
    regWriteValue(kKey.c_str(), "AttnBorder", &fill, 4);
    LoadMeterSettings("Korvalo Cor");
    const MeterSettings* s = GetMeterSettings();
    EXPECT_EQ(std::tuple(s->L_MinDB, s->dbMax, s->BrushType, s->AttnBorder, s->AttnBrush),
              std::tuple(-60.0f, -3.0f, 9, fill, fill));
    EXPECT_EQ(s->colorSet.load()->MoyBrushH.color(), QColor(192, 192, 192));
}

// An engine released at the end of a fed block releases its settings on the
// stream thread (MeterEngineTest.ReleaseWhileFeeding...): they are saved on
// the main thread.
TEST_F(MeterSettingsTest, AReleaseOffTheMainThreadSavesOnTheMainThread) {
    optionsInstallSettingsProvider();
    MeterSettingsProvider* provider = meterSettingsProvider();
    provider->loadSettings("Korvalo Cor");
    std::thread([provider] { provider->releaseSettings(); }).join();
    EXPECT_EQ(meterSettingsUseCount(), 1) << "not saved on the stream thread";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(meterSettingsUseCount(), 0) << "saved by the main thread's event loop";
    meterInstallSettingsProvider(nullptr);
}

TEST_F(MeterSettingsTest, PresetsKeepTimingAndTheAnalogRowSetsTheOffset) {
    optionsInstallSettingsProvider();
    MeterEngine* e = meterCreate();
    ASSERT_EQ(meterSetFormat(&e, 44100.0f, 2), 1);
    MeterParams p;
    meterGetParams(e, &p);
    std::tie(p.left.Delay, p.left.nbFperS, p.left.PhaseRelease) = std::tuple(0.3f, 25, 2.0f);
    meterSetParams(e, &p);

    EXPECT_EQ(ApplyMeterPreset(e, 2), 1);
    meterGetParams(e, &p);
    for (const ChannelParams* c : {&p.left, &p.right}) {
        EXPECT_EQ(std::tuple(c->Delay, c->nbFperS, c->PhaseRelease), std::tuple(0.3f, 25, 2.0f));
        EXPECT_EQ(std::tuple(c->linearScale, c->attackOn, c->L_MinDB, c->Moy_DBperS),
                  std::tuple(1, 1, -20.0f, 12.0f));
    }
    EXPECT_EQ(GetMeterSettings()->DisplayDbOffset, 7.0f);
    const int16_t block[4] = {0, 0, 0, 0};
    meterFeed(&e, block, sizeof block);
    EXPECT_EQ(e->coeff.dbOffset, 7.0f);

    EXPECT_EQ(ApplyMeterPreset(e, 0), 1);
    meterGetParams(e, &p);
    EXPECT_EQ(std::tuple(p.left.dbOffsetOn, p.left.peakOn, p.right.L_MinDB),
              std::tuple(0, 1, -40.0f));
    EXPECT_EQ(GetMeterSettings()->DisplayDbOffset, 7.0f); // left as the analog row set it
    EXPECT_EQ(ApplyMeterPreset(e, 3), 0);
    meterRelease(&e);
    meterInstallSettingsProvider(nullptr);
}

} // namespace
