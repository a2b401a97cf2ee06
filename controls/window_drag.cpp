// The outline cannot be XOR-drawn on the screen under a modern compositor, so
// it is a small top-level rubber band whose mask leaves only the rectangle's
// edges and the two cross lines, painted in the dash-dot pattern of the
// library's outline pen.
#include "controls/window_drag.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

namespace {

class DragOutline : public QRubberBand {
public:
    DragOutline() : QRubberBand(QRubberBand::Line, nullptr) {}

    // Shows the outline with its top-left at `topLeft` and the cross lines
    // through the global point `pointer`.
    void place(const QPoint& topLeft, const QSize& size, const QPoint& pointer) {
        m_cross = pointer - topLeft;
        setGeometry(QRect(topLeft, size));
        applyMask();
        if (!isVisible()) {
            show();
        }
        update();
    }

protected:
    bool event(QEvent* e) override {
        const bool handled = QRubberBand::event(e);
        // The rubber band resets its own ring mask on these; put ours back.
        switch (e->type()) {
        case QEvent::Show:
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::StyleChange:
            applyMask();
            break;
        default:
            break;
        }
        return handled;
    }

    void resizeEvent(QResizeEvent*) override { applyMask(); }
    void moveEvent(QMoveEvent*) override { applyMask(); }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        QPen pen(Qt::black, 0, Qt::DashDotLine);
        pen.setCosmetic(true);
        p.setPen(pen);
        const int w = width() - 1, h = height() - 1;
        p.drawRect(0, 0, w, h);
        p.drawLine(0, m_cross.y(), w, m_cross.y());
        p.drawLine(m_cross.x(), 0, m_cross.x(), h);
    }

private:
    void applyMask() {
        const int w = width(), h = height();
        if (w <= 0 || h <= 0) {
            return;
        }
        QRegion region(0, 0, w, 1);
        region += QRegion(0, h - 1, w, 1);
        region += QRegion(0, 0, 1, h);
        region += QRegion(w - 1, 0, 1, h);
        region += QRegion(0, m_cross.y(), w, 1);
        region += QRegion(m_cross.x(), 0, 1, h);
        if (mask() != region) {
            setMask(region);
        }
    }

    QPoint m_cross; // cross point relative to the outline's top-left
};

void hideOutline(WindowDrag& drag) {
    if (drag.outline) {
        drag.outline->hide();
        drag.outline.reset();
    }
    drag.drawn = 0;
}

} // namespace

void dragInit(WindowDrag& drag, QWidget* widget) {
    hideOutline(drag);
    drag.widget = widget;
    drag.active = 0;
    drag.drawn = 0;
    drag.previousCapture = nullptr;
}

void dragBegin(WindowDrag& drag, int x, int y) {
    QWidget* w = drag.widget;
    if (!w) {
        return;
    }
    hideOutline(drag); // a press that arrives during a drag starts afresh
    const QPoint pointer = w->mapToGlobal(QPoint(x, y));
    const QRect frame = w->window()->frameGeometry();
    drag.left = frame.left();
    drag.top = frame.top();
    drag.width = frame.width();
    drag.height = frame.height();
    drag.lastX = pointer.x();
    drag.lastY = pointer.y();
    drag.grabX = pointer.x() - drag.left;
    drag.grabY = pointer.y() - drag.top;
    drag.active = 1;
    drag.drawn = 0;
    QWidget* grabber = QWidget::mouseGrabber();
    drag.previousCapture = grabber != w ? grabber : nullptr;
    w->grabMouse();
}

void dragMove(WindowDrag& drag, int x, int y) {
    QWidget* w = drag.widget;
    if (!drag.active || !w) {
        return;
    }
    const QPoint pointer = w->mapToGlobal(QPoint(x, y));
    if (!drag.outline) {
        drag.outline = std::make_unique<DragOutline>();
    }
    static_cast<DragOutline*>(drag.outline.get())
        ->place(QPoint(pointer.x() - drag.grabX, pointer.y() - drag.grabY),
                QSize(drag.width, drag.height), pointer);
    drag.lastX = pointer.x();
    drag.lastY = pointer.y();
    drag.drawn = 1;
}

void dragEnd(WindowDrag& drag, int /*x*/, int /*y*/) {
    QWidget* w = drag.widget;
    if (!drag.active) {
        return;
    }
    // The release point itself is not used: only a shown outline moves the
    // window, so a click without movement leaves it where it was.
    hideOutline(drag);
    drag.active = 0;
    if (!w) {
        return;
    }
    w->releaseMouse();
    drag.left = drag.lastX - drag.grabX;
    drag.top = drag.lastY - drag.grabY;
    QWidget* top = w->window();
    if (top->pos() != QPoint(drag.left, drag.top)) {
        top->move(drag.left, drag.top);
    }
    top->show();
    if (QWidget* previous = drag.previousCapture) {
        previous->grabMouse();
    }
    drag.previousCapture = nullptr;
}

int dragActive(const WindowDrag& drag) {
    return drag.active;
}
