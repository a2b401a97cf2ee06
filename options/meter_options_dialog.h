// The "Measure Display Options" dialog: edits a private copy of the display
// settings (values and their own colour set) with a live preview of the bars,
// and replaces the live record with it only on OK.
//
// Who owns what: the dialog owns its working copy. OK swaps the whole copy
// with the live record in one step (ExchangeMeterSettings): the live record
// then holds the new values and the colour set built here, and the copy holds
// the previous ones, which the dialog drops when it goes. The render thread
// draws from the live record's colour set through its own reference, so it
// goes on with the previous set until its next frame and the previous pens
// and brushes are freed only when that last reference goes.
//
// One dialog at a time: it records itself with setMeterOptionsDialog while it
// exists, and the final release of the settings ends it as if cancelled.
//
// Thread: main thread only.
#pragma once

#include "controls/window_drag.h"
#include "options/meter_settings.h"

#include <QDialog>
#include <QPoint>
#include <cstdint>

class QLineEdit;
class QListWidget;

// Option flags: each bit shows a group of fields and makes OK read it.
enum MeterOptionFlag : uint32_t {
    kMeterOptZeroPoint = 0x01,    // "ZERO point" "At": DisplayDbOffset
    kMeterOptSyncDelay = 0x02,    // "Sync Delay": Delay
    kMeterOptReduceGain = 0x04,   // "Reduc. Gain" "Min": ReduceMinDb
    kMeterOptPhaseRelease = 0x08, // "Phase Release": PhaseRelease
    kMeterOptAttack = 0x10,       // "Atck.": Attack
    kMeterOptXY = 0x20,           // the X/Y variant: beam delays and range release
    kMeterOptDiapason = 0x80,     // "Diapason" "Hz": diapason
};
// What the meter window asks for.
inline constexpr uint32_t kMeterWindowOptionFlags = 27;

// The colour list, in its order.
inline constexpr int kMeterColorEntryCount = 14;
extern const char* const kMeterColorEntryNames[kMeterColorEntryCount];

// Control ids, kept as the objectName of the buttons and lists. The edit
// fields are named after the label beside them ("From", "N :", ...).
enum MeterOptionsControl : int {
    kOptOk = 1,
    kOptCancel = 2,
    kOptChange = 20,
    kOptReset = 21,
    kOptPatternList = 30,
    kOptColorList = 31,
};

// Opens the dialog, modal to its owner's window only (the program's other
// windows stay usable), with its top-left corner at the screen point
// (x, y). Returns 1 when it was closed with OK (the live record replaced),
// 0 otherwise, and 0 at once when a dialog is already open (which is
// raised). The caller repaints what shows the settings.
int OpenMeterOptionsDialog(QWidget* owner, uint32_t optionFlags, int x, int y);

// The meter window's "Default Options...": the option set 27 at the point of
// the right click. Fits MeterWindowHooks::openOptions.
int optionsOpenFromMeterWindow(QWidget* window, QPoint screenPoint);

class MeterOptionsDialog : public QDialog {
public:
    MeterOptionsDialog(QWidget* owner, uint32_t optionFlags, int x, int y);
    ~MeterOptionsDialog() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void createControls();
    void createLists();
    void createZoneControls();
    void createTimingEdits();
    QLineEdit* addEdit(const char* name, int l, int t, int w, int h, bool clientEdge,
                       const QString& text);
    void paintFace(QImage& image);
    void selectEntry(int entry);
    void choosePattern(int type);
    void changeColor();
    void resetAll();
    void applyFields();

    uint32_t m_flags;
    WindowDrag m_drag;
    MeterSettings m_work; // the working copy with its own colour set
    int m_entry = 0;      // selected entry of the colour list
    QListWidget* m_colorList = nullptr;
    QListWidget* m_patternList = nullptr;
    // Edit fields; null when their group is not shown.
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QLineEdit* m_max = nullptr; // "Max", or "Elec." in the X/Y variant
    QLineEdit* m_min = nullptr; // "Min", or "Pers."
    QLineEdit* m_at = nullptr;
    QLineEdit* m_attack = nullptr;
    QLineEdit* m_peak = nullptr; // "Peak", or "Range"
    QLineEdit* m_level = nullptr;
    QLineEdit* m_frames = nullptr;
    QLineEdit* m_reduce = nullptr;
    QLineEdit* m_diapason = nullptr;
    QLineEdit* m_phase = nullptr;
    QLineEdit* m_delay = nullptr;
};
