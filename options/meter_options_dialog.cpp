#include "options/meter_options_dialog.h"

#include "controls/ctl_core.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_text.h"
#include "controls/held_keys.h"
#include "platform/dc.h"

#include <QColorDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <string_view>

const char* const kMeterColorEntryNames[kMeterColorEntryCount] = {
    "Max Clip/Max Level",           "Clip/Max Level (Border)",
    "Clip/Max Level (Brush)",       "Nominal Level (Border)",
    "Nominal Level (Brush)",        "Reduc./dynamic Level (Border)",
    "Reduc./dynamic Level (Brush)", "Max Average Level",
    "Average Level (Border)",       "Average Level (Brush)",
    "Phase Correlator +",           "Phase Correlator -",
    "Electron Color (Oscillo)",     "Screen Persistence (Oscillo)",
};

namespace {

using F = MeterSettingsField;

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 520;

// Text styles of the labels: colour 0 with the white shadow, in font 6
// (headings), 7 (labels) or 4 (units).
constexpr uint32_t kHeading = 0x80000600;
constexpr uint32_t kLabel = 0x80000700;
constexpr uint32_t kUnit = 0x80000400;

// How the swatch of an entry is drawn, and which object of the set it shows.
enum class Swatch { Marker, Border, Brush, Correlator, Beam };

struct ColorEntry {
    F field;
    uint32_t MeterSettingsValues::*color;
    Swatch swatch;
    QPen MeterColorSet::*pen;     // Marker, Border, Beam
    QBrush MeterColorSet::*brush; // Brush, Correlator
};

using V = MeterSettingsValues;
using S = MeterColorSet;
const ColorEntry kEntries[kMeterColorEntryCount] = {
    {F::MaxColor, &V::MaxColor, Swatch::Marker, &S::MaxColorPen, nullptr},
    {F::MaxBorder, &V::MaxBorder, Swatch::Border, &S::MaxBorderPen, nullptr},
    {F::MaxBrush, &V::MaxBrush, Swatch::Brush, nullptr, &S::MaxBrushH},
    {F::nomBorder, &V::nomBorder, Swatch::Border, &S::nomBorderPen, nullptr},
    {F::nomBrush, &V::nomBrush, Swatch::Brush, nullptr, &S::nomBrushH},
    {F::AttnBorder, &V::AttnBorder, Swatch::Border, &S::AttnBorderPen, nullptr},
    {F::AttnBrush, &V::AttnBrush, Swatch::Brush, nullptr, &S::AttnBrushH},
    {F::MoyColor, &V::MoyColor, Swatch::Marker, &S::MoyColorPen, nullptr},
    {F::MoyBorder, &V::MoyBorder, Swatch::Border, &S::MoyBorderPen, nullptr},
    {F::MoyBrush, &V::MoyBrush, Swatch::Brush, nullptr, &S::MoyBrushH},
    {F::Corel_on, &V::Corel_on, Swatch::Correlator, nullptr, &S::CorelOnBrush},
    {F::Corel_off, &V::Corel_off, Swatch::Correlator, nullptr, &S::CorelOffBrush},
    {F::Electron, &V::Electron, Swatch::Beam, &S::ElectronPen, nullptr},
    {F::Persistence, &V::Persistence, Swatch::Beam, &S::PersistencePen, nullptr},
};

// Preview regions, tested in this order, a later match replacing an earlier
// one; all bounds exclusive.
struct Region {
    int left, top, right, bottom, entry;
};
const Region kRegions[] = {
    {10, 200, 40, 423, 9}, {10, 100, 40, 160, 1}, {10, 50, 40, 100, 6}, {10, 10, 40, 50, 0},
    {10, 160, 40, 200, 7}, {50, 150, 80, 423, 9}, {50, 80, 80, 150, 4}, {50, 10, 80, 80, 2},
};

// Labels: shown when the flags hold all of `need` and none of `without`.
struct Label {
    const char* text;
    int x, y;
    uint32_t style, need, without;
};
const Label kLabels[] = {
    {"Display nominal level as :", 95, 217, kHeading, 0, 0},
    {"From", 160, 242, kLabel, 0, 0},
    {"To", 160, 265, kLabel, 0, 0},
    {"db", 280, 245, kUnit, 0, 0},
    {"db", 280, 268, kUnit, 0, 0},
    {"Level Range", 95, 292, kHeading, 0, kMeterOptXY},
    {"Max", 95, 312, kLabel, 0, kMeterOptXY},
    {"Min", 95, 336, kLabel, 0, kMeterOptXY},
    {"Delay Beam", 95, 292, kHeading, kMeterOptXY, 0},
    {"Elec.", 95, 312, kLabel, kMeterOptXY, 0},
    {"Pers.", 95, 336, kLabel, kMeterOptXY, 0},
    {"ms", 182, 318, kUnit, kMeterOptXY, 0},
    {"ms", 182, 342, kUnit, kMeterOptXY, 0},
    {"ZERO point", 205, 292, kHeading, kMeterOptZeroPoint, 0},
    {"At", 205, 312, kLabel, kMeterOptZeroPoint, 0},
    {"db", 280, 320, kUnit, kMeterOptZeroPoint, 0},
    {"Release (db/s)", 95, 367, kHeading, 0, 0},
    {"Peak", 95, 387, kLabel, 0, kMeterOptXY},
    {"Level", 95, 411, kLabel, 0, kMeterOptXY},
    {"Range", 95, 387, kLabel, kMeterOptXY, 0},
    {"Frame / Sec", 205, 367, kHeading, 0, 0},
    {"N :", 205, 387, kLabel, 0, 0},
    {"Atck.", 205, 411, kHeading, kMeterOptAttack, 0},
    {"Reduc. Gain", 5, 437, kHeading, kMeterOptReduceGain, 0},
    {"Min", 5, 457, kLabel, kMeterOptReduceGain, 0},
    {"Diapason", 5, 437, kHeading, kMeterOptDiapason, 0},
    {"Hz", 5, 457, kLabel, kMeterOptDiapason, 0},
    {"Phase Release", 95, 437, kHeading, kMeterOptPhaseRelease, 0},
    {"unity/s", 95, 457, kLabel, kMeterOptPhaseRelease, 0},
    {"Sync Delay", 205, 437, kHeading, kMeterOptSyncDelay, 0},
    {"Sec.", 205, 457, kLabel, kMeterOptSyncDelay, 0},
};

uint32_t colorRef(const QColor& c) {
    return meterRgb(static_cast<uint32_t>(c.red()), static_cast<uint32_t>(c.green()),
                    static_cast<uint32_t>(c.blue()));
}

// The number in an edit field (its first 255 characters; empty gives 0) when
// it lies in [lo, hi]. A field that is not shown gives nothing.
bool fieldValue(const QLineEdit* edit, double lo, double hi, double& out) {
    if (!edit)
        return false;
    const QByteArray text = edit->text().toUtf8().left(255);
    const double v = ctlParseNumber(std::string_view(text.constData(), text.size()));
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

void line(Dc& dc, int x0, int y0, int x1, int y1) {
    dc.moveTo(x0, y0);
    dc.lineTo(x1, y1);
}

void box(Dc& dc, const QPen& pen, const QBrush& brush, int l, int t, int r, int b) {
    dc.selectPen(pen);
    dc.selectBrush(brush);
    dc.rectangle(l, t, r, b);
}

} // namespace

MeterOptionsDialog::MeterOptionsDialog(QWidget* owner, uint32_t optionFlags, int x, int y)
    // A caption with a close box, no minimise or maximise box.
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_flags(optionFlags) {
    setMeterOptionsDialog(this);
    static_cast<MeterSettingsValues&>(m_work) = *GetMeterSettings();
    BuildMeterColorSet(&m_work);
    setWindowTitle(QStringLiteral("Measure Display Options"));
    dragInit(m_drag, this);
    // The background is painted whole; no system erase under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    createControls();
    setWindowModality(Qt::WindowModal); // blocks its owner's window only
    setFixedSize(kClientWidth, kClientHeight);
    move(x, y); // the frame's top-left corner
    ctlKeepOnScreen(this);
}

MeterOptionsDialog::~MeterOptionsDialog() {
    // After OK these are the previous live objects; a frame still drawing
    // with them keeps them until it is done.
    FreeMeterColorSet(&m_work);
    if (meterOptionsDialog() == this)
        setMeterOptionsDialog(nullptr);
}

QLineEdit* MeterOptionsDialog::addEdit(const char* name, int l, int t, int w, int h,
                                       bool clientEdge, const QString& text) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(l, t, w, h);
    edit->setFont(ctlFont(kCtlFont16));
    // Sunken client edge (two pixels) or static edge (one pixel).
    edit->setStyleSheet(clientEdge ? QStringLiteral("QLineEdit { border: 2px inset #a0a0a0; "
                                                    "background: white; padding: 0; }")
                                   : QStringLiteral("QLineEdit { border: 1px solid; "
                                                    "border-color: #808080 white white #808080; "
                                                    "background: white; padding: 0; }"));
    edit->setTextMargins(2, 0, 2, 0);
    edit->setText(text);
    return edit;
}

