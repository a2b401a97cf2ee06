// AutoValueView: the library's floating value box. One small topmost window,
// 80 x 20, showing a short text (a knob's value during a drag) next to the
// control that owns it. It never takes the keyboard focus or activates.
//
// ctlInitialize creates the single box, hidden, and records it in
// ctlPopups().valueBox; ctlShutdown destroys it. Without a box (no widget
// application) every operation does nothing.
//
// The box paints into its own cached image. A text change repaints at once
// (repaint(), not a queued update()), so the text follows a drag without
// waiting for the event loop.
//
// Thread: main thread only.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <string_view>

constexpr int kValueBoxWidth = 80;
constexpr int kValueBoxHeight = 20;
constexpr size_t kValueBoxMaxText = 255;

class AutoValueView : public QWidget {
    Q_OBJECT
public:
    AutoValueView();

    const QString& text() const { return m_text; }
    bool boxHidden() const { return m_hidden; }
    // Last screen position shown at; (-1, -1) before the first show.
    QPoint lastPosition() const { return m_last; }
    QWidget* owner() const { return m_owner; }
    // What the box shows, border included.
    const QImage& image() const { return m_image; }

    // See ctlShowValueBox / ctlSetValueBoxText / ctlHideValueBox.
    int showAt(QWidget* owner, int x, int y, std::string_view text);
    int setBoxText(std::string_view text);
    void hideBox();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool takeText(std::string_view text);
    void render();

    QPointer<QWidget> m_owner; // where the box was last placed; none while hidden
    QString m_text;
    bool m_hidden = true;
    QPoint m_last{-1, -1};
    QImage m_image;
};

// Creates the library's value box (hidden) and records it in the pop-up
// table; called by ctlInitialize. Returns it, or nullptr without a widget
// application.
AutoValueView* ctlCreateValueBox();
// The library's value box, or nullptr.
AutoValueView* ctlValueBox();

// Shows the box with `text` at the owner's client point (x, y) (screen
// coordinates without an owner). The box moves only when the point differs
// from the last one; the keyboard focus stays where it was. Returns 1, or 0
// without a box or for a text longer than 255 characters (nothing changes).
int ctlShowValueBox(QWidget* owner, int x, int y, std::string_view text);
// Changes the text of the shown box and repaints it at once. Nothing happens
// while the box is hidden or for a text longer than 255 characters (0).
int ctlSetValueBoxText(std::string_view text);
// Hides the box; the owner becomes none, the last position is kept.
void ctlHideValueBox();
