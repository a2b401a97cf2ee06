// The slider keeps its own copy of the control's value and works on it; the
// control learns every change through command 4. A knob answers command 4 by
// calling RefreshPrecisionSlider, so a drag step re-enters the slider while
// it is sending: that refresh (same control) only takes the values back, and
// the slider redraws once, after the send.
//
// The working value is kept in double precision. The fine ruler's step is
// about one float ulp at the top of the range, so accumulating it in a float
// would round some steps away; the control still receives floats, and its
// refreshes hand back the value it really took.
#include "controls/precision_slider.h"

#include "controls/ctl_hires.h"

#include "controls/ctl_core.h"
#include "controls/ctl_text.h"
#include "controls/i2p.h"
#include "controls/knob_range.h"
#include "platform/dc.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kLabelEvery[3] = {50, 25, 20}; // steps between labelled ticks
constexpr int kMinorEvery[3] = {10, 5, 4};   // steps between minor ticks
constexpr double kStepFactor[3] = {1e-3, 1e-5, 1e-7};

constexpr uint32_t kRulerBackground = ctlStyle(kCtlGrey230, kCtlGrey230, 0);
constexpr uint32_t kMarkerBox = kCtlEngraved | ctlStyle(kCtlBlack, kCtlGrey180, 0); // sunken panel
constexpr uint32_t kMarkerText = ctlStyle(kCtlBlack, 0, kCtlFont16);
constexpr uint32_t kLabelText = ctlStyle(kCtlBlack, 0, kCtlFont14);
constexpr uint32_t kLabelTextLow = ctlStyle(kCtlGrey130, 0, kCtlFont14); // zero and below
constexpr uint32_t kHeading = kCtlEngraved | ctlStyle(kCtlBlack, 0, kCtlFont16Bold);
constexpr uint32_t kSwitchLabel = kCtlEngraved | ctlStyle(kCtlBlack, 0, kCtlFont16);
constexpr int kLabelPen = 10, kMinorPen = 11, kHatchPen = 13;

bool sameNotifier(const CtlNotifier& a, const CtlNotifier& b) {
    return a.parent == b.parent && a.callback == b.callback && a.flags == b.flags &&
           a.userData == b.userData;
}

} // namespace

SliderParams sliderParams(const KnobRange& range, uint32_t style) {
    SliderParams p;
    double lo = range.minimum, hi = range.maximum;
    double v = range.value;
    if (hi < lo) {
        std::swap(lo, hi);
    }
    if (style & kSliderDecibel) {
        v = 20.0 * std::log10(v);
        lo = std::trunc(20.0 * std::log10(lo));
        hi = std::trunc(20.0 * std::log10(hi));
    }
    p.value = v;
    p.minimum = lo;
    p.maximum = hi;
    p.span = hi - lo;
    // log10 of a span of 0 (or of a non-positive decibel bound) has no
    // meaning: such a slider shows its value and moves nothing.
    p.usable = std::isfinite(p.span) && p.span > 0.0 && std::isfinite(v);
    if (!p.usable) {
        return p;
    }
    const double l = std::log10(p.span);
    const double c = l >= 0.0 ? std::ceil(l) : std::floor(l);
    const double unit = std::pow(10.0, c);
    p.decimals = static_cast<int>(std::clamp(6.0 - c, 1.0, 5.0));
    for (int k = 0; k < 3; ++k) {
        p.steps[k] = unit * kStepFactor[k];
    }
    return p;
}

PrecisionSlider* ctlPrecisionSlider() {
    return qobject_cast<PrecisionSlider*>(ctlPopups().precisionSlider.data());
}

QWidget* ctlPrecisionSliderTarget() {
    PrecisionSlider* s = ctlPrecisionSlider();
    return s ? s->target() : nullptr;
}

