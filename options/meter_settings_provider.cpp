#include "options/meter_settings_provider.h"

#include "meter/meter_hooks.h"
#include "options/meter_settings.h"

namespace {

class OptionsSettingsProvider final : public MeterSettingsProvider {
public:
    void loadSettings(const char* subKey) override { LoadMeterSettings(subKey); }
    void releaseSettings() override { ReleaseMeterSettings(); }
    MeterSettingsValues settingsValues() override { return *GetMeterSettings(); }
};

OptionsSettingsProvider g_provider;

} // namespace

void optionsInstallSettingsProvider() {
    meterInstallSettingsProvider(&g_provider);
}
