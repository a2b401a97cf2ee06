#include "controls/rotatif.h"

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_text.h"
#include "controls/precision_slider.h"
#include "controls/text_entry_dialog.h"
#include "controls/time_entry_dialog.h"
#include "platform/dc.h"
#include "platform/nested_loop.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimerEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace {

int rnd(float f) {
    return static_cast<int>(ctlRound(f));
}

constexpr uint32_t kInfoBoxOn = 0x80000000u;
constexpr uint32_t kInfoHighBits = 0xF0000000u;

std::string number(float v, int decimals, const char* suffix = "") {
    return ctlFormatNumber(v, decimals, 0, 1) + suffix;
}

} // namespace

Rotatif::Rotatif(QWidget* parent, int id, const QImage& picture, int centreX, int centreY,
                 const KnobRange& range, const CtlNotifier& notifier)
    : CtlControl(parent, kCtlClassRotatif), m_picture(picture), m_centreX(centreX),
      m_centreY(centreY), m_range(range), m_pointerLength(picture.width() / 3 + 2) {
    initControl(id, notifier, true);
    setFixedSize(picture.size());
    m_shownAngle = m_initialAngle = m_range.angleOf(m_range.defaultValue);
    m_mask = ctlRoundMask(picture.width());
    // Only the disc is shown, so that whatever the parent paints (a panel
    // face) stays visible around the knob. Without a mask the knob is square
    // and covers its whole rectangle.
    if (m_mask) {
        // The disc is where the mask is not white, scanned in runs per row.
        for (int y = 0; y < std::min(m_mask->height(), height()); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(m_mask->constScanLine(y));
            for (int x = 0; x < std::min(m_mask->width(), width());) {
                const int from = x;
                while (x < m_mask->width() && (row[x] & 0xFFFFFF) != 0xFFFFFF)
                    ++x;
                if (x > from)
                    m_shape += QRect(from, y, x - from, 1);
                ++x;
            }
        }
    } else {
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_shape = QRegion(rect());
    }
    m_surface = QImage(picture.size(), QImage::Format_RGB32);
    buildMenu();
}

Rotatif::~Rotatif() {
    if (sliderAttached()) {
        if (QWidget* slider = ctlPopups().precisionSlider.data())
            slider->close();
    }
    if (m_dragging)
        ctlHideValueBox();
}

// ---- value rules with their repaint ----------------------------------------

void Rotatif::showAngle(float angle) {
    if (angle != m_shownAngle) {
        m_shownAngle = angle;
        repaint();
    }
}

bool Rotatif::takeValue(float v) {
    if (!m_range.setValue(v))
        return false;
    showAngle(m_range.angleOf(m_range.value));
    return true;
}

bool Rotatif::stepAndShow(int n) {
    if (!m_range.stepBy(n))
        return false;
    showAngle(m_range.angleOf(m_range.value));
    if (notifier().flags & kKnobContinuous)
        notify(controlId(), m_range.value);
    return true;
}

void Rotatif::announce() {
    const int id = controlId();
    if (gestureNotifications())
        notify(id | kCtlGestureBegin, 0.0f);
    notify(id, m_range.value);
    if (gestureNotifications())
        notify(id | kCtlGestureEnd, 0.0f);
}

void Rotatif::resetToDefault() {
    if (!controlEnabled())
        return;
    takeValue(m_range.defaultValue);
    announce();
    refreshSlider();
}

// ---- commands --------------------------------------------------------------

