// Command ids of the main window and the tables its menus are built from.
// Menu items, hotkeys and the right-click links all end in one dispatch on
// these ids (AppShell::command).
#pragma once

#include <Qt>
#include <array>

enum AppCommand : int {
    CmdNone = 0,
    CmdZero = 20,
    CmdPlay = 21,
    CmdStop = 22,
    CmdSelectWav = 30,
    CmdMeterInput = 40, // "Meter an Input...": a submenu of the inputs
    CmdMeterFile = 41,
    CmdLatency200 = 50,
    CmdLatency100 = 51,
    CmdLatency50 = 52,
    CmdLatency30 = 53,
    CmdLatency20 = 54,
    CmdQuit = 100,
    CmdAbout = 101,
    CmdInfo = 888,
    CmdWebPage = 890,
    CmdMail = 891,
};

// One item of a menu table; a null text is a separator.
struct MenuItemDef {
    const char* text; // exactly as the menu resource stores it
    int id;
};

inline constexpr const char* kMainMenuName = "MenuMonApp";

inline constexpr const char* kCommandMenuTitle = "&Command";
inline constexpr std::array<MenuItemDef, 10> kCommandMenu{{
    {"&Select Wav File        F5", CmdSelectWav},
    {"&Play   F1", CmdPlay},
    {"S&top   F2", CmdStop},
    {"&Zero   F4", CmdZero},
    {nullptr, 0},
    {"&Quit", CmdQuit},
    {"&About", CmdAbout},
    {nullptr, 0},
    {"Meter an Input...", CmdMeterInput},
    {"Meter the Wave File", CmdMeterFile},
}};

inline constexpr const char* kLatencyMenuTitle = "&Latency";
inline constexpr std::array<MenuItemDef, 5> kLatencyMenu{{
    {"200 ms", CmdLatency200},
    {"100 ms", CmdLatency100},
    {"50 ms", CmdLatency50},
    {"30 ms", CmdLatency30},
    {"20 ms", CmdLatency20},
}};

// The latency of items 50..54, as the 32-bit floats that are compared
// exactly with the current latency.
inline constexpr std::array<float, 5> kLatencyValues{0.2f, 0.1f, 0.05f, 0.03f, 0.02f};

inline constexpr std::array<MenuItemDef, 3> kContextMenu{{
    {"info...", CmdInfo},
    {"See QK's Web Pages...", CmdWebPage},
    {"E-mail me...", CmdMail},
}};

// Function keys in registration order and the command each one sends.
struct HotkeyDef {
    int key; // Qt::Key
    int id;
};
inline constexpr std::array<HotkeyDef, 4> kHotkeys{{
    {Qt::Key_F1, CmdPlay},
    {Qt::Key_F2, CmdStop},
    {Qt::Key_F4, CmdZero},
    {Qt::Key_F5, CmdSelectWav},
}};
