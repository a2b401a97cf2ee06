#include "controls/ctl_notifier.h"

#include "controls/ctl_core.h"
#include "controls/ctl_window.h"

#include <QCoreApplication>
#include <QKeyEvent>

int ctlNotify(const CtlNotifier& notifier, int code, float value) {
    if (!ctlNotificationsEnabled()) {
        return 0;
    }
    if (notifier.flags & kCtlUseCallback) {
        return notifier.callback ? notifier.callback(notifier.userData, code, value) : 0;
    }
    if (!notifier.parent) {
        return 0;
    }
    // Receivers look at the low 16 bits of the code only.
    QCoreApplication::postEvent(notifier.parent,
                                new CtlNotifyEvent(code & 0xFFFF, ctlValueBits(value)));
    return 1;
}

CtlControl::CtlControl(QWidget* parent, const char* className) : QWidget(parent) {
    setObjectName(QString::fromUtf8(className));
    // A tab stop that also takes the focus when clicked, enabled or not.
    setFocusPolicy(Qt::StrongFocus);
    // Closing a control destroys it, as for any library window.
    setAttribute(Qt::WA_DeleteOnClose);
}

void CtlControl::initControl(int id, const CtlNotifier& notifier, bool focusMark) {
    m_id = id;
    m_notifier = notifier;
    m_focusMark = focusMark;
    m_enabled = true;
    m_focused = false;
}

int32_t CtlControl::command(int code, int32_t /*argument*/) {
    if (code == kCtlCmdEnable || code == kCtlCmdDisable) {
        const bool enable = code == kCtlCmdEnable;
        if (enable != m_enabled) {
            m_enabled = enable;
            enabledChanged();
            update();
        }
    }
    return 0;
}

void CtlControl::captureMouse() {
    m_capturing = true;
    // A press by key on a hidden control simply has nothing to capture.
    ctlTakeMouse(this, m_previousCapture);
}

void CtlControl::releaseCapture() {
    if (!m_capturing) {
        return;
    }
    m_capturing = false;
    ctlReturnMouse(this, m_previousCapture);
}

bool CtlControl::event(QEvent* event) {
    if (event->type() == CtlCommandEvent::eventType()) {
        const auto* cmd = static_cast<CtlCommandEvent*>(event);
        command(cmd->code(), cmd->argument());
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        // Caught before QWidget::event, which would run its own focus chain
        // for Tab: the parent decides where the focus goes, or closes.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
            key->key() == Qt::Key_Escape) {
            if (QWidget* parent = parentWidget()) {
                QCoreApplication::postEvent(
                    parent, new QKeyEvent(QEvent::KeyPress, key->key(), key->modifiers(),
                                          key->text(), key->isAutoRepeat(), key->count()));
            }
            return true;
        }
    }
    return QWidget::event(event);
}

void CtlControl::focusInEvent(QFocusEvent* /*event*/) {
    if (m_focusMark) {
        m_focused = true;
        update();
    }
}

void CtlControl::focusOutEvent(QFocusEvent* /*event*/) {
    if (m_focusMark) {
        m_focused = false;
        update();
    }
}

CtlControl* ctlControlOf(QWidget* window) {
    return qobject_cast<CtlControl*>(window);
}

float ctlSendCommand(QWidget* window, int code, float argument) {
    CtlControl* control = ctlControlOf(window);
    if (!control) {
        return 0.0f;
    }
    return ctlBitsValue(control->command(code, ctlValueBits(argument)));
}

void ctlPostCommand(QWidget* window, int code, float argument) {
    if (window) {
        QCoreApplication::postEvent(window, new CtlCommandEvent(code, ctlValueBits(argument)));
    }
}