int32_t Rotatif::command(int code, int32_t argument) {
    CtlOptions& o = ctlOptions();
    if (code >= kKnobCmdLatency && code < kKnobCmdLatency + 1000) {
        o.rotLatency = static_cast<uint32_t>(code - kKnobCmdLatency);
        return 0;
    }
    if (code > kKnobCmdInfoBox) {
        o.infoValue = static_cast<uint32_t>(code - kKnobCmdInfoBox) | (o.infoValue & kInfoHighBits);
        return 0;
    }
    switch (code) {
    case kCtlCmdGetValue:
        return ctlValueBits(m_range.value);
    case kCtlCmdSetValue:
        takeValue(ctlBitsValue(argument));
        if (sliderAttached())
            refreshSlider();
        return 0;
    case kKnobCmdInverseMode:
        if (o.rotMode <= 1)
            o.rotMode ^= 1;
        return 0;
    case kKnobCmdAngularMode:
        o.rotMode = (o.rotMode & 2) ? (o.rotMode & 1) : (o.rotMode | 2);
        return 0;
    case kKnobCmdShowMoves:
        o.rotMove = o.rotMove ? 0 : 1;
        update();
        return 0;
    case kKnobCmdDefault:
        resetToDefault();
        return 0;
    case kKnobCmdMinimum:
    case kKnobCmdMaximum:
        takeValue(code == kKnobCmdMinimum ? m_range.minimum : m_range.maximum);
        announce();
        return 0;
    case kKnobCmdEdit:
        editValue();
        return 0;
    case kKnobCmdAdjust:
        openSlider();
        return 0;
    case kKnobCmdInfoBox:
        if (o.infoValue & kInfoBoxOn)
            o.infoValue &= ~kInfoHighBits;
        else
            o.infoValue |= kInfoBoxOn;
        return 0;
    default:
        return CtlControl::command(code, argument); // 1, 2; 0 for the rest
    }
}

// ---- dialogs and the precision slider --------------------------------------

void Rotatif::editValue() {
    if (!controlEnabled() || !editable())
        return;
    const QPoint at = mapToGlobal(QPoint(m_centreX, m_centreY));
    // The dialogs run an event loop: a shut-down inside it leaves the knob
    // to deleteWhenIdle, anything else that deletes it is seen by `self`.
    const NestedLoopScope nested(this);
    QPointer<Rotatif> self(this);
    const uint32_t style = m_range.style;
    for (uint32_t kind : {kKnobDecibel, kKnobTextEntry}) {
        if (!(style & kind))
            continue;
        const bool db = kind == kKnobDecibel;
        const float shown = db ? 20.0f * std::log10(m_range.value) : m_range.value;
        const std::string text = ctlFormatNumber(shown, m_range.decimals, 0, 0);
        std::unique_ptr<char[]> result = TextEntryDialog(
            parentWidget(), kKnobEntryStyle, at.x(), at.y(), 100, 20, QString::fromStdString(text));
        if (!self)
            return;
        if (result && result[0]) {
            const double typed = ctlParseNumber(result.get());
            takeValue(db ? static_cast<float>(std::pow(10.0, typed * 0.05)) : float(typed));
            announce();
            refreshSlider();
            if (!self)
                return;
        }
    }
    if (style & kKnobTimeEntry) {
        const float v =
            TimeEntryDialog(parentWidget(), kKnobEntryStyle, at.x(), at.y(), m_range.value);
        if (!self || v == kTimeEntryNoValue)
            return;
        takeValue(v);
        announce();
        refreshSlider();
    }
}

// The precision slider works on a copy of the range and sends changes back
// with command 4.
void Rotatif::openSlider() {
    if (!controlEnabled() || !editable())
        return;
    const QPoint at = mapToGlobal(QPoint(m_centreX, m_centreY));
    OpenPrecisionSlider(parentWidget(), this, m_range.style, at.x() - 2, at.y() - 2,
                        kKnobCmdSliderClosed, notifier(), controlId(), m_range);
}

void Rotatif::refreshSlider() {
    RefreshPrecisionSlider(this, m_range.style, kKnobCmdSliderClosed, notifier(), controlId(),
                           m_range);
}

bool Rotatif::sliderAttached() const {
    return ctlPrecisionSliderTarget() == this;
}

// ---- mouse -----------------------------------------------------------------

const char* Rotatif::boxText() {
    const float v = m_range.shown(m_range.value);
    const int n = ctlFormatNumber(v, m_text, sizeof m_text - 4, m_range.decimals, 0, 0);
    if (m_range.decibel())
        std::memcpy(m_text + n, " db", 4);
    return m_text;
}

void Rotatif::beginDrag(QPoint at) {
    setFocus(Qt::MouseFocusReason);
    if (m_dragging || !controlEnabled())
        return;
    captureMouse();
    const CtlOptions& o = ctlOptions();
    if (o.infoValue & kInfoBoxOn) {
        // Corners 1..4 as the menu offers; any other stored corner shows the
        // box at the right bottom, the library's default.
        const int corner = static_cast<int>(o.infoValue & 0xF);
        int bx = x() + width(), by = y() + height();
        if (corner == 1 || corner == 4)
            bx = x() - kValueBoxWidth;
        if (corner == 1 || corner == 2)
            by = y() - kValueBoxHeight;
        ctlShowValueBox(parentWidget(), bx, by, boxText());
    }
    m_dragging = true;
    m_lastX = at.x();
    m_lastY = at.y();
    repaint();
    refreshSlider();
    if (gestureNotifications())
        notify(controlId() | kCtlGestureBegin, 0.0f);
}

