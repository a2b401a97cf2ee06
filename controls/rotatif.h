// Rotatif: the library's rotary knob. It shows a round picture with a pointer
// over it and holds one float value of a KnobRange, changed by dragging
// (linear, inverse or angular), the arrow keys, the wheel, double-click (back
// to the default), a context menu, the entry dialogs and the precision slider.
//
// The value rules live in KnobRange; this class turns input into those rules,
// paints, and reports through its notifier. Every path finishes updating the
// knob's own state (value, shown angle, drag state, picture) before it
// notifies, because a callback runs inside the knob's event handling and may
// send commands to this knob or a sibling.
//
// While the value moves the knob paints into its own cached image and repaints
// synchronously, so the pointer follows the mouse without waiting for the
// event loop. The knob's own move path allocates nothing (the picture, the
// text buffer and the menu are made once); Qt's synchronous repaint and its
// painters still make small allocations of their own (see bench/).
//
// The mouse mode, moves display, latency and value box options are the
// library's (ctlOptions()), shared by every knob and saved by the library.
//
// Thread: main thread only.
#pragma once

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_notifier.h"
#include "controls/knob_range.h"

#include <QBasicTimer>
#include <QImage>
#include <QRegion>
#include <cstdint>

class QMenu;
class QAction;

// Commands of the knob beyond 1..4 (the menu sends them to the knob itself).
constexpr int kKnobCmdInverseMode = 10;
constexpr int kKnobCmdAngularMode = 12;
constexpr int kKnobCmdShowMoves = 20;
constexpr int kKnobCmdCurrentValue = 50; // grey menu item, no action
constexpr int kKnobCmdDefault = 100;
constexpr int kKnobCmdMinimum = 101;
constexpr int kKnobCmdMaximum = 102;
constexpr int kKnobCmdEdit = 103;
constexpr int kKnobCmdAdjust = 104;
constexpr int kKnobCmdSliderClosed = 105; // the precision slider's close code
constexpr int kKnobCmdLatency = 1000;     // 1000 + milliseconds, up to 1999
constexpr int kKnobCmdInfoBox = 2000;     // 2000 toggles the box, 2001..2004 pick a corner

// Style code of the entry dialogs opened by a knob.
constexpr uint32_t kKnobEntryStyle = ctlStyle(kCtlBlack, kCtlGrey230, kCtlFont16Bold);

class Rotatif : public CtlControl {
    Q_OBJECT
public:
    // Use ctlCreateKnob.
    Rotatif(QWidget* parent, int id, const QImage& picture, int centreX, int centreY,
            const KnobRange& range, const CtlNotifier& notifier);
    ~Rotatif() override;

    // Commands 1 and 2 (base), 3 (value bits), 4 (set the value from float
    // bits, no notification), and the menu commands above. Others return 0.
    int32_t command(int code, int32_t argument) override;

    const KnobRange& range() const { return m_range; }
    float value() const { return m_range.value; }
    uint32_t style() const { return m_range.style; }
    // Where the pointer is drawn (radians) and the angle of the default.
    float shownAngle() const { return m_shownAngle; }
    float initialAngle() const { return m_initialAngle; }
    QPoint centre() const { return {m_centreX, m_centreY}; }
    bool dragging() const { return m_dragging; }
    // Mouse moves are taken (false during the latency after a press).
    bool movesAllowed() const { return m_movesAllowed; }
    // The knob as last painted (only its disc is shown on screen).
    const QImage& picture() const { return m_surface; }
    QMenu* contextMenu() const { return m_menu; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void buildMenu();
    void showMenu(QPoint at);
    void render();
    void paintMoves(class Dc& dc);
    void paintPointer(class Dc& dc);
    // Repaints at once when `angle` differs from the shown angle.
    void showAngle(float angle);
    // The set-value rule, with the repaint; true when the value changed.
    bool takeValue(float v);
    // A step of the keys, wheel or linear drag: repaint and, with continuous
    // notification, report a change.
    bool stepAndShow(int n);
    void beginDrag(QPoint at);
    void endDrag();
    void dragTo(int x, int y);
    // begin (optional), (id, value), end (optional).
    void announce();
    void resetToDefault();
    void editValue();
    void openSlider();
    void refreshSlider();
    bool sliderAttached() const;
    bool editable() const { return !(m_range.style & kKnobNoEdit); }
    const char* boxText();

    QImage m_picture;
    const QImage* m_mask = nullptr; // shared round mask; none: plain copy
    int m_centreX, m_centreY;
    KnobRange m_range;
    int m_pointerLength, m_pointerWidth = 2;
    float m_shownAngle = 0.0f;
    float m_initialAngle = 0.0f;
    bool m_dragging = false;
    bool m_movesAllowed = false;
    int m_lastX = 0, m_lastY = 0;
    int m_wheelRest = 0; // wheel delta x 5 not yet turned into steps (below 120)
    QBasicTimer m_delay; // Rot_Latency after a press
    QImage m_surface;    // the knob as painted at the screen's ratio, reused by every repaint
    QRegion m_shape;     // the part of the knob shown: its disc
    QMenu* m_menu = nullptr;
    QAction* m_currentItem = nullptr;
    char m_text[64] = {}; // value box and menu text buffer
};

// Creates a knob at (x, y) of `parent` showing `picture` (black outside its
// circle; the knob takes its size), turning about (centreX, centreY) from
// startDegrees (minimum) clockwise to endDegrees (maximum). The value starts
// at `defaultValue`. With a callback, notifications call it with userData;
// otherwise they are posted to the parent. Returns nullptr without a parent
// or picture, for an id outside 0..0x3FFF (its bits would collide with the
// gesture marks) and for a range the rules are not defined for
// (KnobRange::usable).
Rotatif* ctlCreateKnob(QWidget* parent, int id, int x, int y, uint32_t style, const QImage& picture,
                       int centreX, int centreY, int16_t startDegrees, int16_t endDegrees,
                       float minimum, float maximum, float defaultValue, float step,
                       CtlCallback callback, void* userData);