namespace {

CtlPushButton* makeButton(QWidget* parent, const char* text, int id, int font, int l, int t) {
    auto* b = new CtlPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::number(id));
    b->setFont(ctlFont(font));
    b->setGeometry(l, t, id <= kOptCancel ? 90 : 50, id <= kOptCancel ? 25 : 22);
    return b;
}

QListWidget* makeList(QWidget* parent, int id, int l, int t, int w, int h) {
    auto* box = new QListWidget(parent);
    box->setObjectName(QString::number(id));
    box->setFont(ctlFont(kCtlFont14));
    box->setGeometry(l, t, w, h);
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Sunken);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return box;
}

QString oneDecimal(double value) {
    return QString::asprintf("%0.1f", value);
}

} // namespace

// The controls in their Tab order.
void MeterOptionsDialog::createControls() {
    QPushButton* ok = makeButton(this, "OK", kOptOk, 5, 110, 492);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { applyFields(); });
    connect(makeButton(this, "Cancel", kOptCancel, 4, 205, 492), &QPushButton::clicked, this,
            &QDialog::reject);
    createLists();
    createZoneControls();
    createTimingEdits();
    ok->setFocus();
}

void MeterOptionsDialog::createLists() {
    m_colorList = makeList(this, kOptColorList, 95, 5, 200, 152);
    for (const char* name : kMeterColorEntryNames)
        m_colorList->addItem(QString::fromLatin1(name));
    m_entry = (m_flags & kMeterOptXY) != 0 ? 12 : 0;
    m_colorList->setCurrentRow(m_entry);
    connect(m_colorList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < kMeterColorEntryCount) {
            m_entry = row;
            update();
        }
    });

    m_patternList = makeList(this, kOptPatternList, 210, 160, 85, 50);
    for (const char* name : kMeterBrushTypeNames)
        m_patternList->addItem(QString::fromLatin1(name));
    m_patternList->setCurrentRow(m_work.BrushType);
    connect(m_patternList, &QListWidget::currentRowChanged, this,
            [this](int row) { choosePattern(row); });
}