void Rotatif::mousePressEvent(QMouseEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    switch (event->button()) {
    case Qt::LeftButton:
        if (mods & Qt::ControlModifier) {
            editValue();
        } else if (mods & Qt::ShiftModifier) {
            openSlider();
        } else {
            m_movesAllowed = false;
            beginDrag(event->position().toPoint());
            if (!m_dragging)
                return;
            const uint32_t latency = ctlOptions().rotLatency;
            if (latency > 0 && !m_delay.isActive())
                m_delay.start(static_cast<int>(latency), Qt::PreciseTimer, this);
            if (!m_delay.isActive())
                m_movesAllowed = true;
        }
        break;
    case Qt::RightButton:
        if (!controlEnabled() || m_dragging)
            return;
        if (mods & Qt::ShiftModifier)
            openSlider();
        else
            showMenu(event->position().toPoint());
        break;
    case Qt::MiddleButton:
        if (m_dragging)
            return;
        if (mods & Qt::ShiftModifier)
            openSlider();
        else
            editValue();
        break;
    default:
        break;
    }
}

void Rotatif::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_delay.timerId()) {
        m_delay.stop();
        m_movesAllowed = true;
    } else {
        CtlControl::timerEvent(event);
    }
}

void Rotatif::mouseMoveEvent(QMouseEvent* event) {
    if (!m_movesAllowed)
        return;
    const QPoint p = event->position().toPoint();
    dragTo(static_cast<int16_t>(p.x()), static_cast<int16_t>(p.y()));
}

void Rotatif::dragTo(int x, int y) {
    if (!m_dragging) {
        m_lastX = x;
        m_lastY = y;
        return;
    }
    const uint32_t mode = ctlOptions().rotMode;
    const bool continuous = notifier().flags & kKnobContinuous;
    if (mode & 2) {
        const float dx = static_cast<float>(x - m_centreX);
        const float dy = static_cast<float>(m_centreY - y);
        const float r = std::sqrt(dx * dx + dy * dy);
        if (r <= 1e-20f)
            return; // on the centre: no direction, the point is not recorded
        float a = std::acos(dx / r);
        if (dy <= 0.0f)
            a = kKnobTwoPi - a;
        float h = m_range.start - a;
        if (a >= m_range.start)
            h += kKnobTwoPi;
        if (h > m_range.sweep())
            a = h > m_range.deadZoneMiddle() ? m_range.start : m_range.end;
        if (a != m_shownAngle && m_range.setFromAngle(a)) {
            m_shownAngle = a;
            repaint();
            refreshSlider();
        }
        ctlSetValueBoxText(boxText());
        m_lastX = x;
        m_lastY = y;
        if (continuous)
            notify(controlId(), m_range.value);
        return;
    }
    const int dx = x - m_lastX, dy = y - m_lastY;
    const int n = std::abs(dy) > std::abs(dx) ? (mode ? dy : -dy) : dx;
    const bool changed = m_range.stepBy(n);
    if (changed)
        showAngle(m_range.angleOf(m_range.value));
    ctlSetValueBoxText(boxText());
    refreshSlider();
    m_lastX = x;
    m_lastY = y;
    if (changed && continuous)
        notify(controlId(), m_range.value);
}

void Rotatif::endDrag() {
    releaseCapture();
    m_dragging = false;
    m_delay.stop();
    repaint();
    ctlHideValueBox();
    refreshSlider();
    const int id = controlId();
    notify(id, m_range.value);
    if (m_range.style & kKnobSpringBack) {
        takeValue(m_range.defaultValue);
        refreshSlider();
        notify(id, m_range.value);
    }
    if (gestureNotifications())
        notify(id | kCtlGestureEnd, 0.0f);
}

void Rotatif::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_dragging)
        endDrag();
}

void Rotatif::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not a second press: only the left double-click acts.
    if (event->button() == Qt::LeftButton)
        resetToDefault();
}

