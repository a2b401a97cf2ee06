// The meter window: a separate, resizable, normally topmost window that shows
// the levels. It paints only its static parts itself; the render thread
// draws the moving parts into the same surface (meter_surface.h) and rings
// the window, which then shows the new pixels.
//
// All its state lives in the engine (window handle, window context, the
// parameter block with name and placement); the widget records itself there
// on creation and clears itself on destruction.
//
// Thread: main thread, except where a function says otherwise.
#pragma once

#include "controls/window_drag.h"
#include "display/window_placement.h"
#include "meter/meter_engine.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <map>
#include <memory>

class MeterSurface;
class QAction;
class QMenu;
class QSocketNotifier;

// The class name, kept as the widget's objectName.
inline constexpr const char* kMeterWindowClassName = "Korvalos_0001\u00A9Nomaxe";

// Command ids of the context menu and the two window-position items.
enum MeterWindowCommand : int {
    kCmdFrameRateBase = 100, // 102..130: "2".."30" frames per second
    kCmdFrameRateEnd = 140,  // ids between the base and this set the frame rate
    kCmdPeakLevel = 300,
    kCmdRmsLevel = 301,
    kCmdAverageLevel = 302,
    kCmdAlwaysVisible = 500,
    kCmdNotifyLoss = 501,
    kCmdRelaxMode = 502,
    kCmdFollowDelay = 503,
    kCmdDefaultOptions = 600,
    kCmdChangeName = 601,
    kCmdXyScope = 700,            // opens or closes the X/Y scope
    kCmdLoudnessTargetBase = 710, // 710..713: the rows of "Loudness Target"
    kCmdLoudness = 720,           // "Loudness (EBU R128)"
    kCmdResetMax = 1000,
    kCmdPresetBase = 1100, // 1100..1102
    kSysWhereIsWindow = 1,
    kSysSetDefaultPosition = 2,
};

// What the rest of the program lends the meter window. Each member may stay
// empty; the matching menu item then does nothing more than its own part.
struct MeterWindowHooks {
    // The control panel's refresh from new parameters (it may show or close
    // this window again).
    std::function<void(void* panel)> refreshPanel;
    // The control panel's three level-mode buttons follow the parameters.
    std::function<void(void* panel, const MeterParams& params)> setLevelButtons;
    // "Default Options...": opens the options dialog for option set 27 at a
    // screen point; returns 1 when it was closed with OK.
    std::function<int(QWidget* window, QPoint screenPoint)> openOptions;
    // The source being metered, as people read it: the tooltip over the
    // title band.
    std::function<QString()> sourceText;
    // "Follow the Output Delay": whether it is on, and switching it.
    std::function<bool()> followDelay;
    std::function<void(bool on)> setFollowDelay;
};
void meterWindowSetHooks(MeterWindowHooks hooks);

struct MeterWindow : public QWidget {
public:
    MeterWindow(MeterEngine* engine, const WindowRect& rect);
    ~MeterWindow() override;

    MeterEngine* engine() const { return m_engine.load(); }
    // The engine is going away (any thread): the window must not touch it again.
    void detachEngine() { m_engine.store(nullptr); }

    const std::shared_ptr<MeterSurface>& surface() const { return m_surface; }
    // Asks for a new face: the static parts painted afresh, then the last
    // frame's moving parts drawn onto it.
    void invalidateFace();
    // Puts a pending new face in now (tests, screenshots).
    void paintStaticNow();

    // The context menu with its marks set from the current state, as a right
    // click would show it.
    QMenu* prepareContextMenu();
    QAction* action(int id) const;
    void command(int id);
    void systemCommand(int id);
    // Sets the caption and the engine's windowName (at most 31 bytes).
    void setMeterName(const QString& name);

    // The normal (restored) rectangle as left, top, right, bottom.
    void normalEdges(int32_t edges[4]) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Uncovered parts of the window, seen on its native window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildLoudnessMenu();
    // Command groups: the level mode, the frame-loss options, the loudness
    // view, and the rest.
    void levelCommand(int id, MeterParams& p, void* panel);
    void lossCommand(int id);
    void loudnessCommand(int id);
    void windowCommand(int id, const MeterParams& p);
    void setTopmost(bool on);
    void recordPlacement();
    // What closing ends: the engine's record of the window, the surface's
    // registration, an options dialog opened from here. Runs once.
    void teardown();
    // The native window the frames go to.
    uintptr_t nativeWindow() const;

    std::atomic<MeterEngine*> m_engine; // cleared when the engine goes first
    std::shared_ptr<MeterSurface> m_surface;
    QSocketNotifier* m_wake = nullptr;
    QMenu* m_menu = nullptr;
    QMenu* m_frameRateMenu = nullptr;
    QMenu* m_loudnessTargetMenu = nullptr;
    int m_loudnessTarget = 0; // row of kLoudnessTargets
    std::map<int, QAction*> m_actions;
    std::map<int, QAction*> m_systemActions;
    WindowDrag m_drag;
    QPoint m_menuPoint;        // screen point of the right click that opened the menu
    bool m_staticDirty = true; // a new face waits to be painted
    bool m_direct = true;      // frames may go to the screen without this thread (X11)
    bool m_tornDown = false;
};

// Shows the engine's meter window, creating it at the remembered, stored or
// default place when there is none.
MeterWindow* meterWindowShow(MeterEngine* engine);
// Closes the engine's meter window if it is open.
void meterWindowClose(MeterEngine* engine);
// The open meter window of an engine, or null.
MeterWindow* meterWindowOf(MeterEngine* engine);

// Connects the engine to the display: the frame renderer and the window host.
// Call at start-up before meterCreate; the remove call after the last engine
// is gone.
void displayInstallHooks();
void displayRemoveHooks();
