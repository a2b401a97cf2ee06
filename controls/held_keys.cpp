#include "controls/held_keys.h"

#include <QBasicTimer>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QTimerEvent>

namespace {

bool isPressKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Filters the widget's own key events; a child of the widget, so it goes
// with it. At most one release is held at a time.
class KeyHold : public QObject {
public:
    explicit KeyHold(QWidget* widget) : QObject(widget), m_widget(widget) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_widget) {
            return false;
        }
        if (event == m_replay) {
            m_replay = nullptr; // our own copy passes
            return false;
        }
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return key(static_cast<QKeyEvent*>(event));
        case QEvent::FocusOut:
        case QEvent::Hide:
            // The keys' next events go elsewhere; a held release still
            // belongs here and goes first.
            if (!flush()) {
                return true; // the widget went
            }
            m_down.clear();
            return false;
        default:
            return false;
        }
    }

    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() == m_timer.timerId()) {
            flush();
        }
    }

private:
    // True when the event was taken (replaced, held, or its widget went).
    bool key(QKeyEvent* event) {
        const int k = event->key();
        if (!isPressKey(k)) {
            return false;
        }
        if (event->type() == QEvent::KeyPress) {
            if (m_held && m_heldKey == k) {
                // The press of a repeat pair: the key never went up.
                m_timer.stop();
                m_held = false;
                if (send(QEvent::KeyRelease, *event)) {
                    send(QEvent::KeyPress, *event);
                }
                return true;
            }
            if (m_down.contains(k)) {
                if (event->isAutoRepeat()) {
                    return false;
                }
                send(QEvent::KeyPress, *event);
                return true;
            }
            m_down.insert(k);
            return false;
        }
        if (event->isAutoRepeat()) {
            return false;
        }
        if (!flush()) {
            return true;
        }
        if (!m_down.contains(k)) {
            return false; // its press went elsewhere
        }
        m_held = true;
        m_heldKey = k;
        m_heldModifiers = event->modifiers();
        m_heldText = event->text();
        m_timer.start(kHeldKeyGraceMs, this);
        return true;
    }

    // Lets the held release through, if there is one. False when the widget
    // went meanwhile (and this filter with it).
    bool flush() {
        if (!m_held) {
            return true;
        }
        m_timer.stop();
        m_held = false;
        m_down.remove(m_heldKey);
        QKeyEvent release(QEvent::KeyRelease, m_heldKey, m_heldModifiers, m_heldText);
        return deliver(release);
    }

    // Sends a copy of `like` of the given type, marked as a repeat.
    bool send(QEvent::Type type, const QKeyEvent& like) {
        QKeyEvent repeat(type, like.key(), like.modifiers(), like.text(), true);
        return deliver(repeat);
    }

    // False when the widget went meanwhile (and this filter with it). Only
    // the copy itself passes unfiltered, not what a dialog opened on it sees.
    bool deliver(QKeyEvent& event) {
        QPointer<KeyHold> self(this);
        m_replay = &event;
        QCoreApplication::sendEvent(m_widget, &event);
        if (!self) {
            return false;
        }
        m_replay = nullptr;
        return true;
    }

    QWidget* m_widget;
    QSet<int> m_down;           // press keys that went down here and are not known up
    QEvent* m_replay = nullptr; // the copy being sent, until the filter lets it by
    bool m_held = false;        // a release waits for m_timer
    int m_heldKey = 0;
    Qt::KeyboardModifiers m_heldModifiers;
    QString m_heldText;
    QBasicTimer m_timer;
};

// A copy of `event` as the same action of Space.
QKeyEvent asSpace(const QKeyEvent& event) {
    return QKeyEvent(event.type(), Qt::Key_Space, event.modifiers(), QStringLiteral(" "),
                     event.isAutoRepeat());
}

} // namespace

void ctlHoldKeys(QWidget* widget) {
    new KeyHold(widget);
}

CtlPushButton::CtlPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    // A focused button takes Return itself; it never becomes the default.
    setAutoDefault(false);
    ctlHoldKeys(this);
}

void CtlPushButton::keyPressEvent(QKeyEvent* event) {
    if (!isEnterKey(event->key())) {
        QPushButton::keyPressEvent(event);
        return;
    }
    QKeyEvent space = asSpace(*event);
    QPushButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
}

void CtlPushButton::keyReleaseEvent(QKeyEvent* event) {
    if (!isEnterKey(event->key())) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    QKeyEvent space = asSpace(*event);
    QPushButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}
