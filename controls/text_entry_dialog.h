// The library's text entry dialog: a small captionless window holding one
// edit line, laid over a control or a window so that the user can type a
// value or a name in place. It is modal to its owner's window only.
//
// Enter confirms the typed text; Escape, a click into another window (the
// dialog losing the focus) or an Alt+key combination end it unconfirmed, and
// the result is then an empty text. Only one text entry dialog exists at a
// time: opening another sends the older one a close request first.
//
// Thread: main thread only.
#pragma once

#include <QDialog>
#include <QSet>
#include <cstdint>
#include <memory>

class QKeyEvent;
class QLineEdit;

// Size of the result buffer, terminating zero included.
constexpr int kTextEntryResultSize = 1024;

// Opens the text entry dialog modally with its client area of width x height
// at the screen point (x, y) and returns when it has ended. `style` is a
// control style code: bits 0-3 text colour, bits 4-7 background colour, bits
// 8-11 font. The result is a new kTextEntryResultSize-byte UTF-8 buffer owned
// by the caller, holding the confirmed text or an empty text when the dialog
// was left any other way; null only when no memory was left for it.
std::unique_ptr<char[]> TextEntryDialog(QWidget* owner, uint32_t style, int x, int y, int width,
                                        int height, const QString& initialText);

// Gives `widget` (an edit or a list) the font and colours of a style code.
void ctlApplyEntryStyle(QWidget* widget, uint32_t style);
// Paints the raised frame of a captionless library dialog around `dialog`'s
// edge, ctlFrameMetrics().dialogFrame pixels wide.
void ctlPaintDialogFrame(QWidget* dialog);

// The window behind TextEntryDialog. It may also be shown without exec() (it
// is modal either way); it records itself as the library's open text entry
// dialog while it exists.
class TextEntryWindow : public QDialog {
    Q_OBJECT
public:
    TextEntryWindow(QWidget* owner, uint32_t style, int x, int y, int width, int height,
                    const QString& initialText);
    ~TextEntryWindow() override;

    QLineEdit* edit() const { return m_edit; }
    // The confirmed text (UTF-8, terminated), empty until Enter confirmed it.
    const char* resultText() const { return m_result; }
    // The dialog has ended, confirmed or not.
    bool ended() const { return m_ended; }

public slots:
    void done(int code) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void confirm();
    void endUnconfirmed();
    // Keeps track of Enter and Escape; false for their repeats and releases
    // when their first press went elsewhere.
    bool ownKey(const QKeyEvent& key);

    QLineEdit* m_edit = nullptr;
    char m_result[kTextEntryResultSize] = {}; // starts empty
    bool m_ended = false;
    QSet<int> m_keysDown; // Enter and Escape keys whose first press came here
};