// The nominal zone's From and To, and the Change and Reset buttons.
void MeterOptionsDialog::createZoneControls() {
    m_from = addEdit("From", 210, 238, 65, 22, true, oneDecimal(m_work.dbHead));
    m_to = addEdit("To", 210, 261, 65, 22, true, oneDecimal(m_work.dbMax));
    connect(makeButton(this, "Change", kOptChange, 4, 155, 160), &QPushButton::clicked, this,
            [this] { changeColor(); });
    connect(makeButton(this, "Reset", kOptReset, 4, 155, 185), &QPushButton::clicked, this,
            [this] { resetAll(); });
}

// The range, release and timing values; the option flags add the optional ones.
void MeterOptionsDialog::createTimingEdits() {
    const MeterSettingsValues& v = m_work;
    const bool xy = (m_flags & kMeterOptXY) != 0;
    m_max = addEdit(xy ? "Elec." : "Max", 130, 310, 48, 20, false,
                    oneDecimal(xy ? v.DelayElectron * 1000.0 : v.L_MaxDB));
    m_min = addEdit(xy ? "Pers." : "Min", 130, 333, 48, 20, false,
                    oneDecimal(xy ? v.DelayPersistence * 1000.0 : v.L_MinDB));
    if (m_flags & kMeterOptZeroPoint)
        m_at = addEdit("At", 225, 310, 50, 22, true, QString::asprintf("%0.2f", v.DisplayDbOffset));
    if (m_flags & kMeterOptAttack)
        m_attack = addEdit("Atck.", 240, 408, 48, 20, false, oneDecimal(v.Attack));
    m_peak = addEdit(xy ? "Range" : "Peak", 140, 385, 48, 20, false,
                     oneDecimal(xy ? v.RangeRelease : v.Max_DBperS));
    if (!xy)
        m_level = addEdit("Level", 140, 408, 48, 20, false, oneDecimal(v.Moy_DBperS));
    m_frames = addEdit("N :", 240, 385, 48, 20, false, QString::asprintf("%i", v.nbFperS));
    if (m_flags & kMeterOptReduceGain)
        m_reduce = addEdit("Reduc. Gain", 35, 455, 48, 20, false,
                           QString::asprintf("%.1f", v.ReduceMinDb));
    if (m_flags & kMeterOptDiapason)
        m_diapason =
            addEdit("Diapason", 30, 455, 53, 20, false, QString::asprintf("%.1f", v.diapason));
    if (m_flags & kMeterOptPhaseRelease)
        m_phase = addEdit("Phase Release", 140, 455, 48, 20, false,
                          QString::asprintf("%.1f", v.PhaseRelease));
    if (m_flags & kMeterOptSyncDelay)
        m_delay =
            addEdit("Sync Delay", 240, 455, 48, 20, false, QString::asprintf("%0.3f", v.Delay));
}

