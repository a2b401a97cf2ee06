// A release deferred to the stream thread saves the settings on the main thread.
#include "meter/meter_engine.h"
#include "options/meter_settings.h"
#include "options/meter_settings_provider.h"
#include "tests/unit/meter_test_support.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(MeterSettingsRelease, ADeferredReleaseSavesOnTheMainThread) {
    optionsInstallSettingsProvider();
    CaptureRenderer renderer;
    meterInstallFrameRenderer(&renderer);
    MeterEngine* engine = meterCreate();
    ASSERT_EQ(meterSetFormat(&engine, 44100.0f, 2), 1);
    ASSERT_EQ(meterSettingsUseCount(), 1);

    // The stream thread waits inside meterFeed for a held frame while the
    // owner releases the engine: the feed ends the release on its thread.
    const auto block = stereoBlock(4410, silence, silence);
    const auto feed = [&] {
        meterFeed(&engine, block.data(), static_cast<uint32_t>(block.size() * 2));
    };
    renderer.hold();
    feed();
    ASSERT_TRUE(renderer.waitEntered(1));
    std::thread stream(feed);
    while (meterIsFeeding(&engine) == 0)
        std::this_thread::yield();
    meterRelease(&engine);
    renderer.open();
    stream.join();
    ASSERT_EQ(std::atomic_ref<MeterEngine*>(engine).load(), nullptr);

    EXPECT_EQ(meterSettingsUseCount(), 1) << "not saved on the stream thread";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(meterSettingsUseCount(), 0) << "saved by the main thread's event loop";
    meterInstallFrameRenderer(nullptr);
    meterInstallSettingsProvider(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
