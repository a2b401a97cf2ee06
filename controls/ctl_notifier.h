// How a library control and its owner talk.
//
// Upward, a control reports a value with ctlNotify: either by calling the
// owner's callback at once (inside the control's own event handling), or by
// posting a CtlNotifyEvent to the owner, which arrives later through the
// owner's event queue, like a posted message. Values always travel as the bit
// pattern of a 32-bit float.
//
// Downward, an owner drives a control with ctlSendCommand (synchronous, with a
// result) or ctlPostCommand (a queued CtlCommandEvent); both end in
// CtlControl::command.
//
// The two directions have their own event types: a control that owns other
// controls receives their notifications, whose codes are control ids, and
// must never take a child's id 1..4 for an enable, disable, get or set.
//
// Thread: main thread only.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <bit>
#include <cstdint>

// Notifier flags.
constexpr uint32_t kCtlUseCallback = 0x02000000;      // call the callback instead of posting
constexpr uint32_t kCtlNotifyGestures = 0x40000000;   // also report begin and end of a gesture
constexpr uint32_t kCtlNotifyContinuous = 0x01000000; // knob: report every change while moving

// Notification codes are the control id, optionally marked as a gesture edge.
constexpr int kCtlGestureBegin = 0x8000;
constexpr int kCtlGestureEnd = 0x4000;

// Control commands.
constexpr int kCtlCmdEnable = 1;
constexpr int kCtlCmdDisable = 2;
constexpr int kCtlCmdGetValue = 3;
constexpr int kCtlCmdSetValue = 4;

using CtlCallback = int (*)(void* userData, int code, float value);

// Filled by a control's creator; every knob and button embeds one.
struct CtlNotifier {
    QObject* parent = nullptr;      // receives posted notifications
    CtlCallback callback = nullptr; // used when flags has kCtlUseCallback
    uint32_t flags = 0;             // a knob's style word, a button's notification bits
    void* userData = nullptr;       // first argument of the callback
};

// Reports (code, value) to the notifier's owner. Returns 0 while the library
// is not running or shutting down; otherwise the callback's result, or 1 when
// the notification was posted (0 without a parent).
int ctlNotify(const CtlNotifier& notifier, int code, float value);

inline int32_t ctlValueBits(float value) {
    return std::bit_cast<int32_t>(value);
}
inline float ctlBitsValue(int32_t bits) {
    return std::bit_cast<float>(bits);
}

// A posted code with a 32-bit argument; `Kind` tells the direction.
template <int Kind> class CtlCodeEvent : public QEvent {
public:
    CtlCodeEvent(int code, int32_t argument)
        : QEvent(eventType()), m_code(code), m_argument(argument) {}
    // The event type, registered with Qt once per direction.
    static QEvent::Type eventType() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    int code() const { return m_code; }
    int32_t argument() const { return m_argument; }
    float value() const { return ctlBitsValue(m_argument); }

private:
    int m_code;
    int32_t m_argument;
};

// Owner to control: a queued control command.
using CtlCommandEvent = CtlCodeEvent<0>;
// Control to owner: a posted notification (code = the control's id, with
// the gesture bits; argument = the value's bits).
using CtlNotifyEvent = CtlCodeEvent<1>;

// Common base of the library's controls: what the knob, the button and the
// later controls share, kept here once.
//
//   - the control id and the notifier filled by the control's creator;
//   - the library's own enabled state, changed by commands 1 and 2. It is not
//     QWidget's enabled state: a disabled control ignores the user but still
//     answers commands, takes the focus and is reached by tab navigation;
//   - the focus mark state (focused), kept unless the control shows no mark;
//   - Tab, Backtab and Escape posted on to the parent widget, which owns the
//     navigation among its controls and closes dialogs;
//   - the mouse capture of a held gesture, given back to the widget that held
//     it before.
//
// A posted CtlCommandEvent reaching a control runs command() like a sent one.
// Repaints after state changes are queued (update()); the painting itself is
// the derived control's.
class CtlControl : public QWidget {
    Q_OBJECT
public:
    // `className` is the library class name; it becomes the objectName.
    CtlControl(QWidget* parent, const char* className);

    // Runs a control command; `argument` and the result are raw 32-bit words
    // (float bits where the command deals in values). The base runs commands
    // 1 (enable) and 2 (disable), repainting when the state changes, and
    // answers 0 to anything else; controls add their own and pass the rest on.
    virtual int32_t command(int code, int32_t argument);

    int controlId() const { return m_id; }
    // The enabled state of commands 1 and 2.
    bool controlEnabled() const { return m_enabled; }
    // The control has the focus and shows (when enabled) its focus mark.
    bool focusMarked() const { return m_focused; }
    const CtlNotifier& notifier() const { return m_notifier; }
    // Whether the control holds the mouse for a gesture.
    bool capturing() const { return m_capturing; }

protected:
    // Creation data shared by every control; `focusMark` false makes a
    // control that never marks the focus.
    void initControl(int id, const CtlNotifier& notifier, bool focusMark);
    int notify(int code, float value) { return ctlNotify(m_notifier, code, value); }
    bool gestureNotifications() const { return m_notifier.flags & kCtlNotifyGestures; }
    // Called when commands 1 or 2 changed the enabled state, before the repaint.
    virtual void enabledChanged() {}

    // Takes the mouse for a held gesture, remembering the widget that held an
    // explicit grab before; releaseCapture gives it back to that widget.
    void captureMouse();
    void releaseCapture();

    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_id = 0;
    bool m_enabled = true;
    bool m_focused = false;
    bool m_focusMark = true;
    bool m_capturing = false;
    CtlNotifier m_notifier;
    QPointer<QWidget> m_previousCapture; // explicit grabber before our capture
};

// The library control behind a widget (what the window slot holds), or
// nullptr when `window` is not a library control.
CtlControl* ctlControlOf(QWidget* window);

// Sends command `code` with `argument` (as float bits) to `window` and returns
// the result read as float bits; 0.0 when `window` is not a library control.
float ctlSendCommand(QWidget* window, int code, float argument);

// Posts command `code` with `argument` (as float bits) to `window`.
void ctlPostCommand(QWidget* window, int code, float argument);
