#include "meter/meter_hooks.h"

#include <atomic>

namespace {

// Used when no provider is installed: the engine then measures with the
// compiled-in defaults and persists nothing.
class DefaultSettingsProvider final : public MeterSettingsProvider {
public:
    void loadSettings(const char*) override {}
    void releaseSettings() override {}
    MeterSettingsValues settingsValues() override { return kMeterSettingsCompiledDefaults; }
};

DefaultSettingsProvider g_defaultProvider;
std::atomic<MeterSettingsProvider*> g_provider{nullptr};
std::atomic<MeterFrameRenderer*> g_renderer{nullptr};
std::atomic<MeterWindowHost*> g_host{nullptr};

} // namespace

void meterInstallSettingsProvider(MeterSettingsProvider* provider) {
    g_provider.store(provider);
}

void meterInstallFrameRenderer(MeterFrameRenderer* renderer) {
    g_renderer.store(renderer);
}

void meterInstallWindowHost(MeterWindowHost* host) {
    g_host.store(host);
}

MeterSettingsProvider* meterSettingsProvider() {
    MeterSettingsProvider* p = g_provider.load();
    return p ? p : &g_defaultProvider;
}

MeterFrameRenderer* meterFrameRenderer() {
    return g_renderer.load();
}

MeterWindowHost* meterWindowHost() {
    return g_host.load();
}
