#include "display/xy_scope_window.h"

#include "controls/ctl_core.h"
#include "display/meter_renderer.h"
#include "display/meter_surface.h"
#include "display/meter_window.h"
#include "display/x11_presenter.h"
#include "display/xy_scope_painter.h"
#include "meter/meter_engine.h"
#include "meter/meter_scope_ring.h"
#include "options/meter_options_dialog.h"
#include "options/meter_settings.h"
#include "resources/resource_path.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

// What the window shares with the render thread.
struct XyScopeView {
    std::atomic<MeterEngine*> engine{nullptr}; // cleared when the engine goes first
    std::shared_ptr<MeterSurface> surface;
    QImage face;                       // the graticule alone, the picture's size (surface lock)
    XyTraceState trace;                // surface lock
    std::atomic<uint32_t> resetSeq{0}; // "Reset Max detection" asked (main thread)
    uint32_t resetSeen = 0;            // surface lock
};

namespace {

// The views the render thread may draw, under a lock held for a lookup only.
class ScopeRegistry {
public:
    void add(MeterEngine* engine, std::shared_ptr<XyScopeView> view) {
        std::lock_guard<std::mutex> guard(m_lock);
        for (Slot& s : m_slots) {
            if (!s.engine) {
                s = {engine, std::move(view)};
                return;
            }
        }
    }
    std::shared_ptr<XyScopeView> take(MeterEngine* engine) {
        std::lock_guard<std::mutex> guard(m_lock);
        for (Slot& s : m_slots) {
            if (s.engine == engine && engine) {
                s.engine = nullptr;
                return std::move(s.view);
            }
        }
        return nullptr;
    }
    std::shared_ptr<XyScopeView> find(MeterEngine* engine) {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const Slot& s : m_slots) {
            if (s.engine == engine && engine)
                return s.view;
        }
        return nullptr;
    }

private:
    struct Slot {
        MeterEngine* engine = nullptr;
        std::shared_ptr<XyScopeView> view;
    };
    std::mutex m_lock;
    Slot m_slots[4];
};

ScopeRegistry& registry() {
    static ScopeRegistry r;
    return r;
}

// Main thread: the open scopes.
std::vector<XyScopeWindow*>& windows() {
    static std::vector<XyScopeWindow*> w;
    return w;
}

bool onMainThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

XyScopeLook currentLook(bool* ok) {
    const MeterColorSetPtr set = GetMeterSettings()->colorSet.load();
    *ok = set != nullptr;
    return set ? xyScopeLook(set->values) : XyScopeLook{};
}

// Surface lock held: range (unless only redrawn) and trace.
void drawView(XyScopeView& v, const MeterScopeRing& ring, const XyScopeLook& look, bool advance) {
    const uint64_t end = ring.end();
    const uint32_t reset = v.resetSeq.load();
    if (reset != v.resetSeen) {
        v.resetSeen = reset;
        xyScopeResetRange(v.trace, ring, end, look);
    } else if (advance) {
        xyScopeUpdateRange(v.trace, ring, end, look.rangeRelease);
    }
    xyScopeDrawTrace(*v.surface, v.face, v.trace, ring, end, look, v.surface->glyphs.get());
}

class Renderers : public MeterFrameRenderer {
public:
    void renderFrame(MeterFrame& frame) override {
        DisplayFrameRenderer::instance().renderFrame(frame);
        // Without an open scope (the usual case) a frame costs one load here.
        const MeterScopeRing* ring = meterScopeRing(frame.engine);
        if (!ring)
            return;
        const std::shared_ptr<XyScopeView> view = registry().find(frame.engine);
        bool ok = false;
        const XyScopeLook look = view ? currentLook(&ok) : XyScopeLook{};
        if (!view || !ok)
            return;
        bool sent = false;
        {
            std::lock_guard<std::mutex> guard(view->surface->lock);
            drawView(*view, *ring, look, true);
            sent = view->surface->sendChanged();
        }
        if (!sent)
            view->surface->ringWake();
    }
};

WindowRect availableArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect r = screen->availableVirtualGeometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

MeterFrameRenderer& displayFrameRenderers() {
    static Renderers r;
    return r;
}

// Marks a handler that may run a nested event loop.
struct XyNestedScope {
    explicit XyNestedScope(XyScopeWindow* w) : window(w) { ++window->m_nested; }
    ~XyNestedScope() {
        if (--window->m_nested == 0 && window->m_deletePending)
            window->deleteLater();
    }
    XyNestedScope(const XyNestedScope&) = delete;
    XyNestedScope& operator=(const XyNestedScope&) = delete;
    XyScopeWindow* window;
};

