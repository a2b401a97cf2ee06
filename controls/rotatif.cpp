// The knob: its value, its commands, the entry dialogs and the precision
// slider. Its input, context menu and painting are in rotatif_input.cpp,
// rotatif_menu.cpp and rotatif_paint.cpp.
#include "controls/rotatif.h"

#include "controls/ctl_core.h"
#include "controls/ctl_draw.h"
#include "controls/ctl_text.h"
#include "controls/precision_slider.h"
#include "controls/rotatif_parts.h"
#include "controls/text_entry_dialog.h"
#include "controls/time_entry_dialog.h"
#include "platform/nested_loop.h"

#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace rotatif_parts;

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