void Rotatif::wheelEvent(QWheelEvent* event) {
    // Five steps a notch (120). Touchpads and smooth wheels send parts of a
    // notch, which alone would truncate to no step at all: the part left
    // over is kept for the next event, so whole notches act as before.
    m_wheelRest += -5 * event->angleDelta().y();
    int n = m_wheelRest / 120;
    m_wheelRest -= n * 120;
    if (!(ctlOptions().rotMode & 1))
        n = -n;
    stepAndShow(n);
    refreshSlider();
    event->accept();
}

void Rotatif::keyPressEvent(QKeyEvent* event) {
    int n = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        n = -1;
        break;
    case Qt::Key_Right:
        n = 1;
        break;
    case Qt::Key_Up:
        n = 10;
        break;
    case Qt::Key_Down:
        n = -10;
        break;
    case Qt::Key_Insert:
        if (!m_dragging && editable())
            editValue();
        return;
    default:
        CtlControl::keyPressEvent(event);
        return;
    }
    if (!m_dragging && !(m_range.style & kKnobSpringBack))
        stepAndShow(n);
}

// ---- context menu ----------------------------------------------------------

void Rotatif::buildMenu() {
    m_menu = new QMenu(this);
    auto add = [this](QMenu* menu, const QString& text, int code) {
        QAction* a = menu->addAction(text);
        a->setData(code);
        a->setCheckable(true);
        return a;
    };
    QMenu* latency = new QMenu(QStringLiteral("Time before change value..."), m_menu);
    for (int ms = 0; ms <= 500; ms += 100)
        add(latency, QStringLiteral("Latency %1 ms").arg(ms), kKnobCmdLatency + ms);
    QMenu* box = new QMenu(QStringLiteral("Info Box..."), m_menu);
    add(box, QStringLiteral("Enable Info Value Box"), kKnobCmdInfoBox);
    box->addSeparator();
    const char* corners[] = {"Display on Left Top", "Display on Right Top",
                             "Display on Right Bottom", "Display on Left Bottom"};
    for (int i = 0; i < 4; ++i)
        add(box, QString::fromLatin1(corners[i]), kKnobCmdInfoBox + 1 + i);

    add(m_menu, QStringLiteral("Inverse Mousemove Mode"), kKnobCmdInverseMode);
    add(m_menu, QStringLiteral("Angular Mousemove Mode"), kKnobCmdAngularMode);
    m_menu->addSeparator();
    add(m_menu, QStringLiteral("Display Knob Moves"), kKnobCmdShowMoves);
    m_menu->addMenu(latency);
    m_menu->addMenu(box);
    if (editable()) {
        const KnobRange& r = m_range;
        const bool db = r.decibel();
        const int d = db ? 1 : 6;
        const char* unit = db ? " db" : "";
        m_menu->addSeparator();
        m_currentItem = m_menu->addAction(QString());
        m_currentItem->setData(kKnobCmdCurrentValue);
        m_currentItem->setEnabled(false);
        add(m_menu,
            QString::fromStdString("Default value (" + number(r.shown(r.defaultValue), d, unit) +
                                   ")\tDBLCLICK"),
            kKnobCmdDefault);
        add(m_menu, QStringLiteral("Edit Value\tINS [CTRL+CLICK]"), kKnobCmdEdit)
            ->setCheckable(false);
        add(m_menu, QStringLiteral("Adjust Value\t[SHIFT+CLICK]"), kKnobCmdAdjust)
            ->setCheckable(false);
        m_menu->addSeparator();
        add(m_menu,
            QString::fromStdString("Value Min (" + number(r.shown(r.minimum), d) + ")" + unit),
            kKnobCmdMinimum);
        add(m_menu,
            QString::fromStdString("Value Max (" + number(r.shown(r.maximum), d) + ")" + unit),
            kKnobCmdMaximum);
    }
    // Every item's command goes to the knob itself.
    QObject::connect(m_menu, &QMenu::triggered, this, [this](QAction* a) {
        const int code = a->data().toInt();
        if (code != kKnobCmdCurrentValue)
            command(code, 0);
    });
}

