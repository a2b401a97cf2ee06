// The X/Y scope window "X/Y": the stereo image of what the meter measures as
// a trace, in a separate resizable top-level window opened from the meter
// window's menu item "X/Y Scope".
//
// Who owns what:
//   - The engine's stream thread writes the delayed sample pairs into the
//     engine's scope ring while a scope is open (meterSetScope).
//   - The render thread, at every meter frame, takes the range and draws the
//     trace into the scope's surface (xy_scope_painter.h) and sends it to the
//     screen through the surface's presenter, or wakes this window to show it.
//   - The main thread paints the graticule as the surface's face on every
//     resize and draws the trace once more onto it, so that a resized or
//     uncovered scope shows the last trace even while nothing plays.
//   - The window's view (surface, face, range state, engine) is shared with
//     the render thread through a small registry keyed by engine; the engine
//     going away (on any thread) clears the view's engine before the window
//     closes on the main thread.
//
// Its place and whether it is open are stored beside the meter window's
// values when it closes; a shut-down keeps it marked open, so the next start
// opens it again (xyScopeRestore).
//
// Thread: main thread, except where a function says otherwise.
#pragma once

#include "controls/window_drag.h"
#include "display/window_placement.h"
#include "meter/meter_hooks.h"

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>

class MeterSurface;
class QAction;
class QMenu;
class QSocketNotifier;
struct MeterEngine;
struct XyScopeView;

inline constexpr const char* kXyScopeTitle = "X/Y";
inline constexpr int kXyScopeSize = 300; // the first size, square
// Its options dialog: the meter window's option set in the X/Y variant.
inline constexpr uint32_t kXyScopeOptionFlags = 27 | 0x20;

// Command ids of the scope's context menu.
enum XyScopeCommand : int {
    kXyCmdDefaultOptions = 600,
    kXyCmdResetRange = 1000,
};

class XyScopeWindow : public QWidget {
public:
    XyScopeWindow(MeterEngine* engine, const WindowRect& rect);
    ~XyScopeWindow() override;

    // The engine, or null once it has gone.
    MeterEngine* engine() const;
    const std::shared_ptr<MeterSurface>& surface() const { return m_surface; }
    QMenu* contextMenu() const { return m_menu; }
    QAction* action(int id) const;
    void command(int id);
    // Puts a pending new face in now, with the trace drawn onto it (tests).
    void paintFaceNow();
    // The engine is going: keeps the place with the scope marked open for the
    // next start, then closes (later, while a handler of its own waits in a
    // nested event loop).
    void closeForShutdown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMenu(QPoint screenPoint);
    // The trace drawn again onto the current face (after OK in the options).
    void redrawTrace();
    void storePlacement(int32_t open);
    void teardown();
    uintptr_t nativeWindow() const;

    std::shared_ptr<XyScopeView> m_view;
    std::shared_ptr<MeterSurface> m_surface;
    QSocketNotifier* m_wake = nullptr;
    QMenu* m_menu = nullptr;
    std::map<int, QAction*> m_actions;
    WindowDrag m_drag;
    QPoint m_menuPoint;      // screen point of the click that opened the menu
    bool m_faceDirty = true; // a new face waits to be painted
    bool m_direct = true;    // frames may go to the screen without this thread (X11)
    bool m_tornDown = false;
    bool m_shutDown = false;      // closing for the engine's end: stays marked open
    int m_nested = 0;             // own handlers waiting in a nested event loop
    bool m_deletePending = false; // deleted once they have returned
    friend struct XyNestedScope;
};

// The engine's scope, or null.
XyScopeWindow* xyScopeOf(MeterEngine* engine);
// Opens the engine's scope (beside `meter`, the meter window, when it has no
// stored place) or raises the open one.
XyScopeWindow* xyScopeShow(MeterEngine* engine, const QWidget* meter = nullptr);
// Closes the engine's scope as its close box does.
void xyScopeClose(MeterEngine* engine);
// Start-up: opens the scope when it was open at the end of the last run.
void xyScopeRestore(MeterEngine* engine);
// The engine is going (any thread; see MeterWindowHost::engineClosing).
void xyScopeEngineClosing(MeterEngine* engine);

// The render thread's per-frame drawing: the meter window's frame, then the
// scope's trace.
MeterFrameRenderer& displayFrameRenderers();
