// Every field of the dialog shows the one value s in its own unit. A change
// typed into a field sets s (or a piece of the context) and rewrites the
// other fields; while fields are being written the updating flag is set, so
// that the change notifications those writes cause are ignored and nothing
// is painted half-done.
//
// Musical durations are counted in 24ths of a quarter note, in which every
// note of the picture (triplets and dotted ones included) is a whole number;
// so a duration is exact and a sample count that should be whole is whole.
#include "controls/time_entry_dialog.h"

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_text.h"
#include "controls/held_keys.h"
#include "controls/i2p.h"
#include "controls/text_entry_dialog.h"
#include "platform/dc.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

constexpr int kClientW = 544, kClientH = 220;
constexpr int kCellSize = 32, kColumns = 5, kRows = 3, kNoteCount = 15;
constexpr int kMaxNotes = 5;
constexpr int kMaxTicks = 99999; // the tic field's largest resolution
constexpr uint16_t kNoNote = 0xFFFF;
constexpr double kSoundSpeed = 330.0; // metres per second

// Command ids.
enum : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdApply = 3,
    kIdSeconds = 10,
    kIdMillis = 11,
    kIdHertz = 12,
    kIdBpm = 13,
    kIdTempo = 14,
    kIdReplace = 15,
    kIdMetres = 50,
    kIdSamples = 51,
    kIdTicks = 60,
    kIdNumerator = 61,
    kIdDenominator = 62,
    kIdPosition = 63,
    kIdFrame = 70,
    kIdFps = 71,
};

struct EditPlace {
    int id, x, y, w, h;
};
constexpr EditPlace kEdits[] = {
    {kIdSeconds, 6, 28, 125, 17},  {kIdMillis, 6, 48, 125, 17},     {kIdHertz, 6, 68, 125, 17},
    {kIdBpm, 6, 88, 125, 17},      {kIdMetres, 6, 108, 125, 17},    {kIdSamples, 6, 128, 125, 17},
    {kIdTempo, 181, 126, 60, 17},  {kIdPosition, 360, 25, 162, 17}, {kIdTicks, 360, 58, 50, 17},
    {kIdFrame, 360, 155, 162, 17}, {kIdFps, 455, 185, 67, 17},
};
constexpr EditPlace kLists[] = {{kIdNumerator, 420, 58, 50, 60}, {kIdDenominator, 475, 58, 50, 60}};
constexpr int kTimeFields[] = {kIdSeconds, kIdMillis, kIdHertz, kIdBpm, kIdMetres, kIdSamples};
constexpr int kBeatUnits[] = {16, 8, 4, 2, 1};

// Length of each note of the picture in 24ths of a quarter: plain, triplet
// and dotted rows, whole note to sixteenth.
constexpr int kNoteUnits[kNoteCount] = {96, 48, 24, 12, 6, 64, 32, 16, 8, 4, 144, 72, 36, 18, 9};

constexpr uint32_t kHeading = kCtlEngraved | ctlStyle(kCtlBlack, 0, kCtlFont18Bold);
constexpr uint32_t kLabel = kCtlEngraved | ctlStyle(kCtlBlack, 0, kCtlFont14);

int durationUnits(const TimeContext& c) {
    int units = 0;
    for (uint16_t note : c.notes) {
        if (note >= kNoteCount) {
            break; // the end mark (or a damaged entry)
        }
        units += kNoteUnits[note];
    }
    return units;
}

int noteCount(const TimeContext& c) {
    int n = 0;
    while (n < kMaxNotes && c.notes[n] < kNoteCount) {
        ++n;
    }
    return n;
}

// The library's rounding rule (halves down) in double precision, which keeps
// sample counts above 2^24 exact.
double roundHalfDown(double x) {
    const double f = std::floor(x);
    return x - f > 0.5 ? f + 1.0 : f;
}

// A typed rate for the stored context: a number too large for a float is
// kept as the largest float rather than as infinity.
float toFloat(double number) {
    return static_cast<float>(std::min(number, static_cast<double>(FLT_MAX)));
}

QString fixed(double value, int decimals) {
    return QString::asprintf("%.*f", decimals, value);
}

// A stored rate as the tempo and frame rate fields take it: never negative.
float storedRate(float stored, float fallback) {
    return std::isfinite(stored) ? std::max(stored, 0.0f) : fallback;
}

} // namespace