XyScopeWindow::XyScopeWindow(MeterEngine* engine, const WindowRect& rect)
    : QWidget(nullptr, Qt::Window), m_view(std::make_shared<XyScopeView>()),
      m_surface(std::make_shared<MeterSurface>()) {
    setObjectName(QStringLiteral("XyScope"));
    setWindowTitle(QString::fromLatin1(kXyScopeTitle));
    setWindowIcon(QIcon(resourcePath(kIconMeter)));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(rect.x, rect.y, std::max(rect.width, 1), std::max(rect.height, 1));
    m_view->engine.store(engine);
    m_view->surface = m_surface;
    m_surface->resize(width(), height(), devicePixelRatioF());
    if (m_surface->wakeFd() >= 0) {
        m_wake = new QSocketNotifier(m_surface->wakeFd(), QSocketNotifier::Read, this);
        connect(m_wake, &QSocketNotifier::activated, this, [this] {
            m_surface->drainWake();
            QRect changed[MeterSurface::kMaxChanges];
            const int n = m_surface->takeChanged(changed);
            QRegion region;
            for (int i = 0; i < n; ++i)
                region += changed[i];
            repaint(region);
        });
    }
    m_menu = new QMenu(this);
    auto add = [this](int id, const char* text) {
        QAction* a = m_menu->addAction(QString::fromUtf8(text));
        connect(a, &QAction::triggered, this, [this, id] { command(id); });
        m_actions[id] = a;
    };
    add(kXyCmdDefaultOptions, "Default Options...");
    add(kXyCmdResetRange, "Reset Max detection");
    dragInit(m_drag, this);
    meterSetScope(engine, 1);
    registry().add(engine, m_view);
    windows().push_back(this);
}

XyScopeWindow::~XyScopeWindow() {
    teardown();
}

MeterEngine* XyScopeWindow::engine() const {
    return m_view->engine.load();
}

void XyScopeWindow::teardown() {
    if (m_tornDown)
        return;
    m_tornDown = true;
    if (QDialog* d = meterOptionsDialog(); d && d->parentWidget() == this)
        d->reject();
    if (MeterEngine* e = m_view->engine.exchange(nullptr)) {
        registry().take(e);
        meterSetScope(e, 0);
    }
    m_surface->closed.store(true);
    m_surface->dropPresenter();
    auto& list = windows();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void XyScopeWindow::storePlacement(int32_t open) {
    QRect r = normalGeometry();
    if (r.isEmpty())
        r = geometry();
    int32_t edges[4];
    meterRectEdges({r.x(), r.y(), r.width(), r.height()}, edges);
    xyWriteStoredPlacement(edges, open);
}

void XyScopeWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted() || m_tornDown)
        return;
    storePlacement(m_shutDown ? 1 : 0);
    teardown();
}

void XyScopeWindow::closeForShutdown() {
    if (m_tornDown)
        return;
    m_shutDown = true;
    storePlacement(1);
    teardown();
    if (m_nested == 0) {
        delete this;
        return;
    }
    hide();
    m_deletePending = true;
}

QAction* XyScopeWindow::action(int id) const {
    auto it = m_actions.find(id);
    return it != m_actions.end() ? it->second : nullptr;
}

void XyScopeWindow::command(int id) {
    const XyNestedScope nested(this);
    if (!engine())
        return;
    if (id == kXyCmdResetRange) {
        m_view->resetSeq.fetch_add(1);
        redrawTrace();
    } else if (id == kXyCmdDefaultOptions) {
        if (OpenMeterOptionsDialog(this, kXyScopeOptionFlags, m_menuPoint.x(), m_menuPoint.y()) !=
            1)
            return;
        // The engine may have gone while the dialog was up. The meter window
        // shows the new settings too, as after its own dialog.
        if (MeterEngine* e = engine()) {
            meterInvalidate(e);
            if (MeterWindow* meter = meterWindowOf(e))
                meter->invalidateFace();
            redrawTrace();
        }
    }
}

void XyScopeWindow::showMenu(QPoint screenPoint) {
    m_menuPoint = screenPoint;
    const XyNestedScope nested(this);
    m_menu->exec(screenPoint);
}

void XyScopeWindow::redrawTrace() {
    const MeterScopeRing* ring = meterScopeRing(engine());
    bool ok = false;
    const XyScopeLook look = currentLook(&ok);
    if (!ring || !ok || m_faceDirty) {
        update();
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_surface->lock);
        drawView(*m_view, *ring, look, false);
        if (m_surface->sendChanged())
            return;
    }
    QRect changed[MeterSurface::kMaxChanges];
    const int n = m_surface->takeChanged(changed);
    for (int i = 0; i < n; ++i)
        update(changed[i]);
}