PrecisionSlider::PrecisionSlider(QWidget* owner, int x, int y)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Precision Tri Slider"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // The size asked for includes the caption, which the window manager adds
    // around our client here.
    m_w = kSliderWidth;
    m_h = std::max(kSliderHeight - ctlFrameMetrics().caption, 100);
    setFixedSize(m_w, m_h);
    move(x, y);
    dragInit(m_drag, this);

    m_columnX = {0, m_w / 3, 2 * (m_w / 3)};
    m_innerWidth = m_w / 3 - 1;
    m_centre = (m_h - 40) / 2;
    ctlFitSurface(m_rulers, this, QSize(m_w, m_h - 40));
    m_rulers.fill(Qt::black);
    paintFace();

    m_switch = ctlCreateDefaultButton(this, kSliderInverseId, m_w - 30, m_h - 18, 0);
    if (m_switch && ctlOptions().aIMode == 1) {
        ctlSendCommand(m_switch, kCtlCmdSetValue, 1.0f);
    }
}

PrecisionSlider::~PrecisionSlider() {
    // Destroyed with its owner: no end notice into an owner going away.
    m_column = 0;
    finish();
}

void PrecisionSlider::retarget(QWidget* control, uint32_t style, int closeCode,
                               const CtlNotifier& notifier, int id, const KnobRange& range) {
    if (m_column && !sameTarget(control, notifier)) {
        endColumnDrag(); // the old control's gesture ends before another begins
    }
    m_target = control;
    m_targetGiven = control != nullptr;
    m_style = style;
    m_closeCode = closeCode;
    m_notifier = notifier;
    m_id = id;
    m_params = sliderParams(range, style);
}

void PrecisionSlider::takeValues(const KnobRange& range) {
    const SliderParams fresh = sliderParams(range, m_style);
    if (!(m_params.steps[0] > 0.0)) {
        m_params = fresh; // there were no steps to keep
        return;
    }
    m_params.value = fresh.value;
    m_params.minimum = fresh.minimum;
    m_params.maximum = fresh.maximum;
    m_params.span = fresh.span;
    m_params.usable = fresh.usable;
}

bool PrecisionSlider::sameTarget(const QWidget* control, const CtlNotifier& notifier) const {
    return m_target.data() == control && sameNotifier(m_notifier, notifier);
}