void Rotatif::showMenu(QPoint at) {
    const CtlOptions& o = ctlOptions();
    const KnobRange& r = m_range;
    const auto fix = [&](QMenu* menu, auto&& self) -> void {
        for (QAction* a : menu->actions()) {
            if (a->menu()) {
                self(a->menu(), self);
                continue;
            }
            const int code = a->data().toInt();
            bool checked = false;
            switch (code) {
            case kKnobCmdInverseMode:
                a->setEnabled(!(o.rotMode & 2));
                checked = o.rotMode & 1;
                break;
            case kKnobCmdAngularMode:
                checked = o.rotMode & 2;
                break;
            case kKnobCmdShowMoves:
                checked = o.rotMove != 0;
                break;
            case kKnobCmdDefault:
                checked = r.value == r.defaultValue;
                break;
            case kKnobCmdMinimum:
                checked = r.value == r.minimum;
                break;
            case kKnobCmdMaximum:
                checked = r.value == r.maximum;
                break;
            case kKnobCmdInfoBox:
                checked = o.infoValue & kInfoBoxOn;
                break;
            default:
                if (code >= kKnobCmdLatency && code < kKnobCmdInfoBox)
                    checked = o.rotLatency + kKnobCmdLatency == static_cast<uint32_t>(code);
                else if (code > kKnobCmdInfoBox)
                    checked = static_cast<int>(o.infoValue & 0xF) == code - kKnobCmdInfoBox;
            }
            if (a->isCheckable())
                a->setChecked(checked);
        }
    };
    fix(m_menu, fix);
    if (m_currentItem) {
        m_currentItem->setText(QString::fromStdString(
            "Current value : " + number(r.shown(r.value), r.decimals, r.decibel() ? " db" : "")));
    }
    // The menu runs an event loop, and the press that opened it goes on to
    // this knob when it returns.
    const NestedLoopScope nested(this);
    m_menu->exec(mapToGlobal(at));
}

// ---- painting --------------------------------------------------------------

void Rotatif::render() {
    const int w = width(), h = height();
    ctlFitSurface(m_surface, this, size());
    Dc dc(m_surface);
    // What shows outside the knob's circle.
    const QWidget* p = parentWidget();
    dc.fillRect(0, 0, w, h, p ? p->palette().brush(p->backgroundRole()) : QBrush(Qt::black));
    if (!ctlHiResDc(dc))
        ctlBlitRound(dc, m_picture, m_mask, 0, 0, w, h);
    else
        ctlBlitSharp(dc, m_picture, 0, 0, w, h); // paintEvent clips to the disc
    if (!controlEnabled()) {
        ctlDrawCross(dc, 4, 4, w - 4, h - 4);
        return;
    }
    if (focusMarked())
        ctlDrawDot(dc, m_centreX, h * 3 / 4); // a knob is always round
    if (ctlOptions().rotMove && m_shownAngle != m_initialAngle)
        paintMoves(dc);
    paintPointer(dc);
}

void Rotatif::paintMoves(Dc& dc) {
    const float tc = m_range.fromStart(m_shownAngle);
    const float ti = m_range.fromStart(m_initialAngle);
    const bool below = tc < ti; // the value is below its initial value
    const float cs = std::cos(m_shownAngle), ss = std::sin(m_shownAngle);
    const float ci = std::cos(m_initialAngle), si = std::sin(m_initialAngle);
    const bool hiRes = ctlHiResDc(dc);
    // In degrees, counter-clockwise from the first radial to the second.
    const double start = (below ? m_initialAngle : m_shownAngle) * 180.0 / std::numbers::pi;
    double span = std::fmod(
        (below ? m_shownAngle : m_initialAngle) * 180.0 / std::numbers::pi - start + 720.0, 360.0);
    if (span <= 0.0)
        span += 360.0;
    const auto sector = [&](float r, bool outer) {
        const int R = rnd(r);
        const QPoint P(m_centreX + rnd(r * cs), m_centreY + rnd(-r * ss));
        const QPoint Q(m_centreX + rnd(r * ci), m_centreY + rnd(-r * si));
        if (P == Q)
            return false;
        const QPoint from = below ? Q : P, to = below ? P : Q;
        const int l = m_centreX - R, t = m_centreY - R, rr = m_centreX + R - 1,
                  b = m_centreY + R - 1;
        if (hiRes) {
            // The same sector from its exact angles at the device's resolution.
            QPainter& painter = dc.painter();
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, !outer); // XOR touches each pixel once
            painter.setCompositionMode(outer ? QPainter::RasterOp_SourceXorDestination
                                             : QPainter::CompositionMode_SourceOver);
            painter.setPen(QPen(ctlColor(outer ? 15 : 0), 1.0));
            painter.setBrush(outer ? Qt::NoBrush : ctlBrush(below ? 8 : 2));
            painter.drawPie(QRectF(l, t, rr - l, b - t), int(std::lround(start * 16)),
                            int(std::lround(span * 16)));
            painter.restore();
            return true;
        }
        if (outer) {
            dc.selectPen(ctlPen(15));
            dc.selectBrush(Dc::nullBrush());
            const Rop2 old = dc.setRop2(Rop2::XorPen);
            dc.pie(l, t, rr, b, from.x(), from.y(), to.x(), to.y());
            dc.setRop2(old);
        } else {
            dc.selectPen(ctlPen(0));
            dc.selectBrush(ctlBrush(below ? 8 : 2));
            dc.pie(l, t, rr, b, from.x(), from.y(), to.x(), to.y());
        }
        return true;
    };
    if (sector(width() * 0.5f, true))
        sector(width() * 0.3f, false);
}

