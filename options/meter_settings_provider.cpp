// The engine's view of the display settings. Loading and saving them belong
// to the main thread (the registry store, the options dialog and the colour
// set live there). An engine is created and normally released there too, but
// a release deferred to the end of a fed block comes on the stream thread:
// that release is handed to the main thread's event loop, and whatever the
// loop did not get to run before the application object goes is run when it
// goes, so that no save is lost.
#include "options/meter_settings_provider.h"

#include "meter/meter_hooks.h"
#include "options/meter_settings.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>

namespace {

std::atomic<int> g_handedOver{0}; // releases waiting for the main thread

// Main thread.
void runHandedOverReleases() {
    for (int n = g_handedOver.exchange(0); n > 0; --n)
        ReleaseMeterSettings();
}

class OptionsSettingsProvider final : public MeterSettingsProvider {
public:
    void loadSettings(const char* subKey) override { LoadMeterSettings(subKey); }
    void releaseSettings() override {
        QCoreApplication* app = QCoreApplication::instance();
        // Without an application there is no event loop to hand over to (a
        // tool without windows): release where we are.
        if (!app || QThread::currentThread() == app->thread()) {
            ReleaseMeterSettings();
            return;
        }
        g_handedOver.fetch_add(1);
        QMetaObject::invokeMethod(app, runHandedOverReleases, Qt::QueuedConnection);
    }
    MeterSettingsValues settingsValues() override { return *GetMeterSettings(); }
};

OptionsSettingsProvider g_provider;

} // namespace

void optionsInstallSettingsProvider() {
    static const bool routineAdded = [] {
        qAddPostRoutine(runHandedOverReleases);
        return true;
    }();
    (void)routineAdded;
    meterInstallSettingsProvider(&g_provider);
}