void MeterOptionsDialog::paintEvent(QPaintEvent*) {
    // Drawn at the screen's device pixel ratio, so that the texts, lines and
    // the background tile (from its 2x drawing) are sharp on a dense screen.
    QImage image;
    ctlFitSurface(image, this, QSize(kClientWidth, kClientHeight));
    paintFace(image);
    QPainter(this).drawImage(QPointF(0, 0), image);
}

void MeterOptionsDialog::paintFace(QImage& image) {
    image.fill(ctlColor(kCtlGrey180));
    Dc dc(image);
    ctlTileBitmap(this, dc, 0, 0, ctlBitmap(kCtlBitmapBackground));
    const MeterColorSetPtr held = m_work.colorSet.load();
    if (!held)
        return;
    const MeterColorSet& s = *held;
    dc.setBkMode(BkMode::Transparent);

    // The preview: a bar with a reduction zone and markers, a bar with a
    // nominal zone.
    box(dc, ctlPen(kCtlGrey180), ctlBrush(kCtlBlack), 3, 3, 87, 430);
    box(dc, s.MoyBorderPen, s.MoyBrushH, 10, 200, 40, 423);
    box(dc, s.MaxBorderPen, ctlBrush(kCtlBlack), 10, 50, 40, 200);
    box(dc, s.AttnBorderPen, s.AttnBrushH, 10, 50, 40, 100);
    dc.selectPen(s.MaxColorPen);
    line(dc, 10, 50, 40, 50);
    line(dc, 10, 50, 10, 10);
    line(dc, 10, 10, 40, 10);
    dc.selectPen(s.MoyColorPen);
    line(dc, 10, 200, 40, 200);
    line(dc, 10, 200, 10, 160);
    line(dc, 10, 160, 40, 160);
    box(dc, s.MoyBorderPen, s.MoyBrushH, 50, 150, 80, 423);
    box(dc, s.nomBorderPen, s.nomBrushH, 50, 80, 80, 150);
    box(dc, s.MaxBorderPen, s.MaxBrushH, 50, 10, 80, 80);

    // The swatch of the selected entry.
    box(dc, ctlPen(kCtlGrey180), ctlBrush(kCtlBlack), 95, 160, 150, 210);
    const ColorEntry& e = kEntries[m_entry];
    switch (e.swatch) {
    case Swatch::Border:
        box(dc, s.*e.pen, ctlBrush(kCtlBlack), 100, 165, 145, 205);
        break;
    case Swatch::Brush:
        box(dc, ctlPen(kCtlBlack), s.*e.brush, 100, 165, 145, 205);
        break;
    case Swatch::Marker:
        dc.selectPen(s.*e.pen);
        line(dc, 100, 205, 145, 205);
        line(dc, 100, 205, 100, 165);
        line(dc, 100, 165, 145, 165);
        break;
    case Swatch::Correlator:
        box(dc, ctlPen(kCtlBlack), s.*e.brush, 110, 175, 135, 195);
        dc.selectPen(ctlPen(kCtlWhite));
        line(dc, 110, 185, 135, 185);
        break;
    case Swatch::Beam:
        dc.selectPen(s.*e.pen);
        dc.selectBrush(ctlBrush(kCtlBlack));
        for (int inset : {0, 5, 10, 15})
            dc.ellipse(100 + inset, 165, 145 - inset, 205);
        break;
    }

    // The nominal zone as it will look.
    box(dc, ctlPen(kCtlGrey180), ctlBrush(kCtlBlack), 95, 235, 150, 285);
    box(dc, s.nomBorderPen, s.nomBrushH, 100, 240, 145, 280);

    for (int y : {215, 290, 365})
        ctlLine(dc, kCtlEngraved, 94, y, 295, y);
    ctlLine(dc, kCtlEngraved, 4, 435, 295, 435);
    for (const Label& l : kLabels) {
        if ((m_flags & l.need) == l.need && (m_flags & l.without) == 0)
            ctlText(dc, l.style, l.x, l.y, QString::fromLatin1(l.text));
    }
}

