// ControlPanel: the sixteen knobs and buttons on the main window's face. They
// edit the engine's measurement parameters while the stream runs; every change
// is written into the engine at once and takes effect at its next block.
// Nothing of the panel is stored: the parameters come from the display
// settings at every start, so panel changes last until the program ends.
//
// Life: attach (engine) -> create (controls on the face) -> refresh (controls
// from the engine, which also opens or closes the meter window) ... -> destroy,
// before the engine is released. The meter window finds the panel through the
// engine's window context while it exists.
//
// Thread: main thread only.
#pragma once

#include "app/shell_parts.h"

#include <QImage>
#include <functional>

class I2p;
class QWidget;
class Rotatif;
struct MeterEngine;
struct MeterParams;

// The pictures of the controls: 531 off and 530 on for every button, 509 for
// every knob (turning about (13, 12)).
struct ControlPanelPictures {
    QImage buttonOff, buttonOn, knob;
};

class ControlPanel {
public:
    // Zeroes the whole record and stores the engine.
    void attach(MeterEngine* engine);
    // Creates the controls on `face` (the main window's client area) in Tab
    // order and registers the panel with the engine's meter window context.
    // Returns 1, or 0 when a control could not be created (those made are
    // destroyed again).
    int create(QWidget* face, const ControlPanelPictures& pictures);
    // Sets every control from the engine's parameters without calling any
    // callback, then opens the meter window when the parameters say it is
    // open, or closes it otherwise. A hold is never released here.
    void refresh();
    // The three level-mode buttons follow `params` (the meter window's level
    // menu items).
    void setLevelButtons(const MeterParams& params);
    // Unregisters the panel from the engine and destroys every control (one
    // that waits in its menu or dialog goes when that has returned, see
    // platform/nested_loop.h). Returns 1.
    int destroy();
    // The Delay Synchronization knob shows `seconds` (no callback).
    void showDelay(float seconds);
    // Called when the user turns the Delay Synchronization knob (kept
    // across attach).
    std::function<void()> delayTurned;

    QWidget* mainWindow() const { return m_mainWindow; }
    MeterEngine* engine() const { return m_engine; }
    bool created() const { return m_holdButton != nullptr; }

    // The controls, in the order of the record.
    I2p* holdButton() const { return m_holdButton; }
    Rotatif* attackKnob() const { return m_attackKnob; }
    I2p* attackButton() const { return m_attackButton; }
    I2p* offsetButton() const { return m_offsetButton; }
    Rotatif* delayKnob() const { return m_delayKnob; }
    I2p* meterButton() const { return m_meterButton; }
    Rotatif* topKnob() const { return m_topKnob; }
    Rotatif* bottomKnob() const { return m_bottomKnob; }
    Rotatif* peakReleaseKnob() const { return m_peakReleaseKnob; }
    Rotatif* levelReleaseKnob() const { return m_levelReleaseKnob; }
    I2p* peakButton() const { return m_peakButton; }
    I2p* rmsButton() const { return m_rmsButton; }
    I2p* averageButton() const { return m_averageButton; }
    I2p* resetButton() const { return m_resetButton; }
    I2p* linearButton() const { return m_linearButton; }
    Rotatif* phaseKnob() const { return m_phaseKnob; }

private:
    static int onHold(void* panel, int id, float v);
    static int onMeter(void* panel, int id, float v);
    static int onReset(void* panel, int id, float v);
    static int onLinear(void* panel, int id, float v);
    static int onDelay(void* panel, int id, float v);
    static int onLevelMode(void* panel, int id, float v);
    static int onRange(void* panel, int id, float v);
    static int onAttack(void* panel, int id, float v);
    static int onAttackOn(void* panel, int id, float v);
    static int onOffset(void* panel, int id, float v);
    static int onPhase(void* panel, int id, float v);

    QWidget* m_mainWindow = nullptr;
    MeterEngine* m_engine = nullptr;
    I2p* m_holdButton = nullptr;
    Rotatif* m_attackKnob = nullptr;
    I2p* m_attackButton = nullptr;
    I2p* m_offsetButton = nullptr;
    Rotatif* m_delayKnob = nullptr;
    I2p* m_meterButton = nullptr;
    Rotatif* m_topKnob = nullptr;
    Rotatif* m_bottomKnob = nullptr;
    Rotatif* m_peakReleaseKnob = nullptr;
    Rotatif* m_levelReleaseKnob = nullptr;
    I2p* m_peakButton = nullptr;
    I2p* m_rmsButton = nullptr;
    I2p* m_averageButton = nullptr;
    I2p* m_resetButton = nullptr;
    I2p* m_linearButton = nullptr;
    Rotatif* m_phaseKnob = nullptr;
};

class AppShell;
class EngineOwner;
class WavSelector;
struct MeterWindowHooks;

// The panel as the shell drives it (attach, create and refresh at start-up;
// destroy at shut-down), the refresh after a WAV file is chosen, and what the
// meter window asks of the panel: the preset refresh and the level buttons.
// Made before the shell, which it must outlive; join() connects the two.
class ControlPanelPart final : public ShellPanel {
public:
    ControlPanelPart(WavSelector& selector, EngineOwner& engine);
    // Becomes the shell's panel part; the pictures come from the shell.
    void join(AppShell& shell);

    void createPanel(QWidget* face) override;
    void destroyPanel() override;

    ControlPanel& panel() { return m_panel; }
    // The meter window's panel hooks, for meterWindowSetHooks.
    static void fillWindowHooks(MeterWindowHooks& hooks);

private:
    AppShell* m_shell = nullptr;
    EngineOwner& m_engine;
    ControlPanel m_panel;
};
