#include "controls/ctl_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <vector>

int ctlPointInClient(const QWidget* window, int x, int y) {
    return window && window->rect().contains(x, y) ? 1 : 0;
}

int ctlTabNavigate(QWidget* parent, int key, Qt::KeyboardModifiers modifiers) {
    if (!parent || (key != Qt::Key_Tab && key != Qt::Key_Backtab)) {
        return 1;
    }
    const bool backward = key == Qt::Key_Backtab || (modifiers & Qt::ShiftModifier);

    // Child controls in creation order (top-level windows parented here, such
    // as dialogs, are not children in this sense).
    std::vector<QWidget*> kids;
    for (QObject* object : parent->children()) {
        auto* w = qobject_cast<QWidget*>(object);
        if (w && !w->isWindow()) {
            kids.push_back(w);
        }
    }
    if (kids.empty()) {
        return 1;
    }
    const int n = static_cast<int>(kids.size());
    // One step; running off either end (or stepping back from the first
    // child) gives the first child.
    auto step = [&](int i) {
        const int j = backward ? i - 1 : i + 1;
        return j < 0 || j >= n ? 0 : j;
    };

    // The child that holds the focus, directly or through one of its own children.
    int focused = -1;
    if (QWidget* f = parent->window()->focusWidget(); f && f != parent) {
        for (int i = 0; i < n; ++i) {
            if (kids[i] == f || kids[i]->isAncestorOf(f)) {
                focused = i;
                break;
            }
        }
    }

    // Stepping stops at an enabled child, at the start again, or when a step
    // makes no progress (backward from a disabled first child), which would
    // otherwise spin for ever.
    auto search = [&](int from, int stopAt) {
        int c = from;
        while (!kids[c]->isEnabled() && c != stopAt) {
            const int next = step(c);
            if (next == c) {
                break;
            }
            c = next;
        }
        return c;
    };

    int target = 0;
    if (focused >= 0) {
        target = search(step(focused), focused);
    } else {
        target = kids[0]->isEnabled() ? 0 : search(step(0), 0);
    }
    if (kids[target]->isEnabled()) {
        kids[target]->setFocus(Qt::TabFocusReason);
    }
    return 0;
}

QSize ctlScreenSize(const QWidget* window) {
    QScreen* screen =
        window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(0, 0);
}

void ctlKeepOnScreen(QWidget* window) {
    if (!window) {
        return;
    }
    // Shown first: the window manager's frame is only known for a shown window.
    window->show();
    const QRect frame = window->frameGeometry();
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 0, 0);
    // Right and bottom are inclusive here, as right = left + width - 1.
    const int right = frame.left() + frame.width() - 1;
    const int bottom = frame.top() + frame.height() - 1;
    int x = frame.left();
    int y = frame.top();
    if (area.left() + area.width() < right + 1) {
        x = area.left() + area.width() - frame.width();
    }
    if (area.top() + area.height() < bottom + 1) {
        y = area.top() + area.height() - frame.height();
    }
    x = std::max(x, area.left());
    y = std::max(y, area.top());
    window->move(x, y);
}

QSize ctlBitmapSize(const QImage& bitmap) {
    return bitmap.size();
}

CtlFrameMetrics ctlFrameMetrics() {
    static const CtlFrameMetrics metrics = [] {
        QStyle* style = QApplication::style();
        CtlFrameMetrics m{};
        m.dialogFrame = style ? style->pixelMetric(QStyle::PM_DefaultFrameWidth) : 2;
        m.caption = style ? style->pixelMetric(QStyle::PM_TitleBarHeight) : 20;
        // Measured on a real menu bar, as the style alone does not know the font.
        QMenuBar bar;
        bar.addMenu(QStringLiteral("&File"));
        m.menu = bar.sizeHint().height();
        return m;
    }();
    return metrics;
}

void ctlTakeMouse(QWidget* w, QPointer<QWidget>& previous) {
    QWidget* holder = QWidget::mouseGrabber();
    previous = holder != w ? holder : nullptr;
    // Only a shown widget can hold the mouse.
    if (w->isVisible())
        w->grabMouse();
}

void ctlReturnMouse(QWidget* w, QPointer<QWidget>& previous) {
    if (QWidget::mouseGrabber() == w)
        w->releaseMouse();
    QWidget* holder = previous.data();
    previous = nullptr;
    if (holder && holder->isVisible())
        holder->grabMouse();
}
