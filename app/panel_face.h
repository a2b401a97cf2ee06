// PanelFace: the main window's client area. It paints the panel bitmap and
// carries the control panel's knobs and buttons as its children, so child
// positions are client coordinates.
//
// Left-button presses, moves and releases drag the whole window (WindowDrag);
// a right-button press opens the right-click menu at the pointer.
//
// Thread: main thread only.
#pragma once

#include "controls/window_drag.h"

#include <QImage>
#include <QWidget>

class QMenu;

class PanelFace : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 278;

    PanelFace(const QImage& bitmap, QWidget* parent);

    WindowDrag& drag() { return m_drag; }
    // The menu a right-button press opens; none until the shell builds it.
    void setContextMenu(QMenu* menu) { m_contextMenu = menu; }
    QMenu* contextMenu() const { return m_contextMenu; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QImage m_bitmap; // bitmap 500, shared with the shell
    // The face as last painted, at the screen's device pixel ratio; redrawn
    // only when the size or the ratio changes.
    QImage m_surface;
    QSize m_surfaceSize;
    WindowDrag m_drag;
    QMenu* m_contextMenu = nullptr;
};
