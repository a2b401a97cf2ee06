// The library's time entry dialog: one time value in seconds, shown and
// editable at once as seconds, milliseconds, frequency, beats per minute,
// metres of sound travel, samples, a musical duration built from note values
// and a tempo, a musical position (bar / beat / tick) and a video frame.
//
// The dialog works on the library's TimeContext (ctlOptions().timeContext):
// tempo, time signature, tick resolution, frame rate, the picked notes and the
// field last focused. OK keeps every change to it and returns the value;
// Cancel (or Escape) puts the context back as it was at opening; a close
// request (the library's shut-down, or another time dialog opening) keeps the
// changes but returns no value. The library saves the context at shut-down.
//
// Thread: main thread only.
#pragma once

#include "controls/time_context.h"
#include "controls/window_drag.h"

#include <QDialog>
#include <QImage>
#include <array>
#include <cstdint>

class QLineEdit;
class QListWidget;
class TimeEntryClient;

// The result of a time entry dialog that was not confirmed with OK.
constexpr float kTimeEntryNoValue = -1.0e35f;

// Opens the time entry dialog, modal to its owner's window, at the screen
// point (x, y) with the value `seconds` and returns when it has ended: the
// new value in seconds after OK, kTimeEntryNoValue otherwise. `style` is a
// control style code (bits 0-3 text colour, bits 4-7 background colour, bits
// 8-11 font).
float TimeEntryDialog(QWidget* owner, uint32_t style, int x, int y, float seconds);

// Client-area places of the note picture and the strip of picked notes.
constexpr int kTimeNotesX = 180, kTimeNotesY = 25; // picture, 160 x 96, 5 x 3 cells of 32
constexpr int kTimeStripLeft = 179, kTimeStripTop = 160, kTimeStripRight = 341,
              kTimeStripBottom = 194;

// The window behind TimeEntryDialog. It may also be shown without exec() (it
// is modal either way); it records itself as the library's open time entry
// dialog while it exists. Controls are found by their command id: the fields
// 10-14, 50, 51, 60-63, 70 and 71, the replace-mode switch 15 and the buttons
// OK 1, Cancel 2 and Apply 3.
class TimeEntryWindow : public QDialog {
    Q_OBJECT
public:
    TimeEntryWindow(QWidget* owner, uint32_t style, int x, int y, float seconds);
    ~TimeEntryWindow() override;

    // The control with this command id, or nullptr.
    QWidget* control(int id) const;
    // The 544 x 220 client area: note picture, strip, background drag.
    QWidget* client() const;
    // The value now shown, in seconds.
    double value() const { return m_seconds; }
    // The value confirmed with OK, else kTimeEntryNoValue.
    float result() const { return m_result; }

public slots:
    void accept() override; // OK, also Enter
    void reject() override; // Cancel, also Escape
    void done(int code) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TimeEntryClient;

    void createControls(uint32_t style);
    QLineEdit* addEdit(int id, int x, int y, int w, int h, uint32_t style);
    void addList(int id, const QRect& place, uint32_t style);
    void fillFields();
    void createButtons(uint32_t style);
    void fieldChanged(int id);
    void listChanged(int id, int row);
    // Rewrites the six time fields, the position and the video frame, all
    // but `except`. Samples are truncated instead of rounded right after a
    // note pick (`notePicked`).
    void writeTimeFields(int except, bool notePicked = false);
    void writePosition();
    void writeVideoFrame();
    void setFieldText(int id, const QString& text);
    void takeMusicalDuration(bool notePicked);
    void pickNote(int note);
    void setReplaceMode(bool on);
    void paintClient(QWidget* client);
    void clientPress(int x, int y);
    void clientMove(int x, int y);
    void clientRelease(int x, int y);
    void finish(int code);

    TimeEntryClient* m_client = nullptr;
    TimeContext* m_context; // the library's, changed in place
    TimeContext m_saved;    // as at opening, put back by Cancel
    double m_seconds = 0.0; // the value s
    float m_result = kTimeEntryNoValue;
    int m_pressedCell = -1; // note picture cell held down, -1 for none
    bool m_updating = true; // set while fields are written: nothing reacts
    bool m_ended = false;
    WindowDrag m_drag;
    QImage m_surface;                      // the client's painted background
    std::array<QWidget*, 72> m_controls{}; // by command id
};
