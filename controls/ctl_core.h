// The control library's process-wide core: start-up and shut-down, the
// persisted options, the shared drawing resources (16 palette colours with a
// solid brush and pen each, the outline pen, 16 fonts, 14 bitmaps), the class
// names and status texts, and the handles of the library's pop-ups.
//
// ctlInitialize and ctlShutdown are use-counted: only the first initialisation
// loads and creates anything, only the balancing last shut-down releases and
// saves.
//
// Thread: all library state is owned by the main thread. The render thread
// reads colours, pens, brushes and fonts while drawing; they are built before
// any drawing starts and stay unchanged until ctlShutdown, which runs after
// the render thread has stopped, so no lock is needed.
//
// Including this header brings in the whole core API (notifier, drawing and
// window helpers, window drag, the value box).
#pragma once

#include "controls/auto_value_view.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_notifier.h"
#include "controls/ctl_window.h"
#include "controls/time_context.h"
#include "controls/window_drag.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <string>

// Library class names (UTF-8). Each library widget carries its class name as
// its objectName.
inline constexpr const char* kCtlClassRotatif = "C_QK2CTL_Rotatif_00\u00A9Nomaxe";
inline constexpr const char* kCtlClassI2p = "C_QK2CTL_I2p_00\u00A9Nomaxe";
inline constexpr const char* kCtlClassFree = "C_QK2CTL_Free_00\u00A9Nomaxe";
inline constexpr const char* kCtlClassFreeWdb = "C_QK2CTL_Free_00_wdb\u00A9Nomaxe";
inline constexpr const char* kCtlClassSlide = "C_QK2CTL_Slide_00\u00A9Nomaxe";
inline constexpr const char* kCtlClass3DList = "C_QK2CTL_3DList_00\u00A9Nomaxe";
inline constexpr const char* kCtlClassVgrid = "C_QK2CTL_Vgrid_00\u00A9Nomaxe";
inline constexpr const char* kCtlClass2DList = "C_QK2CTL_2DList_00\u00A9Nomaxe";
inline constexpr const char* kCtlClassValueView = "C_QK2CTL_AutoValueView00\u00A9Nomaxe";
constexpr int kCtlClassCount = 9;
// The nine names in registration order.
extern const char* const kCtlClassNames[kCtlClassCount];

// Status codes: 0 running, 1 never initialised, 2..9 a class registration
// failed (registration of Qt widget classes cannot fail, the codes are kept).
constexpr int kCtlStatusOk = 0;
constexpr int kCtlStatusNotInitialized = 1;
constexpr int kCtlStatusCount = 10;
int ctlStatus();
// Text of a status code; "" for codes outside 0..9.
const char* ctlStatusText(int code);

// Options, loaded by the first ctlInitialize and saved by the last
// ctlShutdown under "Zandel_Audio\QK2CTL\" + application name. The knob, the
// precision slider and the time entry dialog change them in memory.
struct CtlOptions {
    uint32_t rotMode = 1;             // "Rot_Mode": knob mouse mode (bit 0 inverse, bit 1 angular)
    uint32_t infoValue = 0x80000003u; // "infovalue": bit 31 value box on, bits 0-3 corner 1..4
    uint32_t rotMove = 0;             // "Rot_Move": 0/1, show knob moves
    uint32_t rotLatency = 0;          // "Rot_Latency": ms a knob ignores the mouse, 0..500
    uint32_t sCapture = 1;            // "S_capture": 0/1, slider option (only kept)
    uint32_t sSetToPos = 0;           // "S_settopos": 0/1, slider option (only kept)
    uint32_t aIMode = 0;              // "A_imode": 0/1, precision slider inverse mouse mode
    TimeContext timeContext = timeContextDefault(); // "Dial_tCtx"
};
CtlOptions& ctlOptions();

// Starts the library (use-counted). Returns 1 on success.
int ctlInitialize(const char* appName);
// Balances one ctlInitialize; the last one closes the pop-ups, releases the
// resources and saves the options.
void ctlShutdown();
int ctlUseCount();
// The options key of the running library ("" before the first start).
std::string ctlOptionsKey();
// 1 from initialisation until shut-down begins; ctlNotify is silent otherwise.
int ctlNotificationsEnabled();

// Shared resources. Indexes 0..15 (bitmaps 0..13); other indexes, and any
// index while the library is not running, give an empty object that draws
// nothing.
QColor ctlColor(int index);
const QBrush& ctlBrush(int index);
const QPen& ctlPen(int index);
const QPen& ctlOutlinePen();
const QFont& ctlFont(int index);
// Bitmap resource 1500 + index; a null image when the resource is missing.
const QImage& ctlBitmap(int index);
constexpr int kCtlPaletteSize = 16;
constexpr int kCtlFontCount = 16;
constexpr int kCtlBitmapCount = 14;

// Palette indexes: colour, brush and pen i share the number.
enum CtlPaletteIndex : int {
    kCtlBlack = 0,
    kCtlRed = 1,       // (204, 40, 20)
    kCtlBrightRed = 2, // (252, 60, 30)
    kCtlYellow = 3,
    kCtlBlue = 4,
    kCtlLightBlue = 5,
    kCtlLavender = 6,
    kCtlTeal = 7,
    kCtlGreen = 8,
    kCtlGrey64 = 9,
    kCtlGrey84 = 10,
    kCtlGrey110 = 11,
    kCtlGrey130 = 12,
    kCtlGrey180 = 13,
    kCtlGrey230 = 14,
    kCtlWhite = 15,
};

// Font indexes the system draws with, by cell height and weight.
enum CtlFontIndex : int {
    kCtlFont14 = 4,
    kCtlFont14Bold = 5,
    kCtlFont16 = 6,
    kCtlFont16Bold = 7,
    kCtlFont18Bold = 9,
};

// Bitmap indexes the system draws with (resource 1500 + index).
enum CtlBitmapIndex : int {
    kCtlBitmapButtonOff = 0,
    kCtlBitmapButtonOn = 1,
    kCtlBitmapNotes = 6,       // the time entry dialog's note picture
    kCtlBitmapBackground = 12, // the dialogs' tiled background
};

// Font of the given cell height (ascent + descent in pixels) and weight (400
// normal, 700 bold, 800 extra bold), family "Arial".
QFont ctlMakeFont(int cellHeight, int weight);

// One-at-a-time pop-ups of the library. Each pop-up records itself here while
// it exists; QPointer clears the slot when it goes away.
struct CtlPopups {
    QPointer<QWidget> valueBox;        // owned by the library
    QPointer<QWidget> textEntry;       // text entry dialog
    QPointer<QWidget> timeEntry;       // time entry dialog
    QPointer<QWidget> precisionSlider; // precision slider
};
CtlPopups& ctlPopups();
