#include "controls/i2p.h"

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_hires.h"
#include "controls/held_keys.h"
#include "platform/dc.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include <cmath>

namespace {

// Keys that press and release the button.
bool isPressKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

// Where a key press or release acts: inside the button.
constexpr QPoint kKeyPoint(1, 1);

} // namespace

I2p::I2p(QWidget* parent, int id, uint32_t mode, const QImage& off, const QImage& on,
         const QImage& disabled, const CtlNotifier& notifier)
    : CtlControl(parent, kCtlClassI2p), m_mode(mode), m_off(off), m_on(on), m_disabled(disabled) {
    initControl(id, notifier, mode != kI2pInert);
    // The whole control is painted from its pictures; nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(off.size());
    ctlHoldKeys(this);
}

int32_t I2p::command(int code, int32_t argument) {
    switch (code) {
    case kCtlCmdGetValue:
        return ctlValueBits(m_state);
    case kCtlCmdSetValue: {
        const float state = ctlBitsValue(argument) != 0.0f ? 1.0f : 0.0f;
        if (state != m_state) {
            m_state = state;
            update();
        }
        return 0;
    }
    default:
        return CtlControl::command(code, argument);
    }
}

void I2p::press() {
    if (!controlEnabled() || m_pressed) {
        return;
    }
    const int id = controlId();
    switch (behaviour()) {
    case kI2pPush:
        setFocus(Qt::MouseFocusReason);
        m_state = 1.0f;
        m_pressed = true;
        captureMouse();
        if (gestureNotifications()) {
            notify(id | kCtlGestureBegin, 0.0f);
        }
        if (autoRepeat()) {
            m_outside = false;
            m_repeatCount = 0;
            m_repeat.start(kI2pRepeatTimerMs, Qt::PreciseTimer, this);
            notify(id, 1.0f);
        }
        break;
    case kI2pToggle:
    case kI2pRadio:
        setFocus(Qt::MouseFocusReason);
        if (behaviour() == kI2pRadio && m_state != 0.0f) {
            return; // already on: only the focus
        }
        m_state = m_state != 0.0f ? 0.0f : 1.0f;
        if (gestureNotifications()) {
            notify(id | kCtlGestureBegin, 0.0f);
            captureMouse();
            m_pressed = true;
        }
        notify(id, m_state);
        break;
    default:
        return; // draws, never reacts
    }
    update();
}

void I2p::release(QPoint point) {
    if (!controlEnabled() || !m_pressed) {
        return;
    }
    const int id = controlId();
    m_pressed = false;
    if (behaviour() == kI2pPush) {
        setFocus(Qt::MouseFocusReason);
        releaseCapture();
        if (autoRepeat()) {
            m_outside = true;
            m_repeat.stop(); // the press already reported; the release adds nothing
        } else if (ctlPointInClient(this, point.x(), point.y())) {
            notify(id, 1.0f);
        }
        m_state = 0.0f;
    } else {
        releaseCapture();
    }
    if (gestureNotifications()) {
        notify(id | kCtlGestureEnd, 0.0f);
    }
    update();
}

void I2p::repeatTick() {
    if (m_outside) {
        return;
    }
    const uint32_t c = m_repeatCount;
    const bool report =
        (c >= 5 && c <= 20 && c % 4 == 0) || (c >= 21 && c <= 40 && c % 2 == 0) || c >= 41;
    if (report) {
        notify(controlId(), 1.0f);
    }
    ++m_repeatCount;
}

void I2p::enabledChanged() {
    // A held press cannot end while the button is disabled (a disabled button
    // ignores the release), so disabling ends it here: otherwise the mouse
    // capture and the repeats would outlive the gesture.
    if (controlEnabled() || !m_pressed) {
        return;
    }
    m_pressed = false;
    releaseCapture();
    m_repeat.stop();
    m_outside = true;
    if (behaviour() == kI2pPush) {
        m_state = 0.0f;
    }
    if (gestureNotifications()) {
        notify(controlId() | kCtlGestureEnd, 0.0f);
    }
}

void I2p::paintEvent(QPaintEvent* /*event*/) {
    // Painted at the screen's device pixel ratio; at 1 pixel for pixel.
    const qreal dpr = devicePixelRatioF();
    QImage surface(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)),
                   QImage::Format_RGB32);
    surface.setDevicePixelRatio(dpr);
    surface.fill(Qt::black);
    const QImage& picture = m_state != 0.0f ? m_on : m_off;
    {
        Dc dc(surface);
        ctlBlitSharp(dc, picture, 0, 0, width(), height());
        if (!controlEnabled()) {
            if (!m_disabled.isNull()) {
                ctlBlitSharp(dc, m_disabled, 0, 0, width(), height());
            } else {
                ctlDrawCross(dc, 0, 0, width(), height());
            }
        } else if (focusMarked()) {
            ctlDrawCorner(dc, 0, 0);
        }
    }
    QPainter(this).drawImage(QPointF(0, 0), surface);
}

void I2p::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        press();
    }
}

void I2p::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        release(event->position().toPoint());
    }
}

void I2p::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed && autoRepeat() && controlEnabled()) {
        const QPoint p = event->position().toPoint();
        m_outside = !ctlPointInClient(this, p.x(), p.y());
    }
}

void I2p::keyPressEvent(QKeyEvent* event) {
    // A held key repeats its press: a held push button ignores the repeats,
    // a toggle or radio button without gesture reports takes each as a press.
    if (isPressKey(event->key())) {
        press();
    }
}

void I2p::keyReleaseEvent(QKeyEvent* event) {
    // Repeats of a held key come as release and press pairs on X; the pairs
    // arrive marked as repeats (ctlHoldKeys), and only the real release ends
    // the press.
    if (isPressKey(event->key()) && !event->isAutoRepeat()) {
        release(kKeyPoint);
    }
}

void I2p::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_repeat.timerId()) {
        repeatTick();
    } else {
        CtlControl::timerEvent(event);
    }
}

I2p* ctlCreateButton(QWidget* parent, int id, int x, int y, uint32_t mode, const QImage& off,
                     const QImage& on, const QImage& disabled, CtlCallback callback,
                     void* userData) {
    if (!parent) {
        return nullptr; // a child control needs its parent
    }
    CtlNotifier notifier{parent, callback, 0, userData};
    if (callback) {
        notifier.flags |= kCtlUseCallback;
    }
    notifier.flags |= mode & kCtlNotifyGestures;
    auto* button = new I2p(parent, id, mode, off, on, disabled, notifier);
    button->move(x, y);
    button->show();
    return button;
}

I2p* ctlCreateDefaultButton(QWidget* parent, int id, int x, int y, uint32_t options) {
    uint32_t mode = kI2pToggle;
    if (options & kI2pRadio) {
        mode = kI2pRadio;
    } else if (options & kI2pPush) {
        mode = kI2pPush;
    }
    mode |= options & kCtlNotifyGestures;
    return ctlCreateButton(parent, id, x, y, mode, ctlBitmap(kCtlBitmapButtonOff),
                           ctlBitmap(kCtlBitmapButtonOn), QImage(), nullptr, nullptr);
}
