#include "controls/ctl_notifier.h"

#include "controls/ctl_core.h"

#include <QCoreApplication>

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
}

bool CtlControl::event(QEvent* event) {
    if (event->type() == CtlCommandEvent::eventType()) {
        const auto* cmd = static_cast<CtlCommandEvent*>(event);
        command(cmd->code(), cmd->argument());
        return true;
    }
    return QWidget::event(event);
}

float ctlSendCommand(QWidget* window, int code, float argument) {
    auto* control = qobject_cast<CtlControl*>(window);
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
