// WindowDrag: lets a window be moved by dragging its client area.
//
// The owner feeds it its mouse press, move and release positions in the
// coordinates of the widget given to dragInit. While the pointer moves, a
// top-level outline (the window's rectangle plus a horizontal and a vertical
// line through the pointer) follows it; on release the window moves to where
// the outline was last shown. A press and release without movement moves
// nothing. The mouse grab held by another widget before the drag is given back
// at the end.
//
// Thread: main thread only.
#pragma once

#include <QPointer>
#include <QRubberBand>
#include <QWidget>
#include <memory>

struct WindowDrag {
    QPointer<QWidget> widget;             // coordinates are given in this widget
    int active = 0;                       // a drag is in progress
    int drawn = 0;                        // the outline is shown
    int lastX = 0, lastY = 0;             // global pointer position of the last outline
    int grabX = 0, grabY = 0;             // pointer minus the window's top-left at the start
    int left = 0, top = 0;                // window frame position, updated when the drag ends
    int width = 0, height = 0;            // window frame size
    QPointer<QWidget> previousCapture;    // explicit mouse grabber before the drag
    std::unique_ptr<QRubberBand> outline; // exists only while a drag shows it
};

// `widget` is the widget whose mouse events feed the drag; its top-level
// window is what moves.
void dragInit(WindowDrag& drag, QWidget* widget);
void dragBegin(WindowDrag& drag, int x, int y);
void dragMove(WindowDrag& drag, int x, int y);
void dragEnd(WindowDrag& drag, int x, int y);
int dragActive(const WindowDrag& drag);