void Rotatif::paintPointer(Dc& dc) {
    const uint32_t style = m_range.style;
    dc.selectPen(ctlPen(static_cast<int>(style & kKnobPenMask)));
    dc.selectBrush(ctlBrush(static_cast<int>((style & kKnobBrushMask) >> 4)));
    const float c = std::cos(m_shownAngle), s = std::sin(m_shownAngle);
    const float L = static_cast<float>(m_pointerLength), W = static_cast<float>(m_pointerWidth);
    QPoint B(m_centreX, m_centreY), D(rnd(L * c), rnd(-L * s));
    if (style & kKnobShortPointer) {
        B += QPoint(rnd(0.7f * L * c), rnd(-0.7f * L * s));
        D = QPoint(rnd(0.3f * L * c), rnd(-0.3f * L * s));
    }
    if (ctlHiResDc(dc)) {
        // The same needle from its exact angle, not from whole pixels.
        QPointF b(m_centreX, m_centreY), d(L * c, -L * s);
        if (style & kKnobShortPointer) {
            b += 0.7f * d;
            d *= 0.3;
        }
        const QPointF e(-0.5f * W * s, 0.5f * W * c), t = b + d;
        const QPointF poly[4] = {{b.x() + e.x(), b.y() - e.y()},
                                 {b.x() - e.x(), b.y() + e.y()},
                                 {t.x() - e.x(), t.y() + e.y()},
                                 {t.x() + e.x(), t.y() - e.y()}};
        ctlSmoothPolygon(dc, poly, 4);
        return;
    }
    const QPoint p(rnd(-0.5f * W * s), rnd(0.5f * W * c));
    const QPoint T = B + D;
    const QPoint poly[4] = {{B.x() + p.x(), B.y() - p.y()},
                            {B.x() - p.x(), B.y() + p.y()},
                            {T.x() - p.x(), T.y() + p.y()},
                            {T.x() + p.x(), T.y() - p.y()}};
    dc.polygon(poly, 4);
}

void Rotatif::paintEvent(QPaintEvent* /*event*/) {
    render();
    QPainter painter(this);
    if (m_mask && devicePixelRatioF() != 1.0) {
        // The disc's edge at the screen's resolution, where the pictures
        // turn black.
        QPainterPath disc;
        disc.addEllipse(QRectF(0, 0, m_mask->width(), m_mask->height()));
        painter.setClipPath(disc);
    } else {
        painter.setClipRegion(m_shape);
    }
    painter.drawImage(QPointF(0, 0), m_surface);
}

// ---- creation --------------------------------------------------------------

Rotatif* ctlCreateKnob(QWidget* parent, int id, int x, int y, uint32_t style, const QImage& picture,
                       int centreX, int centreY, int16_t startDegrees, int16_t endDegrees,
                       float minimum, float maximum, float defaultValue, float step,
                       CtlCallback callback, void* userData) {
    if (!parent || picture.isNull() || id < 0 || id >= 0x4000 ||
        !KnobRange::usable(minimum, maximum, defaultValue, step, style))
        return nullptr;
    style &= ~kKnobUseCallback;
    if (callback)
        style |= kKnobUseCallback;
    const KnobRange range =
        KnobRange::make(minimum, maximum, defaultValue, step, style, startDegrees, endDegrees);
    const CtlNotifier notifier{parent, callback, style, userData};
    auto* knob = new Rotatif(parent, id, picture, centreX, centreY, range, notifier);
    knob->move(x, y);
    knob->show();
    return knob;
}
