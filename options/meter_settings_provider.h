// Connects the meter engine to the live display settings: engines created
// after this call load, read and release the settings of this module (and so
// persist them in the registry). Loading and saving always happen on the main
// thread: a release that comes on another thread is handed to the main
// thread's event loop (or run when the application object is destroyed).
#pragma once

// Call once at start-up, before meterCreate. Main thread.
void optionsInstallSettingsProvider();
