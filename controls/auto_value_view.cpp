#include "controls/auto_value_view.h"

#include "controls/ctl_core.h"
#include "controls/ctl_hires.h"
#include "platform/dc.h"

#include <QApplication>
#include <QPainter>

AutoValueView::AutoValueView()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QString::fromUtf8(kCtlClassValueView));
    // Shown beside a control being dragged: it must never take the
    // activation or the keyboard focus from the window that owns the drag.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_DeleteOnClose); // closing destroys it; the pop-up slot then clears
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(kValueBoxWidth, kValueBoxHeight);
    render();
}

bool AutoValueView::takeText(std::string_view text) {
    if (text.size() > kValueBoxMaxText) {
        return false;
    }
    m_text = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    setWindowTitle(m_text);
    return true;
}

int AutoValueView::showAt(QWidget* owner, int x, int y, std::string_view text) {
    if (!takeText(text)) {
        return 0;
    }
    QWidget* focus = QApplication::focusWidget();
    m_owner = owner;
    const QPoint point = owner ? owner->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
    render();
    if (point != m_last) {
        m_last = point;
        move(point);
        show();
        repaint();
        m_hidden = false;
    }
    if (m_hidden) {
        // Same place as last time: only show again.
        show();
        repaint();
        m_hidden = false;
    }
    raise();
    if (focus && QApplication::focusWidget() != focus) {
        focus->setFocus();
    }
    return 1;
}

int AutoValueView::setBoxText(std::string_view text) {
    if (m_hidden || !takeText(text)) {
        return 0;
    }
    render();
    repaint();
    return 1;
}

void AutoValueView::hideBox() {
    if (!m_hidden) {
        hide();
        m_hidden = true;
    }
    m_owner = nullptr;
}

void AutoValueView::render() {
    ctlFitSurface(m_image, this, QSize(kValueBoxWidth, kValueBoxHeight));
    Dc dc(m_image);
    // One-pixel black border around the client area.
    dc.selectPen(ctlPen(kCtlBlack));
    dc.selectBrush(Dc::nullBrush());
    dc.rectangle(0, 0, kValueBoxWidth, kValueBoxHeight);
    // Client area: light grey, the text in black bold at (3, 1).
    const int cx = 1, cy = 1;
    dc.selectPen(ctlPen(kCtlGrey230));
    dc.selectBrush(ctlBrush(kCtlGrey230));
    dc.rectangle(cx, cy, kValueBoxWidth - 1, kValueBoxHeight - 1);
    dc.setBkMode(BkMode::Transparent);
    dc.setTextColor(QColor(0, 0, 0));
    dc.selectFont(ctlFont(kCtlFont16Bold));
    dc.textOut(cx + 3, cy + 1, m_text);
}

void AutoValueView::paintEvent(QPaintEvent* /*event*/) {
    if (m_image.devicePixelRatio() != devicePixelRatioF())
        render(); // shown on a screen of another density
    QPainter(this).drawImage(QPointF(0, 0), m_image);
}

AutoValueView* ctlCreateValueBox() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return nullptr; // no widgets without a widget application
    }
    auto* box = new AutoValueView();
    ctlPopups().valueBox = box;
    return box;
}

AutoValueView* ctlValueBox() {
    return qobject_cast<AutoValueView*>(ctlPopups().valueBox.data());
}

int ctlShowValueBox(QWidget* owner, int x, int y, std::string_view text) {
    AutoValueView* box = ctlValueBox();
    return box ? box->showAt(owner, x, y, text) : 0;
}

int ctlSetValueBoxText(std::string_view text) {
    AutoValueView* box = ctlValueBox();
    return box ? box->setBoxText(text) : 0;
}

void ctlHideValueBox() {
    if (AutoValueView* box = ctlValueBox()) {
        box->hideBox();
    }
}