uintptr_t XyScopeWindow::nativeWindow() const {
    return windowHandle() ? static_cast<uintptr_t>(windowHandle()->winId()) : 0;
}

void XyScopeWindow::paintFaceNow() {
    if (!m_faceDirty)
        return;
    m_faceDirty = false;
    const int w = std::max(width(), 1), h = std::max(height(), 1);
    const double ratio = devicePixelRatioF();
    QImage face = MeterSurface::newFace(w, h, ratio);
    xyScopePaintFace(face, w, h);
    QImage graticule = face.copy();
    std::shared_ptr<const GlyphAtlas> glyphs = DisplayFrameRenderer::instance().glyphs(ratio);
    std::unique_ptr<X11Presenter> presenter =
        m_surface->presenterFor(face, nativeWindow(), m_direct);
    if (presenter && windowHandle())
        windowHandle()->installEventFilter(this);
    const MeterScopeRing* ring = meterScopeRing(engine());
    bool ok = false;
    const XyScopeLook look = currentLook(&ok);
    std::lock_guard<std::mutex> guard(m_surface->lock);
    m_surface->adopt(face, presenter || !m_direct ? &presenter : nullptr);
    m_surface->glyphs = std::move(glyphs);
    m_view->face.swap(graticule);
    std::fill(std::begin(m_view->trace.drawn), std::end(m_view->trace.drawn), 0);
    if (ring && ok)
        drawView(*m_view, *ring, look, false);
    // The old picture, presenter and graticule go after the lock.
}

void XyScopeWindow::paintEvent(QPaintEvent* event) {
    if (m_surface->outdated(devicePixelRatioF(), nativeWindow()))
        m_faceDirty = true;
    paintFaceNow();
    QPainter painter(this);
    m_surface->present(painter, event->region());
}

bool XyScopeWindow::eventFilter(QObject* watched, QEvent* event) {
    // An uncovered part comes from the picture, which the render thread keeps
    // newer than what this thread painted last.
    if (event->type() == QEvent::Expose && watched == windowHandle() && m_surface->presenter())
        update();
    return QWidget::eventFilter(watched, event);
}

void XyScopeWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_faceDirty = true;
    update();
}

void XyScopeWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        dragBegin(m_drag, pos.x(), pos.y());
    else if (event->button() == Qt::RightButton)
        showMenu(mapToGlobal(pos));
}

void XyScopeWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    dragMove(m_drag, pos.x(), pos.y());
}

void XyScopeWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        dragEnd(m_drag, pos.x(), pos.y());
    }
}

void XyScopeWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's own right click already opened the menu.
    if (event->reason() == QContextMenuEvent::Keyboard)
        showMenu(mapToGlobal(QPoint(width() / 4, height() / 4)));
}

XyScopeWindow* xyScopeOf(MeterEngine* engine) {
    for (XyScopeWindow* w : windows()) {
        if (engine && w->engine() == engine)
            return w;
    }
    return nullptr;
}

XyScopeWindow* xyScopeShow(MeterEngine* engine, const QWidget* meter) {
    if (!engine)
        return nullptr;
    if (XyScopeWindow* w = xyScopeOf(engine)) {
        w->showNormal();
        w->raise();
        return w;
    }
    int32_t stored[4];
    const bool haveStored = xyReadStoredPlacement(stored);
    WindowRect frame;
    if (meter) {
        const QRect f = meter->frameGeometry();
        frame = {f.x(), f.y(), f.width(), f.height()};
    }
    const WindowRect r = xyInitialPlacement(haveStored ? stored : nullptr, meter ? &frame : nullptr,
                                            kXyScopeSize, availableArea());
    auto* w = new XyScopeWindow(engine, r);
    w->show();
    return w;
}

void xyScopeClose(MeterEngine* engine) {
    if (XyScopeWindow* w = xyScopeOf(engine))
        w->close();
}

void xyScopeRestore(MeterEngine* engine) {
    if (engine && xyReadStoredOpen() == 1)
        xyScopeShow(engine, meterWindowOf(engine));
}

void xyScopeEngineClosing(MeterEngine* engine) {
    // The render thread has ended; the view lets go of the engine at once.
    if (const std::shared_ptr<XyScopeView> view = registry().take(engine))
        view->engine.store(nullptr);
    auto closeOrphans = [] {
        const std::vector<XyScopeWindow*> open = windows();
        for (XyScopeWindow* w : open) {
            if (!w->engine())
                w->closeForShutdown();
        }
    };
    if (onMainThread())
        closeOrphans();
    else if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, closeOrphans, Qt::QueuedConnection);
}
