#include "app/panel_face.h"

#include "controls/ctl_draw.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_window.h"
#include "platform/dc.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

PanelFace::PanelFace(const QImage& bitmap, QWidget* parent) : QWidget(parent), m_bitmap(bitmap) {
    setObjectName(QStringLiteral("panelFace"));
    setFixedSize(kWidth, kHeight);
    // The face covers every pixel itself; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void PanelFace::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    if (m_surface.isNull() || m_surfaceSize != size() || m_surface.devicePixelRatio() != dpr) {
        QImage logical(size(), QImage::Format_RGB32);
        logical.fill(Qt::black);
        {
            Dc dc(logical);
            ctlBlitWhole(dc, 0, 0, m_bitmap);
        }
        // On a high-density screen the face comes from its 2x drawing.
        const QImage hiRes = dpr != 1.0 ? ctlHiResPicture(m_bitmap) : QImage();
        m_surface =
            ctlHiResSurface(logical, logical, hiRes, QRect(QPoint(0, 0), m_bitmap.size()), dpr);
        m_surfaceSize = size();
    }
    QPainter p(this);
    p.drawImage(QPointF(0, 0), m_surface);
}

void PanelFace::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        dragBegin(m_drag, pos.x(), pos.y());
    } else if (event->button() == Qt::RightButton && m_contextMenu) {
        m_contextMenu->popup(mapToGlobal(pos));
    }
    event->accept();
}

void PanelFace::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    dragMove(m_drag, pos.x(), pos.y());
    event->accept();
}

void PanelFace::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        dragEnd(m_drag, pos.x(), pos.y());
    }
    event->accept();
}

bool PanelFace::focusNextPrevChild(bool next) {
    // Tab from a panel control arrives here: step over the face's controls
    // in creation order, enabled ones only, wrapping round.
    return ctlTabNavigate(this, Qt::Key_Tab, next ? Qt::NoModifier : Qt::ShiftModifier) == 0;
}