void PrecisionSlider::bringUp(bool takeFocus) {
    show();
    raise();
    if (takeFocus) {
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
}

void PrecisionSlider::paintFace() {
    ctlFitSurface(m_face, this, QSize(m_w, m_h));
    m_face.fill(ctlColor(kCtlGrey230).isValid() ? ctlColor(kCtlGrey230) : QColor(230, 230, 230));
    Dc dc(m_face);
    ctlTileBitmap(this, dc, 0, 0, ctlBitmap(kCtlBitmapBackground));
    dc.setBkMode(BkMode::Transparent);
    ctlText(dc, kHeading, 5, 2, QStringLiteral("Adjust Value"));
    // The label ends clear of the inverse-mode switch (W - 30) whatever the
    // font's width.
    const QString label = QStringLiteral("Inverse mousemove mode");
    const int width = QFontMetrics(ctlFont(ctlStyleFont(kSwitchLabel))).horizontalAdvance(label);
    ctlText(dc, kSwitchLabel, std::min(m_w - 186, m_w - 34 - width), m_h - 18, label);
}

void PrecisionSlider::drawRulers() {
    if (m_rulers.isNull()) {
        return;
    }
    const SliderParams& p = m_params;
    const int cw = m_innerWidth;
    const int lastRow = m_h - 42;
    Dc dc(m_rulers);
    dc.setBkMode(BkMode::Transparent);
    ctlBox(dc, kRulerBackground, 1, 1, m_w, m_h);
    for (int k = 0; k < 3; ++k) {
        const int x = m_columnX[k];
        if (p.usable) {
            const double r = p.steps[k];
            // Rows meet the range ends within a rounding error of a step.
            const double eps = r * 1e-3;
            const double offset = std::clamp(std::trunc((p.value - p.minimum) / r), -1e12, 1e12);
            long long n = m_centre + static_cast<long long>(offset);
            for (int i = 1; i <= lastRow; ++i, --n) { // values grow upward
                double v = p.minimum + static_cast<double>(n) * r;
                if (v >= p.minimum - eps && v <= p.maximum + eps) {
                    if (n % kLabelEvery[k] == 0) {
                        ctlLine(dc, kLabelPen, x + 2, i, x + 6, i);
                        if (std::fabs(v) < eps) {
                            v = 0.0; // no "-0.000" from a rounding error
                        }
                        ctlText(dc, v > 0.0 ? kLabelText : kLabelTextLow, x + 9, i - 8,
                                QString::fromStdString(ctlFormatNumber(v, p.decimals, 0, 0)));
                    }
                    if (n % kMinorEvery[k] == 0) {
                        ctlLine(dc, kMinorPen, x + cw - 4, i, x + cw, i);
                    }
                } else if (n % 2 == 0) {
                    ctlLine(dc, kHatchPen, x + 2, i, x + cw, i);
                }
            }
        } else {
            // No steps: the whole ruler lies outside any range.
            for (int i = 2; i <= lastRow; i += 2) {
                ctlLine(dc, kHatchPen, x + 2, i, x + cw, i);
            }
        }
        ctlBox(dc, kMarkerBox, x + 1, m_centre - 10, x + cw - 1, m_centre + 10);
        ctlText(dc, kMarkerText, x + 5, m_centre - 8,
                QString::fromStdString(ctlFormatNumber(p.value, p.decimals, 0, 1)));
        ctlFrame(dc, kCtlEngraved, x, 0, x + cw, m_h - 41);
    }
}

void PrecisionSlider::showRulers() {
    drawRulers();
    if (isVisible()) {
        repaint(0, 20, m_w, m_h - 40);
    }
}

bool PrecisionSlider::event(QEvent* event) {
    if (event->type() == CtlNotifyEvent::eventType()) {
        const auto* n = static_cast<CtlNotifyEvent*>(event);
        if ((n->code() & 0xFFFF) == kSliderInverseId) {
            uint32_t& mode = ctlOptions().aIMode;
            mode = mode ? 0 : 1;
        }
        return true;
    }
    return QWidget::event(event);
}

void PrecisionSlider::paintEvent(QPaintEvent*) {
    if (m_face.devicePixelRatio() != devicePixelRatioF()) {
        // Shown on a screen of another density: both drawn again at its ratio.
        paintFace();
        if (!m_rulers.isNull()) {
            ctlFitSurface(m_rulers, this, QSize(m_w, m_h - 40));
            m_rulers.fill(Qt::black);
            drawRulers();
        }
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_face);
    painter.drawImage(QPointF(0, 20), m_rulers);
}

void PrecisionSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_column) {
        return;
    }
    const QPoint p = event->position().toPoint();
    const int x = p.x(), y = p.y();
    if (x > m_w - 30 && x < m_w - 6 && y > m_h - 30 && y < m_h - 5) {
        // Around the switch: the press is the switch's.
        if (m_switch && !m_switch->geometry().contains(p)) {
            QMouseEvent press(QEvent::MouseButtonPress, m_switch->mapFrom(this, event->position()),
                              event->globalPosition(), Qt::LeftButton, Qt::LeftButton,
                              event->modifiers());
            QCoreApplication::sendEvent(m_switch, &press);
        }
        return;
    }
    m_last = p;
    if (y < 20 || y > m_h - 20) {
        dragBegin(m_drag, x, y);
        return;
    }
    m_column = x < m_w / 3 ? 1 : x < 2 * (m_w / 3) ? 2 : 3;
    ctlTakeMouse(this, m_previousCapture);
    if (m_notifier.flags & kCtlNotifyGestures) {
        ctlNotify(m_notifier, m_id | kCtlGestureBegin, 0.0f);
    }
}

