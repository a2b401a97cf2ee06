// Window helpers of the control library: geometry questions and keyboard
// navigation over child controls.
//
// Thread: main thread only.
#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>
#include <Qt>

class QImage;
class QWidget;

// 1 when the client point (x, y) lies inside `window`'s client rectangle.
int ctlPointInClient(const QWidget* window, int x, int y);

// Moves the focus among `parent`'s direct child widgets (creation order,
// enabled ones only, wrapping to the first child in both directions) when
// `key` is Qt::Key_Tab (forward; backward with Shift) or Qt::Key_Backtab.
// Returns 0 when the key was Tab and the focus moved, 1 for any other key.
// Call it from the parent's focusNextPrevChild or key handling.
int ctlTabNavigate(QWidget* parent, int key, Qt::KeyboardModifiers modifiers);

// Mouse capture that hands the mouse back: ctlTakeMouse grabs it for `w`
// (when shown) and remembers in `previous` the widget that held it before;
// ctlReturnMouse releases it and gives it back to that widget if it is still
// shown.
void ctlTakeMouse(QWidget* w, QPointer<QWidget>& previous);
void ctlReturnMouse(QWidget* w, QPointer<QWidget>& previous);

// Moves the top-level `window` so that its frame lies on its screen, keeping
// its size, and shows it.
void ctlKeepOnScreen(QWidget* window);

// Size of the screen `window` is on (the primary screen for nullptr).
QSize ctlScreenSize(const QWidget* window = nullptr);

// Width and height of a bitmap.
QSize ctlBitmapSize(const QImage& bitmap);

struct CtlFrameMetrics {
    int dialogFrame; // frame width our frameless dialogs draw around their client
    int caption;     // title bar height
    int menu;        // menu bar height
};
// From the application style; measured once, then cached.
CtlFrameMetrics ctlFrameMetrics();
