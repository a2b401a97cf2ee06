#include "app/hotkey_filter.h"

#include "app/app_commands.h"

#include <QCoreApplication>
#include <QKeyEvent>

HotkeyFilter::HotkeyFilter(std::function<void(int)> dispatch, QObject* parent)
    : QObject(parent), m_dispatch(std::move(dispatch)) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

HotkeyFilter::~HotkeyFilter() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

int HotkeyFilter::commandForKey(int key, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & ~Qt::KeypadModifier) != Qt::NoModifier)
        return 0;
    for (const HotkeyDef& h : kHotkeys)
        if (h.key == key)
            return h.id;
    return 0;
}

bool HotkeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!m_active || (type != QEvent::KeyPress && type != QEvent::ShortcutOverride))
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int id = commandForKey(key->key(), key->modifiers());
    if (id == 0)
        return QObject::eventFilter(watched, event);
    // A shortcut override asks whether a widget wants the key before any
    // shortcut sees it: the hot key wants it, so the press comes here.
    if (type == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    // The press is taken at its first delivery (the window, then the focus
    // widget, then its parents), so it acts exactly once.
    if (!key->isAutoRepeat() && m_dispatch)
        m_dispatch(id);
    return true;
}
