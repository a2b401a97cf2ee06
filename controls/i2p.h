// I2p: the library's two-state image button. It shows its off or on picture
// and acts as a push button (on while held, reports on release inside), a
// toggle button or a radio button; a push button may repeat while held.
//
// The state is a float, 0.0 or 1.0, reported through the notifier and read or
// set with the control commands (3 and 4). Enter and Space press and release
// the button like the mouse, at the point (1, 1).
//
// Auto-repeat counts timer ticks, not time: the repeat timer (50 ms, on the
// owner's thread) calls repeatTick(), and each tick advances the count by one
// and reports at most once. A late or lost tick therefore shifts the schedule
// instead of producing a burst. While the pointer is outside the button the
// ticks neither report nor count, so moving back in resumes where the count
// stood.
//
// Thread: main thread only.
#pragma once

#include "controls/ctl_notifier.h"

#include <QBasicTimer>
#include <QImage>
#include <cstdint>

// Mode word: bits 12 to 15 pick the behaviour, plus option bits.
constexpr uint32_t kI2pPush = 0x1000;        // on while held; reports on release inside
constexpr uint32_t kI2pToggle = 0x2000;      // each press flips the state and reports it
constexpr uint32_t kI2pRadio = 0x8000;       // a press turns it on; off only by command 4
constexpr uint32_t kI2pAutoRepeat = 0x20000; // with push: repeat while held
constexpr uint32_t kI2pInert = 0x4000;       // as the whole word: no focus mark, no presses
constexpr uint32_t kI2pModeMask = 0xF000;
constexpr int kI2pRepeatTimerMs = 50;

class I2p : public CtlControl {
    Q_OBJECT
public:
    // Use ctlCreateButton / ctlCreateDefaultButton.
    I2p(QWidget* parent, int id, uint32_t mode, const QImage& off, const QImage& on,
        const QImage& disabled, const CtlNotifier& notifier);

    // Commands 1 and 2 (base), 3 (the state as float bits) and 4 (set the
    // state from float bits, any nonzero value giving 1.0, without notifying).
    int32_t command(int code, int32_t argument) override;

    float state() const { return m_state; }
    uint32_t mode() const { return m_mode; }
    bool pressed() const { return m_pressed; }
    // The repeat timer is running.
    bool repeating() const { return m_repeat.isActive(); }

    // One tick of the repeat timer. With c ticks counted since the press:
    // c <= 4 nothing, 5..20 a report when c is a multiple of 4, 21..40 when c
    // is even, from 41 on every tick; then the count advances. Paused (pointer
    // outside) or stopped: nothing, the count stays.
    void repeatTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void enabledChanged() override;

private:
    void press();
    void release(QPoint point);
    uint32_t behaviour() const { return m_mode & kI2pModeMask; }
    bool autoRepeat() const { return behaviour() == kI2pPush && (m_mode & kI2pAutoRepeat); }

    uint32_t m_mode;
    QImage m_off, m_on, m_disabled; // m_disabled may be null: the cross is drawn instead
    float m_state = 0.0f;
    bool m_pressed = false;     // a press is held (push, or any mode with gesture reports)
    uint32_t m_repeatCount = 0; // ticks counted since the press
    bool m_outside = true;      // repeats paused (pointer outside) or stopped
    QBasicTimer m_repeat;
};

// A button of the given mode word with its own pictures; the size is the off
// picture's. `disabled` may be a null image (a cross marks a disabled button).
// With a callback, notifications call it; otherwise they are posted to the
// parent. The notifier takes 0x40000000 from the mode word. nullptr without a
// parent.
I2p* ctlCreateButton(QWidget* parent, int id, int x, int y, uint32_t mode, const QImage& off,
                     const QImage& on, const QImage& disabled, CtlCallback callback,
                     void* userData);

// A button with the library's small pictures (bitmaps 0 and 1) reporting to
// its parent: toggle, push with 0x1000 in `options`, radio with 0x8000 (radio
// wins); 0x40000000 in `options` adds the begin and end reports.
I2p* ctlCreateDefaultButton(QWidget* parent, int id, int x, int y, uint32_t options);