void MeterOptionsDialog::selectEntry(int entry) {
    m_entry = entry;
    m_colorList->setCurrentRow(entry);
    update();
}

void MeterOptionsDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    if (p.x() > 3 && p.x() < 87 && p.y() > 3 && p.y() < 467) {
        int entry = -1;
        for (const Region& r : kRegions) {
            if (p.x() > r.left && p.x() < r.right && p.y() > r.top && p.y() < r.bottom)
                entry = r.entry;
        }
        if (entry >= 0)
            selectEntry(entry);
        return;
    }
    dragBegin(m_drag, p.x(), p.y());
}

void MeterOptionsDialog::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    dragMove(m_drag, p.x(), p.y());
}

void MeterOptionsDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        dragEnd(m_drag, p.x(), p.y());
    }
}

void MeterOptionsDialog::choosePattern(int type) {
    if (type < 0 || type >= kMeterBrushTypeCount || type == m_work.BrushType)
        return;
    m_work.BrushType = type;
    RebuildMeterColorSetFor(&m_work, F::BrushType);
    update();
}

void MeterOptionsDialog::changeColor() {
    const ColorEntry& e = kEntries[m_entry];
    QColorDialog chooser(meterColorFromRef(m_work.*e.color), this);
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    chooser.setWindowModality(Qt::WindowModal);
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, meterColorFromRef(CustomColors[i]));
    const int result = chooser.exec();
    // The custom colours the user defined are kept either way.
    for (int i = 0; i < 16; ++i)
        CustomColors[i] = colorRef(QColorDialog::customColor(i));
    const QColor chosen = chooser.selectedColor();
    if (result != QDialog::Accepted || !chosen.isValid())
        return;
    m_work.*e.color = colorRef(chosen);
    RebuildMeterColorSetFor(&m_work, e.field);
    update();
}

