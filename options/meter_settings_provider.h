// Connects the meter engine to the live display settings: engines created
// after this call load, read and release the settings of this module (and so
// persist them in the registry).
#pragma once

// Call once at start-up, before meterCreate. Main thread.
void optionsInstallSettingsProvider();
