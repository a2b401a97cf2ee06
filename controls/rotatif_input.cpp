// The knob's mouse, wheel and keyboard: dragging turns it, the wheel and the
// arrow keys step it.
#include "controls/rotatif.h"

#include "controls/ctl_core.h"
#include "controls/rotatif_parts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>

using namespace rotatif_parts;

const char* Rotatif::boxText() {
    const float v = m_range.shown(m_range.value);
    const int n = ctlFormatNumber(v, m_text, sizeof m_text - 4, m_range.decimals, 0, 0);
    if (m_range.decibel())
        std::memcpy(m_text + n, " db", 4);
    return m_text;
}

void Rotatif::beginDrag(QPoint at) {
    setFocus(Qt::MouseFocusReason);
    if (m_dragging || !controlEnabled())
        return;
    captureMouse();
    const CtlOptions& o = ctlOptions();
    if (o.infoValue & kInfoBoxOn) {
        // Corners 1..4 as the menu offers; any other stored corner shows the
        // box at the right bottom, the library's default.
        const int corner = static_cast<int>(o.infoValue & 0xF);
        int bx = x() + width(), by = y() + height();
        if (corner == 1 || corner == 4)
            bx = x() - kValueBoxWidth;
        if (corner == 1 || corner == 2)
            by = y() - kValueBoxHeight;
        ctlShowValueBox(parentWidget(), bx, by, boxText());
    }
    m_dragging = true;
    m_lastX = at.x();
    m_lastY = at.y();
    repaint();
    refreshSlider();
    if (gestureNotifications())
        notify(controlId() | kCtlGestureBegin, 0.0f);
}

void Rotatif::mousePressEvent(QMouseEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    switch (event->button()) {
    case Qt::LeftButton:
        if (mods & Qt::ControlModifier) {
            editValue();
        } else if (mods & Qt::ShiftModifier) {
            openSlider();
        } else {
            m_movesAllowed = false;
            beginDrag(event->position().toPoint());
            if (!m_dragging)
                return;
            const uint32_t latency = ctlOptions().rotLatency;
            if (latency > 0 && !m_delay.isActive())
                m_delay.start(static_cast<int>(latency), Qt::PreciseTimer, this);
            if (!m_delay.isActive())
                m_movesAllowed = true;
        }
        break;
    case Qt::RightButton:
        if (!controlEnabled() || m_dragging)
            return;
        if (mods & Qt::ShiftModifier)
            openSlider();
        else
            showMenu(event->position().toPoint());
        break;
    case Qt::MiddleButton:
        if (m_dragging)
            return;
        if (mods & Qt::ShiftModifier)
            openSlider();
        else
            editValue();
        break;
    default:
        break;
    }
}

void Rotatif::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_delay.timerId()) {
        m_delay.stop();
        m_movesAllowed = true;
    } else {
        CtlControl::timerEvent(event);
    }
}

void Rotatif::mouseMoveEvent(QMouseEvent* event) {
    if (!m_movesAllowed)
        return;
    const QPoint p = event->position().toPoint();
    dragTo(static_cast<int16_t>(p.x()), static_cast<int16_t>(p.y()));
}

void Rotatif::dragTo(int x, int y) {
    if (!m_dragging) {
        m_lastX = x;
        m_lastY = y;
        return;
    }
    const uint32_t mode = ctlOptions().rotMode;
    const bool continuous = notifier().flags & kKnobContinuous;
    if (mode & 2) {
        const float dx = static_cast<float>(x - m_centreX);
        const float dy = static_cast<float>(m_centreY - y);
        const float r = std::sqrt(dx * dx + dy * dy);
        if (r <= 1e-20f)
            return; // on the centre: no direction, the point is not recorded
        float a = std::acos(dx / r);
        if (dy <= 0.0f)
            a = kKnobTwoPi - a;
        float h = m_range.start - a;
        if (a >= m_range.start)
            h += kKnobTwoPi;
        if (h > m_range.sweep())
            a = h > m_range.deadZoneMiddle() ? m_range.start : m_range.end;
        if (a != m_shownAngle && m_range.setFromAngle(a)) {
            m_shownAngle = a;
            repaint();
            refreshSlider();
        }
        ctlSetValueBoxText(boxText());
        m_lastX = x;
        m_lastY = y;
        if (continuous)
            notify(controlId(), m_range.value);
        return;
    }
    const int dx = x - m_lastX, dy = y - m_lastY;
    const int n = std::abs(dy) > std::abs(dx) ? (mode ? dy : -dy) : dx;
    const bool changed = m_range.stepBy(n);
    if (changed)
        showAngle(m_range.angleOf(m_range.value));
    ctlSetValueBoxText(boxText());
    refreshSlider();
    m_lastX = x;
    m_lastY = y;
    if (changed && continuous)
        notify(controlId(), m_range.value);
}

void Rotatif::endDrag() {
    releaseCapture();
    m_dragging = false;
    m_delay.stop();
    repaint();
    ctlHideValueBox();
    refreshSlider();
    const int id = controlId();
    notify(id, m_range.value);
    if (m_range.style & kKnobSpringBack) {
        takeValue(m_range.defaultValue);
        refreshSlider();
        notify(id, m_range.value);
    }
    if (gestureNotifications())
        notify(id | kCtlGestureEnd, 0.0f);
}

void Rotatif::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragging)
        endDrag();
}

void Rotatif::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not a second press: only the left double-click acts.
    if (event->button() == Qt::LeftButton)
        resetToDefault();
}

void Rotatif::wheelEvent(QWheelEvent* event) {
    // Five steps a notch (120). Touchpads and smooth wheels send parts of a
    // notch, which alone would truncate to no step at all: the part left
    // over is kept for the next event, so whole notches act as before.
    m_wheelRest += -5 * event->angleDelta().y();
    int n = m_wheelRest / 120;
    m_wheelRest -= n * 120;
    if (!(ctlOptions().rotMode & 1))
        n = -n;
    stepAndShow(n);
    refreshSlider();
    event->accept();
}

void Rotatif::keyPressEvent(QKeyEvent* event) {
    int n = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        n = -1;
        break;
    case Qt::Key_Right:
        n = 1;
        break;
    case Qt::Key_Up:
        n = 10;
        break;
    case Qt::Key_Down:
        n = -10;
        break;
    case Qt::Key_Insert:
        if (!m_dragging && editable())
            editValue();
        return;
    default:
        CtlControl::keyPressEvent(event);
        return;
    }
    if (!m_dragging && !(m_range.style & kKnobSpringBack))
        stepAndShow(n);
}
