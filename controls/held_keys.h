// Keys held down on a button, and the library's push button for dialogs.
//
// An X server repeats a held key as a release and a press sent together, and
// Qt marks the pair as a repeat only when the press has already reached it
// by the time the release is handled. Often it has not, and a push button
// that reports on the release would report at every repeat. So a button
// remembers which of its press keys (Space, Return, Enter) went down, and a
// release of such a key that is not marked as a repeat is held back for
// kHeldKeyGraceMs: a press of the same key within that time shows that the
// key never went up, and both reach the button marked as a repeat; otherwise
// the release reaches it as it came, that much later. A press of a key that
// is already down is a repeat too. The button's own rules then decide what a
// repeat does (a push button ignores it, a toggle button may take it as a
// new press).
//
// Thread: main thread only.
#pragma once

#include <QPushButton>

// How long a release waits for the press that would make it a repeat.
constexpr int kHeldKeyGraceMs = 50;

// Makes `widget` see held press keys as described above, for as long as it
// lives. Call once per widget.
void ctlHoldKeys(QWidget* widget);

// A dialog's push button: Return and Enter press it as Space does (down on
// key press, clicked on key release, repeats ignored), so that a focused
// button answers them instead of the dialog's default button. Held keys as
// ctlHoldKeys.
class CtlPushButton : public QPushButton {
    Q_OBJECT
public:
    CtlPushButton(const QString& text, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};
