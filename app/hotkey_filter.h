// HotkeyFilter: F1, F2, F4 and F5 as application hot keys.
//
// It watches every event of the application (installed on the application
// object), so a key press is seen before the widget it is meant for: the
// keys act from every window of the program, a modal box or dialog included,
// where a QShortcut would be blocked by the modal window. While it is off
// the keys reach the widgets as usual. The shell turns it on while the
// program is the active application and off when another one is, and at
// shut-down.
//
// Like a hot key registered without modifiers, only the bare key counts:
// Shift+F1 and the like are left alone. A held key acts once: its
// auto-repeated presses are swallowed.
//
// Thread: main thread only.
#pragma once

#include <QObject>
#include <functional>

class HotkeyFilter : public QObject {
    Q_OBJECT
public:
    // `dispatch` receives the command id of the key (see kHotkeys). The
    // filter installs itself on the application and removes itself when
    // destroyed.
    explicit HotkeyFilter(std::function<void(int id)> dispatch, QObject* parent = nullptr);
    ~HotkeyFilter() override;

    void setActive(bool active) { m_active = active; }
    bool isActive() const { return m_active; }

    // The command of a bare hot key press, or 0 for any other key.
    static int commandForKey(int key, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(int)> m_dispatch;
    bool m_active = false;
};