TimeContext timeContextBounded(const TimeContext& stored) {
    const TimeContext d = timeContextDefault();
    TimeContext c = stored;
    bool ended = false; // nothing after the end mark (or a damaged entry)
    for (uint16_t& note : c.notes) {
        ended = ended || note >= kNoteCount;
        if (ended) {
            note = kNoNote;
        }
    }
    c.reserved0 = c.reserved1 = 0;
    c.replaceMode = c.replaceMode == 1 ? 1 : 0;
    c.tempo = storedRate(c.tempo, d.tempo);
    c.framesPerSecond = storedRate(c.framesPerSecond, d.framesPerSecond);
    // Only the edits and lists record the focus.
    const auto isField = [&c](const EditPlace& e) { return e.id == c.lastField; };
    if (std::ranges::none_of(kEdits, isField) && std::ranges::none_of(kLists, isField)) {
        c.lastField = d.lastField;
    }
    if (c.sampleRate < 1) {
        c.sampleRate = d.sampleRate;
    }
    c.ticksPerQuarter = std::clamp(c.ticksPerQuarter, 1, kMaxTicks);
    c.beatsPerBar = std::clamp(c.beatsPerBar, 1, 64);
    if (std::ranges::find(kBeatUnits, c.beatUnit) == std::end(kBeatUnits)) {
        c.beatUnit = d.beatUnit;
    }
    return c;
}

// The client area: paints the dialog's face and takes its mouse and the
// replace-mode switch's notifications.
class TimeEntryClient : public QWidget {
public:
    TimeEntryClient(TimeEntryWindow* dialog, QWidget* parent) : QWidget(parent), m_dialog(dialog) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override { m_dialog->paintClient(this); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            const QPoint p = e->position().toPoint();
            m_dialog->clientPress(p.x(), p.y());
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint p = e->position().toPoint();
        m_dialog->clientMove(p.x(), p.y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) {
            const QPoint p = e->position().toPoint();
            m_dialog->clientRelease(p.x(), p.y());
        }
    }
    bool event(QEvent* e) override {
        if (e->type() == CtlNotifyEvent::eventType()) {
            auto* n = static_cast<CtlNotifyEvent*>(e);
            if ((n->code() & 0xFFFF) == kIdReplace) {
                m_dialog->setReplaceMode(n->value() != 0.0f);
            }
            return true;
        }
        return QWidget::event(e);
    }

private:
    TimeEntryWindow* m_dialog;
};

TimeEntryWindow::TimeEntryWindow(QWidget* owner, uint32_t style, int x, int y, float seconds)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_context(&ctlOptions().timeContext) {
    if (QWidget* older = ctlPopups().timeEntry.data()) {
        older->close();
    }
    ctlPopups().timeEntry = this;
    setWindowModality(Qt::WindowModal); // blocks its owner's window only
    m_updating = true;
    m_saved = *m_context;
    m_seconds = seconds > 0.0f ? seconds : 0.0; // never negative (nor NaN)

    const int f = ctlFrameMetrics().dialogFrame;
    setGeometry(x, y, kClientW + 2 * f, kClientH + 2 * f);
    setFixedSize(kClientW + 2 * f, kClientH + 2 * f);
    m_client = new TimeEntryClient(this, this);
    m_client->setGeometry(f, f, kClientW, kClientH);
    dragInit(m_drag, m_client);
    ctlFitSurface(m_surface, m_client, QSize(kClientW, kClientH));

    createControls(style);
    m_updating = false;
    m_client->update();
}

TimeEntryWindow::~TimeEntryWindow() = default;

QWidget* TimeEntryWindow::control(int id) const {
    return id >= 0 && id < static_cast<int>(m_controls.size()) ? m_controls[id] : nullptr;
}

QWidget* TimeEntryWindow::client() const {
    return m_client;
}

QLineEdit* TimeEntryWindow::addEdit(int id, int x, int y, int w, int h, uint32_t style) {
    // The static edge is painted by the client around the edit's place.
    auto* edit = new QLineEdit(m_client);
    edit->setObjectName(QString::number(id));
    edit->setFrame(false);
    edit->setGeometry(x + 1, y + 1, w - 2, h - 2);
    ctlApplyEntryStyle(edit, style);
    edit->setTextMargins(2, 0, 2, 0);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this, id] { fieldChanged(id); });
    m_controls[id] = edit;
    return edit;
}