void MeterOptionsDialog::resetAll() {
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Reset All"),
                    QStringLiteral("Are you sure !?"), QMessageBox::Ok | QMessageBox::Cancel, this);
    ask.setWindowModality(Qt::WindowModal);
    if (ask.exec() != QMessageBox::Ok)
        return;
    FreeMeterColorSet(&m_work);
    static_cast<MeterSettingsValues&>(m_work) = MeterSettingsDefaults;
    BuildMeterColorSet(&m_work);
    // The fields keep the text they show.
    m_patternList->setCurrentRow(m_work.BrushType);
    update();
}

void MeterOptionsDialog::applyFields() {
    MeterSettingsValues& v = m_work;
    const bool xy = (m_flags & kMeterOptXY) != 0;
    double n = 0;
    if (fieldValue(m_from, -90, 24, n))
        v.dbHead = static_cast<float>(n);
    if (fieldValue(m_to, -90, 24, n))
        v.dbMax = static_cast<float>(n);
    if (v.dbMax - v.dbHead < 1)
        v.dbMax = v.dbHead + 1;
    if (!xy) {
        if (fieldValue(m_max, -200, 100, n))
            v.L_MaxDB = static_cast<float>(n);
        if (fieldValue(m_min, -199, 101, n))
            v.L_MinDB = static_cast<float>(n);
        if (v.L_MaxDB - v.L_MinDB < 1)
            v.L_MaxDB = v.L_MinDB + 1;
    } else {
        // Shown in milliseconds; the ranges are those of the stored seconds.
        if (fieldValue(m_max, 5, 100, n))
            v.DelayElectron = static_cast<float>(n / 1000.0);
        if (fieldValue(m_min, 0, 300, n))
            v.DelayPersistence = static_cast<float>(n / 1000.0);
    }
    if (fieldValue(m_at, -24, 24, n))
        v.DisplayDbOffset = static_cast<float>(n);
    if (fieldValue(m_attack, 0, 96, n))
        v.Attack = static_cast<float>(n);
    if (fieldValue(m_reduce, -60, -6, n))
        v.ReduceMinDb = static_cast<float>(n);
    if (fieldValue(m_diapason, 20, 15000, n))
        v.diapason = static_cast<float>(n);
    if (fieldValue(m_phase, 0.0999, 30, n))
        v.PhaseRelease = static_cast<float>(n);
    if (fieldValue(m_delay, 0, 5, n))
        v.Delay = static_cast<float>(n);
    if (!xy) {
        if (fieldValue(m_peak, 0.1, 100, n))
            v.Max_DBperS = static_cast<float>(n);
        if (fieldValue(m_level, 0.1, 100, n))
            v.Moy_DBperS = static_cast<float>(n);
        if (v.Moy_DBperS < v.Max_DBperS)
            v.Moy_DBperS = v.Max_DBperS;
    } else if (fieldValue(m_peak, 0, 100, n)) {
        v.RangeRelease = static_cast<float>(n);
    }
    if (fieldValue(m_frames, 2, 30, n))
        v.nbFperS = static_cast<int32_t>(n);
    // The renderer takes the nominal zone from the values its colour set
    // carries: the set must carry the values just read before it goes live.
    RebuildMeterColorSetFor(&m_work, F::dbHead);
    ExchangeMeterSettings(GetMeterSettings(), &m_work);
    done(1);
}

int OpenMeterOptionsDialog(QWidget* owner, uint32_t optionFlags, int x, int y) {
    if (QDialog* open = meterOptionsDialog()) {
        open->raise();
        open->activateWindow();
        return 0;
    }
    QPointer<MeterOptionsDialog> dialog = new MeterOptionsDialog(owner, optionFlags, x, y);
    const int result = dialog->exec();
    // Gone already when its owner was destroyed meanwhile: nothing was applied.
    if (!dialog)
        return 0;
    delete dialog.data();
    return result == 1 ? 1 : 0;
}

int optionsOpenFromMeterWindow(QWidget* window, QPoint screenPoint) {
    return OpenMeterOptionsDialog(window, kMeterWindowOptionFlags, screenPoint.x(),
                                  screenPoint.y());
}