void PrecisionSlider::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (dragActive(m_drag)) {
        dragMove(m_drag, p.x(), p.y());
        return;
    }
    if (!m_column) {
        return;
    }
    const int dx = p.x() - m_last.x(), dy = p.y() - m_last.y();
    m_last = p;
    int step = std::abs(dx) < std::abs(dy) ? dy : dx;
    if (ctlOptions().aIMode) {
        step = -step;
    }
    if (step == 0 || !m_params.usable) {
        return;
    }
    if (m_targetGiven && !m_target) {
        return; // the control is gone, and its notifier may point at freed data
    }
    SliderParams& par = m_params;
    par.value = std::clamp(par.value + par.steps[m_column - 1] * step, par.minimum, par.maximum);
    const float sent = static_cast<float>(
        (m_style & kSliderDecibel) ? std::pow(10.0, par.value * 0.05) : par.value);
    // The control or its owner may close, re-target or even destroy the
    // slider from inside these calls.
    QPointer<PrecisionSlider> self(this);
    const CtlNotifier notifier = m_notifier;
    const int id = m_id;
    m_sending = true;
    if (QWidget* target = m_target.data()) {
        ctlSendCommand(target, kCtlCmdSetValue, sent);
    }
    ctlNotify(notifier, id, sent);
    if (!self) {
        return;
    }
    m_sending = false;
    if (!m_finished) {
        showRulers();
    }
}

void PrecisionSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint p = event->position().toPoint();
    if (dragActive(m_drag)) {
        dragEnd(m_drag, p.x(), p.y());
        return;
    }
    // A release without a ruler press (one that went to the switch) ends
    // nothing, so no end notice goes out without its begin notice.
    if (m_column) {
        endColumnDrag();
    }
}

void PrecisionSlider::endColumnDrag() {
    m_column = 0;
    ctlReturnMouse(this, m_previousCapture);
    if (m_notifier.flags & kCtlNotifyGestures) {
        ctlNotify(m_notifier, m_id | kCtlGestureEnd, 0.0f);
    }
}

void PrecisionSlider::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PrecisionSlider::closeEvent(QCloseEvent* event) {
    finish();
    event->accept(); // and deleted later (WA_DeleteOnClose)
}

void PrecisionSlider::finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    if (ctlPopups().precisionSlider == this) {
        ctlPopups().precisionSlider = nullptr;
    }
    if (m_column) {
        endColumnDrag(); // a gesture cut short by the close still ends
    }
    if (QWidget::mouseGrabber() == this) {
        releaseMouse();
    }
    m_rulers = QImage();
    if (ctlNotificationsEnabled()) {
        if (QWidget* target = m_target.data()) {
            ctlSendCommand(target, m_closeCode, 0.0f);
        }
    }
}

void OpenPrecisionSlider(QWidget* owner, QWidget* control, uint32_t style, int x, int y,
                         int closeCode, const CtlNotifier& notifier, int id,
                         const KnobRange& range) {
    PrecisionSlider* s = ctlPrecisionSlider();
    if (!s) {
        s = new PrecisionSlider(owner, x, y);
        ctlPopups().precisionSlider = s;
    }
    s->retarget(control, style, closeCode, notifier, id, range);
    s->showRulers();
    s->bringUp(true);
}

void RefreshPrecisionSlider(QWidget* control, uint32_t style, int closeCode,
                            const CtlNotifier& notifier, int id, const KnobRange& range) {
    PrecisionSlider* s = ctlPrecisionSlider();
    if (!s) {
        return;
    }
    if (s->sameTarget(control, notifier)) {
        s->takeValues(range);
        if (s->sending()) {
            return; // the slider's own step: it redraws once the send is done
        }
        s->showRulers();
        s->bringUp(false);
        return;
    }
    s->retarget(control, style, closeCode, notifier, id, range);
    s->showRulers();
    s->bringUp(true);
}