void TimeEntryWindow::createControls(uint32_t style) {
    for (const EditPlace& e : kEdits) {
        addEdit(e.id, e.x, e.y, e.w, e.h, style);
    }
    for (const EditPlace& l : kLists) {
        addList(l.id, QRect(l.x, l.y, l.w, l.h), style);
    }
    fillFields();

    // The field last used gets the focus again.
    if (QWidget* last = control(m_context->lastField)) {
        if (auto* edit = qobject_cast<QLineEdit*>(last)) {
            edit->selectAll();
        }
        last->setFocus();
    }
    createButtons(style);
}

void TimeEntryWindow::addList(int id, const QRect& place, uint32_t style) {
    auto* list = new QListWidget(m_client);
    list->setObjectName(QString::number(id));
    list->setFrameShape(QFrame::NoFrame);
    list->setGeometry(place.adjusted(1, 1, -1, -1));
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ctlApplyEntryStyle(list, style);
    if (id == kIdNumerator) {
        for (int n = 64; n >= 1; --n) {
            list->addItem(QString::number(n));
        }
    } else {
        for (int unit : kBeatUnits) {
            list->addItem(QString::number(unit));
        }
    }
    list->installEventFilter(this);
    connect(list, &QListWidget::currentRowChanged, this,
            [this, id](int row) { listChanged(id, row); });
    m_controls[id] = list;
}

void TimeEntryWindow::fillFields() {
    writeTimeFields(0);
    setFieldText(kIdTempo, fixed(m_context->tempo, 3));
    setFieldText(kIdTicks, QString::asprintf("%04i", m_context->ticksPerQuarter));
    setFieldText(kIdFps, fixed(m_context->framesPerSecond, 3));
    if (m_context->beatsPerBar >= 1 && m_context->beatsPerBar <= 64) {
        static_cast<QListWidget*>(m_controls[kIdNumerator])
            ->setCurrentRow(64 - m_context->beatsPerBar);
    }
    for (int i = 0; i < 5; ++i) {
        if (kBeatUnits[i] == m_context->beatUnit) {
            static_cast<QListWidget*>(m_controls[kIdDenominator])->setCurrentRow(i);
        }
    }
}

// The Replace mode toggle and the OK, Cancel and Apply buttons.
void TimeEntryWindow::createButtons(uint32_t style) {
    I2p* replace = ctlCreateDefaultButton(m_client, kIdReplace, 315, 126, 0); // toggle
    m_controls[kIdReplace] = replace;
    if (m_context->replaceMode == 1) {
        ctlSendCommand(replace, kCtlCmdSetValue, 1.0f);
    }

    const QFont styleFont = ctlFont(ctlStyleFont(style));
    struct ButtonPlace {
        int id;
        const char* text;
        QRect place;
    };
    const ButtonPlace buttons[] = {{kIdOk, "OK", {5, 185, 70, 25}},
                                   {kIdCancel, "Cancel", {80, 185, 70, 25}},
                                   {kIdApply, "Apply", {275, 197, 67, 15}}};
    for (const ButtonPlace& b : buttons) {
        auto* button = new CtlPushButton(QString::fromLatin1(b.text), m_client);
        button->setObjectName(QString::number(b.id));
        button->setGeometry(b.place);
        button->setFont(b.id == kIdApply ? ctlFont(kCtlFont14) : styleFont);
        button->setDefault(b.id == kIdOk);
        m_controls[b.id] = button;
    }
    connect(static_cast<QPushButton*>(m_controls[kIdOk]), &QPushButton::clicked, this,
            &TimeEntryWindow::accept);
    connect(static_cast<QPushButton*>(m_controls[kIdCancel]), &QPushButton::clicked, this,
            &TimeEntryWindow::reject);
    connect(static_cast<QPushButton*>(m_controls[kIdApply]), &QPushButton::clicked, this,
            [this] { takeMusicalDuration(false); });
}

void TimeEntryWindow::setFieldText(int id, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control(id))) {
        edit->setText(text);
    }
}

