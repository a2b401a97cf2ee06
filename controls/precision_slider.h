// The "Precision Tri Slider": one small modeless window of the control
// library in which the user sets a control's value finely. Three vertical
// rulers show the neighbourhood of the value at three resolutions, each 100
// times finer than the one on its left; dragging the mouse in a ruler moves
// the value by that ruler's step per pixel (along the larger of the two
// movements), and every change goes to the control at once (command 4) and
// to the control's owner (a notification with the control's id).
//
// There is at most one slider. It records itself in ctlPopups() while it is
// open; opening it again re-targets or refreshes the open one, and it takes
// the keyboard focus when it opens or moves to another control, so that
// Escape closes it at once. Closing it (Escape, the close box, close(), the
// library's shut-down) sends the control its close code while the library's
// notifications are enabled.
//
// A decibel control (style bit 0x00400000) is worked on in decibels and
// receives linear gains. A range the rules give no steps for (a span of 0,
// not a number, a decibel bound that is not positive) leaves the window
// usable: it shows hatched rulers and never changes the value.
//
// Thread: main thread only.
#pragma once

#include "controls/ctl_notifier.h"
#include "controls/window_drag.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>

struct KnobRange;
class I2p;

// Size asked for at opening; the client is kSliderWidth wide and
// kSliderHeight less the caption high.
constexpr int kSliderWidth = 231;
constexpr int kSliderHeight = 320;
// Command id of the inverse-mode switch.
constexpr int kSliderInverseId = 100;
// Decibel style bit of the control's style flags.
constexpr uint32_t kSliderDecibel = 0x00400000;

// Opens the slider at the screen point (x, y) for `control`: values go to it
// with command 4, notifications through `notifier` with `id`, and
// `closeCode` is sent to it when the slider closes. The value, minimum and
// maximum are taken from `range`. If the slider is open already, it keeps its
// place and size, takes the new control and parameters, redraws and comes to
// the top with the focus. `owner` is the window the slider belongs to (it
// goes away with it); it may be nullptr.
void OpenPrecisionSlider(QWidget* owner, QWidget* control, uint32_t style, int x, int y,
                         int closeCode, const CtlNotifier& notifier, int id,
                         const KnobRange& range);

// Called by a control whose value changed by other means. Nothing when the
// slider is closed. Open for the same control and notifier: takes only the
// value, minimum and maximum again (the steps stay). Open for another control:
// moves to this one as OpenPrecisionSlider does. Then redraws and raises it.
void RefreshPrecisionSlider(QWidget* control, uint32_t style, int closeCode,
                            const CtlNotifier& notifier, int id, const KnobRange& range);

class PrecisionSlider;
// The open slider, or nullptr.
PrecisionSlider* ctlPrecisionSlider();
// The control the open slider works for; nullptr when it is closed.
QWidget* ctlPrecisionSliderTarget();

// Parameters of the rulers, from a control's range.
struct SliderParams {
    double value = 0.0;   // working value (decibels for a decibel control)
    double minimum = 0.0; // likewise
    double maximum = 0.0;
    double span = 0.0;             // maximum - minimum
    int decimals = 5;              // of the labels, 1..5
    std::array<double, 3> steps{}; // per pixel: coarse, medium, fine
    bool usable = false;           // the steps are defined; otherwise nothing moves
};
// value, minimum, maximum from `range` (exchanged if the maximum is below the
// minimum), converted to decibels when `style` has kSliderDecibel (the bounds
// truncated to whole decibels); c = log10(span) rounded away from zero, unit
// 10^c, decimals 6 - c within 1..5, steps unit x 1e-3, 1e-5, 1e-7.
SliderParams sliderParams(const KnobRange& range, uint32_t style);

class PrecisionSlider : public QWidget {
    Q_OBJECT
public:
    // Use OpenPrecisionSlider.
    PrecisionSlider(QWidget* owner, int x, int y);
    ~PrecisionSlider() override;

    // The target and its parameters, in full.
    void retarget(QWidget* control, uint32_t style, int closeCode, const CtlNotifier& notifier,
                  int id, const KnobRange& range);
    // Only the value, minimum and maximum again; the steps stay.
    void takeValues(const KnobRange& range);
    // Draws the rulers into their image and shows them at once.
    void showRulers();
    // Draws the rulers into their image only.
    void drawRulers();
    bool sameTarget(const QWidget* control, const CtlNotifier& notifier) const;
    // Shows and raises the window; with `takeFocus` it also becomes the
    // active window with the keyboard focus.
    void bringUp(bool takeFocus);
    // A drag step is sending its value to the control and its owner.
    bool sending() const { return m_sending; }

    QWidget* target() const { return m_target.data(); }
    const SliderParams& params() const { return m_params; }
    double value() const { return m_params.value; }
    // Active ruler: 0 none, 1 coarse, 2 medium, 3 fine.
    int column() const { return m_column; }
    // Client width and height; the rulers image is W x (H - 40) shown at (0, 20).
    int clientWidth() const { return m_w; }
    int clientHeight() const { return m_h; }
    const QImage& rulers() const { return m_rulers; }
    I2p* inverseSwitch() const { return m_switch; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void paintFace();
    void endColumnDrag();
    void finish();

    // Client size and ruler layout.
    int m_w = 0, m_h = 0;
    std::array<int, 3> m_columnX{};
    int m_innerWidth = 0; // of a column
    int m_centre = 0;     // centre row of the rulers

    // Target.
    QPointer<QWidget> m_target; // receives command 4 and the close code
    bool m_targetGiven = false; // a control was given (m_target null now: it is gone)
    int m_closeCode = 0;
    CtlNotifier m_notifier;
    int m_id = 0;
    uint32_t m_style = 0;
    SliderParams m_params;

    // Mouse.
    int m_column = 0;
    QPoint m_last;
    QPointer<QWidget> m_previousCapture; // explicit grabber before a column drag
    WindowDrag m_drag;

    QImage m_face;   // client background and texts, drawn once
    QImage m_rulers; // the three rulers
    I2p* m_switch = nullptr;
    bool m_sending = false;  // inside a drag step's command and notification
    bool m_finished = false; // the close work has run
};