void TimeEntryWindow::writeTimeFields(int except, bool notePicked) {
    const bool wasUpdating = m_updating;
    m_updating = true;
    const double s = m_seconds;
    const TimeContext& c = *m_context;
    double samples = roundHalfDown(s * c.sampleRate);
    if (notePicked) {
        // Straight from the notes, so that a whole count is not cut to one less.
        samples =
            c.tempo > 0.0f ? std::trunc(durationUnits(c) * 2.5 * c.sampleRate / c.tempo) : 0.0;
    }
    const std::pair<int, QString> texts[] = {
        {kIdSeconds, fixed(s, 6)},
        {kIdMillis, fixed(s * 1000.0, 3)},
        {kIdHertz, fixed(s != 0.0 ? 1.0 / s : 0.0, 3)},
        {kIdBpm, fixed(s != 0.0 ? 60.0 / s : 0.0, 3)},
        {kIdMetres, fixed(s * kSoundSpeed, 3)},
        {kIdSamples, fixed(samples, 0)},
    };
    for (const auto& [id, text] : texts) {
        if (id != except) {
            setFieldText(id, text);
        }
    }
    if (except != kIdPosition) {
        writePosition();
    }
    if (except != kIdFrame) {
        writeVideoFrame();
    }
    m_updating = wasUpdating;
}

void TimeEntryWindow::writePosition() {
    const bool wasUpdating = m_updating;
    m_updating = true;
    const TimeContext& c = *m_context;
    setFieldText(kIdPosition,
                 QString::fromStdString(ctlFormatBarBeatTick(
                     m_seconds * 1000.0, c.tempo, c.ticksPerQuarter, c.beatsPerBar, c.beatUnit)));
    m_updating = wasUpdating;
}

void TimeEntryWindow::writeVideoFrame() {
    const bool wasUpdating = m_updating;
    m_updating = true;
    setFieldText(kIdFrame, fixed(m_context->framesPerSecond * m_seconds, 3));
    m_updating = wasUpdating;
}

void TimeEntryWindow::fieldChanged(int id) {
    if (m_updating) {
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(control(id));
    const QByteArray typed = edit->text().toUtf8().left(127);
    const std::string text = typed.toStdString();
    double number = ctlParseNumber(text);
    if (number < 0.0) {
        number = 0.0;
    }
    TimeContext& c = *m_context;
    switch (id) {
    case kIdSeconds:
        m_seconds = number;
        break;
    case kIdMillis:
        m_seconds = number * 0.001;
        break;
    case kIdHertz:
        m_seconds = number != 0.0 ? 1.0 / number : 0.0;
        break;
    case kIdBpm:
        m_seconds = number != 0.0 ? 60.0 / number : 0.0;
        break;
    case kIdMetres:
        m_seconds = number / kSoundSpeed;
        break;
    case kIdSamples:
        m_seconds = c.sampleRate > 0 ? roundHalfDown(number) / c.sampleRate : 0.0;
        break;
    case kIdFrame:
        m_seconds = c.framesPerSecond > 0.0f ? number / c.framesPerSecond : 0.0;
        break;
    case kIdPosition:
        m_seconds =
            ctlParseBarBeatTick(text, c.tempo, c.ticksPerQuarter, c.beatsPerBar, c.beatUnit) *
            0.001;
        break;
    case kIdTempo:
        c.tempo = toFloat(number);
        takeMusicalDuration(false);
        return;
    case kIdFps:
        c.framesPerSecond = toFloat(number);
        writeVideoFrame();
        return;
    case kIdTicks:
        c.ticksPerQuarter = static_cast<int32_t>(std::clamp(number, 1.0, double{kMaxTicks}));
        writePosition();
        return;
    default:
        return;
    }
    writeTimeFields(id);
}

void TimeEntryWindow::listChanged(int id, int row) {
    if (m_updating || row < 0) {
        return;
    }
    if (id == kIdNumerator) {
        m_context->beatsPerBar = 64 - row;
    } else if (row < 5) {
        m_context->beatUnit = kBeatUnits[row];
    }
    writePosition();
}

void TimeEntryWindow::takeMusicalDuration(bool notePicked) {
    const TimeContext& c = *m_context;
    m_seconds = c.tempo > 0.0f ? durationUnits(c) * 2.5 / c.tempo : 0.0;
    writeTimeFields(0, notePicked);
}

void TimeEntryWindow::pickNote(int note) {
    TimeContext& c = *m_context;
    const int count = noteCount(c);
    if (c.replaceMode == 1 || count == kMaxNotes) {
        for (uint16_t& n : c.notes) {
            n = kNoNote;
        }
        c.notes[0] = static_cast<uint16_t>(note);
    } else {
        c.notes[count] = static_cast<uint16_t>(note);
    }
    takeMusicalDuration(true);
}

void TimeEntryWindow::setReplaceMode(bool on) {
    m_context->replaceMode = on ? 1 : 0;
}

bool TimeEntryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int id = 0; id < static_cast<int>(m_controls.size()); ++id) {
            if (m_controls[id] == watched) {
                m_context->lastField = static_cast<uint16_t>(id);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TimeEntryWindow::accept() {
    if (m_ended) {
        return;
    }
    m_result = static_cast<float>(m_seconds);
    finish(Accepted);
}

void TimeEntryWindow::reject() {
    if (m_ended) {
        return;
    }
    *m_context = m_saved;
    finish(Rejected);
}

void TimeEntryWindow::closeEvent(QCloseEvent* event) {
    // A close request keeps the context as it stands and returns no value.
    finish(Rejected);
    event->accept();
}

void TimeEntryWindow::finish(int code) {
    if (!m_ended) {
        done(code);
    }
}

void TimeEntryWindow::done(int code) {
    m_ended = true;
    if (ctlPopups().timeEntry == this) {
        ctlPopups().timeEntry = nullptr;
    }
    QDialog::done(code);
}

void TimeEntryWindow::paintEvent(QPaintEvent*) {
    ctlPaintDialogFrame(this);
}

namespace {

void paintTexts(Dc& dc, int sampleRate) {
    const std::pair<QPoint, QString> headings[] = {
        {{5, 2}, "Enter Time"},
        {{180, 2}, "Enter Musical Time"},
        {{360, 2}, "Enter Musical Position"},
        {{360, 130}, "Enter Video Frame"},
    };
    for (const auto& [at, text] : headings) {
        ctlText(dc, kHeading, at.x(), at.y(), text);
    }
    const std::pair<QPoint, QString> labels[] = {
        {{135, 30}, "(s)"},
        {{135, 50}, "(ms)"},
        {{135, 70}, "(Hz)"},
        {{135, 90}, "(bpm)"},
        {{135, 110}, "(m)"},
        {{135, 130}, "(smp)"},
        {{8, 149}, QString::asprintf("Freq. Sample : %iHz", sampleRate)},
        {{247, 127}, "Tempo"},
        {{245, 144}, "Replace mode"},
        {{179, 196}, "Musical duration."},
        {{362, 44}, "tic"},
        {{421, 44}, "Time Signature"},
        {{360, 187}, "Frame per second"},
    };
    for (const auto& [at, text] : labels) {
        ctlText(dc, kLabel, at.x(), at.y(), text);
    }
}

void paintSeparators(Dc& dc) {
    const QRect lines[] = {{QPoint(170, 2), QPoint(170, 212)},
                           {QPoint(352, 2), QPoint(352, 212)},
                           {QPoint(360, 125), QPoint(523, 125)},
                           {QPoint(327, 144), QPoint(327, 152)},
                           {QPoint(315, 152), QPoint(327, 152)}};
    for (const QRect& l : lines) {
        ctlLine(dc, kCtlEngraved, l.left(), l.top(), l.right(), l.bottom());
    }
}

// The static edge around an edit or a list: dark above and left, light below
// and right.
void paintStaticEdge(Dc& dc, const QRect& control) {
    const QRect r = control.adjusted(-1, -1, 1, 1);
    dc.selectPen(ctlPen(kCtlGrey130));
    dc.moveTo(r.left(), r.bottom());
    dc.lineTo(r.left(), r.top());
    dc.lineTo(r.right() + 1, r.top());
    dc.selectPen(ctlPen(kCtlWhite));
    dc.moveTo(r.left() + 1, r.bottom());
    dc.lineTo(r.right(), r.bottom());
    dc.lineTo(r.right(), r.top());
}

// The note picture, the held cell (or none, -1) inverted.
void paintNotePicture(Dc& dc, const QImage& notes, int pressedCell) {
    ctlBlitSharp(dc, notes, kTimeNotesX, kTimeNotesY, notes.width(), notes.height());
    if (pressedCell >= 0 && !notes.isNull()) {
        const int col = pressedCell % kColumns, row = pressedCell / kColumns;
        ctlBlitSharpFrom(dc, notes, kTimeNotesX + col * kCellSize, kTimeNotesY + row * kCellSize,
                         col * kCellSize, row * kCellSize, kCellSize, kCellSize, true);
    }
}

// The tie under the junction of two picked notes at x.
void paintTie(Dc& dc, int x) {
    if (ctlHiResDc(dc)) {
        // The same tie through the same pixel centres, smooth.
        QPainter& p = dc.painter();
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(ctlColor(kCtlGrey180), 1.0));
        p.translate(0.5, 0.5);
        const QPointF tie[] = {{x - 6.0, 186}, {x - 4.0, 188}, {x + 4.0, 188}, {x + 6.0, 186}};
        p.drawPolyline(tie, 4);
        p.restore();
        return;
    }
    dc.moveTo(x - 6, 186);
    dc.lineTo(x - 4, 188);
    dc.lineTo(x + 4, 188);
    dc.lineTo(x + 6, 186);
    dc.lineTo(x + 7, 185);
}

// The strip of picked notes with a tie under each junction.
void paintNoteStrip(Dc& dc, const QImage& notes, const TimeContext& context) {
    ctlBox(dc, kCtlEngraved, kTimeStripLeft, kTimeStripTop, kTimeStripRight, kTimeStripBottom);
    const int count = noteCount(context);
    for (int i = 0; i < count && !notes.isNull(); ++i) {
        const int note = context.notes[i];
        const int col = note % kColumns, row = note / kColumns;
        ctlBlitSharpFrom(dc, notes, 181 + 30 * i, 162, col * kCellSize + 1, row * kCellSize + 1, 30,
                         30, true);
    }
    dc.selectPen(ctlPen(kCtlGrey180));
    for (int i = 1; i < count; ++i) {
        paintTie(dc, 181 + 30 * i);
    }
}

} // namespace

void TimeEntryWindow::paintClient(QWidget* client) {
    if (!m_updating) {
        ctlFitSurface(m_surface, client, QSize(kClientW, kClientH));
        Dc dc(m_surface);
        ctlTileBitmap(client, dc, 0, 0, ctlBitmap(kCtlBitmapBackground));
        dc.setBkMode(BkMode::Transparent);
        paintTexts(dc, m_context->sampleRate);
        paintSeparators(dc);
        for (QWidget* c : m_controls) {
            if (qobject_cast<QLineEdit*>(c) || qobject_cast<QListWidget*>(c)) {
                paintStaticEdge(dc, c->geometry());
            }
        }
        const QImage& notes = ctlBitmap(kCtlBitmapNotes);
        paintNotePicture(dc, notes, m_pressedCell);
        paintNoteStrip(dc, notes, *m_context);
    }
    QPainter p(client);
    p.drawImage(QPointF(0, 0), m_surface);
}

void TimeEntryWindow::clientPress(int x, int y) {
    if (x > kTimeNotesX && x < kTimeNotesX + 160 && y > kTimeNotesY && y < kTimeNotesY + 96) {
        m_pressedCell = ((y - 26) / kCellSize) * kColumns + (x - 181) / kCellSize;
        m_client->update();
        return; // the press itself holds the mouse until the release
    }
    if (x > kTimeStripLeft && x < kTimeStripRight && y > kTimeStripTop && y < kTimeStripBottom) {
        return;
    }
    dragBegin(m_drag, x, y);
}

void TimeEntryWindow::clientMove(int x, int y) {
    dragMove(m_drag, x, y);
}

void TimeEntryWindow::clientRelease(int x, int y) {
    if (m_pressedCell >= 0) {
        const bool inside =
            x > kTimeNotesX && x < kTimeNotesX + 160 && y > kTimeNotesY && y < kTimeNotesY + 96;
        const int pressed = m_pressedCell;
        m_pressedCell = -1;
        if (inside && ((y - 26) / kCellSize) * kColumns + (x - 181) / kCellSize == pressed) {
            pickNote(pressed);
        }
        m_client->update();
    }
    dragEnd(m_drag, x, y);
}

float TimeEntryDialog(QWidget* owner, uint32_t style, int x, int y, float seconds) {
    QPointer<TimeEntryWindow> dialog = new TimeEntryWindow(owner, style, x, y, seconds);
    dialog->exec();
    // The window is gone if its owner was destroyed meanwhile.
    const float result = dialog ? dialog->result() : kTimeEntryNoValue;
    delete dialog.data();
    return result;
}
