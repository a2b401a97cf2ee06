#include "display/meter_window.h"

#include "controls/ctl_core.h"
#include "controls/text_entry_dialog.h"
#include "display/loudness_view.h"
#include "display/meter_layout.h"
#include "display/meter_renderer.h"
#include "display/meter_static_painter.h"
#include "display/meter_surface.h"
#include "display/x11_presenter.h"
#include "display/xy_scope_window.h"
#include "meter/meter_hooks.h"
#include "options/meter_preset.h"
#include "options/meter_settings.h"
#include "platform/dc.h"
#include "platform/nested_loop.h"
#include "resources/resource_path.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHelpEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QThread>
#include <QToolTip>
#include <QWindow>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

// The name entry: black text (colour 0) on background 14 in font 7.
constexpr uint32_t kNameEntryStyle = 2016;

MeterWindowHooks& hooks() {
    static MeterWindowHooks h;
    return h;
}

bool onMainThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

// The engine's view of the window.
class DisplayWindowHost : public MeterWindowHost {
public:
    int windowNormalRect(MeterWindow* window, int32_t rect[4]) override {
        if (!window)
            return 0;
        window->normalEdges(rect);
        return 1;
    }
    void repaintWindow(MeterWindow* window) override {
        if (window)
            window->invalidateFace();
    }
    void destroyWindow(MeterWindow* window) override {
        if (!window)
            return;
        window->detachEngine();
        if (onMainThread()) {
            // A shut-down that arrives while the window's context menu or a
            // dialog opened from it is up (a signal, the main window closing)
            // must not pull the widget from under that handler: it goes when
            // the handler has returned, at the latest when the event loop ends.
            deleteWhenIdle(window);
            return;
        }
        // A release deferred to the end of a fed block lands here on the
        // stream thread: the widget goes on the main thread.
        QMetaObject::invokeMethod(
            window, [window] { delete window; }, Qt::QueuedConnection);
    }
    void engineClosing(MeterEngine* engine) override { xyScopeEngineClosing(engine); }
};

DisplayWindowHost& windowHost() {
    static DisplayWindowHost host;
    return host;
}

WindowRect rectOf(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

// The usable part of the desktop, for rectangles from the store or the engine.
WindowRect availableArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? rectOf(screen->availableVirtualGeometry()) : WindowRect{};
}

} // namespace

void meterWindowSetHooks(MeterWindowHooks h) {
    hooks() = std::move(h);
}

void displayInstallHooks() {
    meterInstallFrameRenderer(&displayFrameRenderers());
    meterInstallWindowHost(&windowHost());
}

void displayRemoveHooks() {
    meterInstallFrameRenderer(nullptr);
    meterInstallWindowHost(nullptr);
}

MeterWindow::MeterWindow(MeterEngine* engine, const WindowRect& rect)
    // A caption with system menu, minimise and close boxes, no maximise box;
    // resizable.
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      m_engine(engine), m_surface(std::make_shared<MeterSurface>()) {
    setObjectName(QString::fromUtf8(kMeterWindowClassName));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The source's tooltip shows without the window being the active one:
    // people hover over the meters while working in another window.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setMouseTracking(false);
    MeterWindowContext* ctx = meterWindowContext(engine);
    setWindowFlag(Qt::WindowStaysOnTopHint, ctx && ctx->alwaysVisible == 1);
    setWindowIcon(QIcon(resourcePath(101)));
    MeterParams p{};
    meterGetParams(engine, &p);
    setWindowTitle(
        QString::fromLocal8Bit(p.windowName, strnlen(p.windowName, sizeof p.windowName)));
    setGeometry(rect.x, rect.y, std::max(rect.width, 1), std::max(rect.height, 1));

    m_surface->resize(width(), height(), devicePixelRatioF());
    DisplayFrameRenderer::instance().attach(this, m_surface);
    if (m_surface->wakeFd() >= 0) {
        m_wake = new QSocketNotifier(m_surface->wakeFd(), QSocketNotifier::Read, this);
        connect(m_wake, &QSocketNotifier::activated, this, [this] {
            m_surface->drainWake();
            if (m_surface->faceStale.exchange(false)) {
                invalidateFace();
                return;
            }
            // Only what the frames changed is painted and sent to the screen,
            // at once: a posted update would wake this thread a second time.
            QRect changed[MeterSurface::kMaxChanges];
            const int n = m_surface->takeChanged(changed);
            QRegion region;
            for (int i = 0; i < n; ++i)
                region += changed[i];
            repaint(region);
        });
    }
    m_loudnessTarget = meterReadStoredLoudnessTarget();
    if (meterReadStoredLoudness() == 1)
        meterSetLoudness(engine, 1);
    buildMenus();
    dragInit(m_drag, this);
    if (ctx)
        ctx->display = this;
    meterSetWindow(engine, this);
}

MeterWindow::~MeterWindow() {
    teardown();
}

void MeterWindow::teardown() {
    if (m_tornDown)
        return;
    m_tornDown = true;
    // An options dialog opened from this window ends with it.
    if (QDialog* d = meterOptionsDialog(); d && d->parentWidget() == this)
        d->reject();
    if (MeterEngine* e = m_engine.exchange(nullptr)) {
        // Nothing shows the loudness any more: the stream stops measuring it.
        meterSetLoudness(e, 0);
        meterSetWindow(e, nullptr);
        MeterWindowContext* ctx = meterWindowContext(e);
        if (ctx && ctx->display == this)
            ctx->display = nullptr;
    }
    m_surface->closed.store(true);
    m_surface->dropPresenter(); // the native window goes after this
    DisplayFrameRenderer::instance().detach(this);
}

uintptr_t MeterWindow::nativeWindow() const {
    // The platform window's own: the X11 platform makes a new native window
    // for a window shown again after a change of its stays-on-top flag,
    // which the widget's winId() does not follow.
    return windowHandle() ? static_cast<uintptr_t>(windowHandle()->winId()) : 0;
}

void MeterWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // Closed is gone for the engine at once, not when the widget's deferred
    // deletion runs: a show right after a close creates a new window.
    if (event->isAccepted())
        teardown();
}

void MeterWindow::buildMenus() {
    m_menu = new QMenu(this);
    m_frameRateMenu = new QMenu(QStringLiteral("Display Frame Per Second"), m_menu);
    for (int n = 2; n <= 30; ++n) {
        QAction* a = m_frameRateMenu->addAction(QString::number(n));
        a->setCheckable(true);
        a->setData(kCmdFrameRateBase + n);
        m_actions[kCmdFrameRateBase + n] = a;
    }
    m_menu->addMenu(m_frameRateMenu);
    auto add = [this](int id, const char* text, bool checkable) {
        QAction* a = m_menu->addAction(QString::fromUtf8(text));
        a->setCheckable(checkable);
        a->setData(id);
        m_actions[id] = a;
    };
    m_menu->addSeparator();
    add(kCmdResetMax, "Reset Max detection", false);
    m_menu->addSeparator();
    add(kCmdPeakLevel, "PEAK Level", true);
    add(kCmdRmsLevel, "RMS Level", true);
    add(kCmdAverageLevel, "Average Level", true);
    m_menu->addSeparator();
    add(kCmdAlwaysVisible, "Always Visible", true);
    add(kCmdDefaultOptions, "Default Options...", false);
    add(kCmdChangeName, "Change Window Name...", false);
    m_menu->addSeparator();
    for (int row = 0; row < kMeterPresetCount; ++row)
        add(kMeterPresetCommandBase + row, meterPresetMenuText(row), false);
    m_menu->addSeparator();
    add(kCmdNotifyLoss, "Notify me on frame loss.", true);
    add(kCmdRelaxMode, "Relax Mode.", true);
    // No access to the window manager's menu: its two additions close this one.
    m_menu->addSeparator();
    auto addSystem = [this](int id, const char* text) {
        QAction* a = m_menu->addAction(QString::fromUtf8(text));
        connect(a, &QAction::triggered, this, [this, id] { systemCommand(id); });
        m_systemActions[id] = a;
    };
    addSystem(kSysWhereIsWindow, "Where is this window !?");
    addSystem(kSysSetDefaultPosition, "Set current Window Position as default settings");
    // Other views of the signal, in windows of their own, end the menu.
    m_menu->addSeparator();
    add(kCmdXyScope, "X/Y Scope", true);
    for (auto& [id, a] : m_actions) {
        const int cmd = id;
        connect(a, &QAction::triggered, this, [this, cmd] { command(cmd); });
    }
    // The program's own switch, never greyed: not the engine's business.
    add(kCmdFollowDelay, "Follow the Output Delay", true);
    connect(m_actions[kCmdFollowDelay], &QAction::triggered, this, [](bool on) {
        if (hooks().setFollowDelay)
            hooks().setFollowDelay(on);
    });
    buildLoudnessMenu();
}

void MeterWindow::buildLoudnessMenu() {
    m_menu->addSeparator();
    m_loudnessTargetMenu = new QMenu(QStringLiteral("Loudness Target"), m_menu);
    auto* group = new QActionGroup(m_loudnessTargetMenu);
    for (int row = 0; row < kLoudnessTargetCount; ++row) {
        QAction* a = m_loudnessTargetMenu->addAction(QString::fromUtf8(kLoudnessTargets[row].text));
        a->setCheckable(true);
        a->setActionGroup(group);
        m_actions[kCmdLoudnessTargetBase + row] = a;
    }
    m_menu->addMenu(m_loudnessTargetMenu);
    QAction* on = m_menu->addAction(QStringLiteral("Loudness (EBU R128)"));
    on->setCheckable(true);
    m_actions[kCmdLoudness] = on;
    for (int id = kCmdLoudnessTargetBase; id <= kCmdLoudness; ++id) {
        if (QAction* a = action(id))
            connect(a, &QAction::triggered, this, [this, id] { command(id); });
    }
}

QAction* MeterWindow::action(int id) const {
    auto it = m_actions.find(id);
    if (it != m_actions.end())
        return it->second;
    auto sys = m_systemActions.find(id);
    return sys != m_systemActions.end() ? sys->second : nullptr;
}

QMenu* MeterWindow::prepareContextMenu() {
    MeterEngine* e = engine();
    MeterParams p{};
    meterGetParams(e, &p);
    for (int n = 2; n <= 30; ++n)
        m_actions[kCmdFrameRateBase + n]->setChecked(p.left.nbFperS == n);
    const bool peak = (p.left.peakOn & 1) != 0;
    const bool rms = !peak && (p.left.rmsOn & 1) != 0;
    m_actions[kCmdPeakLevel]->setChecked(peak);
    m_actions[kCmdRmsLevel]->setChecked(rms);
    m_actions[kCmdAverageLevel]->setChecked(!peak && !rms);
    MeterWindowContext* ctx = meterWindowContext(e);
    m_actions[kCmdAlwaysVisible]->setChecked(ctx && ctx->alwaysVisible == 1);
    int relax = 0, notify = 0;
    meterGetLossOptions(e, &relax, &notify);
    m_actions[kCmdNotifyLoss]->setEnabled(relax == 1);
    m_actions[kCmdNotifyLoss]->setChecked(notify == 1);
    m_actions[kCmdRelaxMode]->setChecked(relax == 1);
    m_actions[kCmdXyScope]->setChecked(xyScopeOf(e) != nullptr);
    m_actions[kCmdFollowDelay]->setChecked(hooks().followDelay && hooks().followDelay());
    for (int row = 0; row < kLoudnessTargetCount; ++row)
        m_actions[kCmdLoudnessTargetBase + row]->setChecked(row == m_loudnessTarget);
    m_actions[kCmdLoudness]->setChecked(meterLoudnessOn(e) != 0);
    return m_menu;
}

void MeterWindow::setTopmost(bool on) {
    const QRect g = geometry();
    // On X11 the window comes back as a new native window: the frames stop
    // going to the old one before it goes, and the next face finds the new.
    m_surface->dropPresenter();
    invalidateFace();
    // Changing the flag hides the window; it comes back where it was.
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    show();
    setGeometry(g);
}

void MeterWindow::command(int id) {
    const NestedLoopScope nested(this);
    MeterEngine* e = engine();
    if (!e)
        return;
    MeterParams p{};
    meterGetParams(e, &p);
    MeterWindowContext* ctx = meterWindowContext(e);
    void* panel = ctx ? ctx->controlPanel : nullptr;

    if (id > kCmdFrameRateBase && id < kCmdFrameRateEnd) {
        p.left.nbFperS = id - kCmdFrameRateBase;
        meterSetParams(e, &p);
    } else if (id == kCmdPeakLevel || id == kCmdRmsLevel || id == kCmdAverageLevel) {
        levelCommand(id, p, panel);
    } else if (id == kCmdNotifyLoss || id == kCmdRelaxMode) {
        lossCommand(id);
    } else if (id >= kCmdLoudnessTargetBase && id <= kCmdLoudness) {
        loudnessCommand(id);
    } else if (id >= kCmdPresetBase && id < kCmdPresetBase + kMeterPresetCount) {
        if (ApplyMeterPreset(e, id - kCmdPresetBase) != 1)
            return;
        // The refresh may show or close this very window again.
        if (panel && hooks().refreshPanel)
            hooks().refreshPanel(panel);
        invalidateFace();
    } else {
        windowCommand(id, p);
    }
}

void MeterWindow::levelCommand(int id, MeterParams& p, void* panel) {
    for (ChannelParams* c : {&p.left, &p.right}) {
        if (id == kCmdPeakLevel) {
            c->peakOn |= 1;
        } else {
            c->peakOn &= ~1;
            c->rmsOn = id == kCmdRmsLevel ? (c->rmsOn | 1) : (c->rmsOn & ~1);
        }
    }
    if (panel && hooks().setLevelButtons)
        hooks().setLevelButtons(panel, p);
    meterSetParams(engine(), &p);
    invalidateFace();
}

void MeterWindow::lossCommand(int id) {
    MeterEngine* e = engine();
    int relax = 0, notify = 0;
    meterGetLossOptions(e, &relax, &notify);
    if (id == kCmdRelaxMode)
        relax = relax == 1 ? 0 : 1;
    else if (relax == 1) // greyed in synchronous mode, where no frame is lost
        notify = notify == 1 ? 0 : 1;
    else
        return;
    meterSetLossOptions(e, relax, notify);
    invalidateFace();
}

// The view and its target are kept at once, so that the next start finds
// them as they were left.
void MeterWindow::loudnessCommand(int id) {
    MeterEngine* e = engine();
    if (id == kCmdLoudness)
        meterSetLoudness(e, meterLoudnessOn(e) != 0 ? 0 : 1);
    else
        m_loudnessTarget = std::clamp(id - kCmdLoudnessTargetBase, 0, kLoudnessTargetCount - 1);
    meterWriteStoredLoudness(meterLoudnessOn(e) != 0 ? 1 : 0, m_loudnessTarget);
    invalidateFace();
}

void MeterWindow::windowCommand(int id, const MeterParams& p) {
    MeterEngine* e = engine();
    MeterWindowContext* ctx = meterWindowContext(e);
    switch (id) {
    case kCmdResetMax:
        meterResetMax(e);
        invalidateFace();
        return;
    case kCmdXyScope:
        if (xyScopeOf(e))
            xyScopeClose(e);
        else
            xyScopeShow(e, this);
        return;
    case kCmdAlwaysVisible:
        if (ctx) {
            ctx->alwaysVisible = ctx->alwaysVisible == 1 ? 0 : 1;
            setTopmost(ctx->alwaysVisible == 1);
        }
        return;
    case kCmdDefaultOptions:
        // The engine may have gone while the dialog was up. A new face
        // redraws the last frame with the new colour set: while stopped, no
        // frame would come to show it.
        if (hooks().openOptions && hooks().openOptions(this, m_menuPoint) == 1 && engine()) {
            meterInvalidate(engine());
            invalidateFace();
        }
        return;
    case kCmdChangeName: {
        // The library's text entry over the window's top-left corner; Enter
        // gives the new name, any other way out an empty text.
        const QPoint corner = mapToGlobal(QPoint(0, 0));
        const std::unique_ptr<char[]> text =
            TextEntryDialog(this, kNameEntryStyle, corner.x(), corner.y(), 150, 22,
                            QString::fromLocal8Bit(p.windowName));
        if (text && text[0] != '\0')
            setMeterName(QString::fromUtf8(text.get()));
        return;
    }
    default:
        return;
    }
}

void MeterWindow::setMeterName(const QString& name) {
    MeterEngine* e = engine();
    if (!e || name.isEmpty())
        return;
    MeterParams p{};
    meterGetParams(e, &p);
    // The name field holds 31 bytes; cut on a character boundary.
    QByteArray bytes = name.toLocal8Bit();
    QString kept = name;
    while (bytes.size() > 31) {
        kept.chop(1);
        bytes = kept.toLocal8Bit();
    }
    std::memset(p.windowName, 0, sizeof p.windowName);
    std::memcpy(p.windowName, bytes.constData(), static_cast<size_t>(bytes.size()));
    meterSetParams(e, &p);
    setWindowTitle(kept);
    invalidateFace();
}

void MeterWindow::systemCommand(int id) {
    if (id == kSysWhereIsWindow) {
        // Topmost through the same flag as "Always Visible", so that the
        // menu's check mark tells the truth afterwards.
        if (MeterWindowContext* ctx = meterWindowContext(engine()))
            ctx->alwaysVisible = 1;
        showNormal();
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
        setGeometry(0, 0, 200, 200);
        raise();
    } else if (id == kSysSetDefaultPosition) {
        int32_t edges[4];
        normalEdges(edges);
        meterWriteStoredPosition(edges);
    }
}

void MeterWindow::normalEdges(int32_t edges[4]) const {
    QRect r = normalGeometry();
    if (r.isEmpty())
        r = geometry();
    meterRectEdges(rectOf(r), edges);
}

void MeterWindow::recordPlacement() {
    if (MeterEngine* e = engine())
        meterRecordPlacement(e, this);
}

void MeterWindow::invalidateFace() {
    m_staticDirty = true;
    update();
}

void MeterWindow::paintStaticNow() {
    if (!m_staticDirty)
        return;
    m_staticDirty = false;
    // The new face is painted off the surface's lock, at the screen's pixel
    // density in logical coordinates; the render thread only waits for it to
    // be put in and the last frame drawn again onto it.
    const int w = std::max(width(), 1), h = std::max(height(), 1);
    const double ratio = devicePixelRatioF();
    QImage face = MeterSurface::newFace(w, h, ratio);
    face.fill(Qt::black);
    const int loudnessTarget = meterLoudnessOn(engine()) != 0 ? m_loudnessTarget : -1;
    {
        MeterParams p{};
        meterGetParams(engine(), &p);
        Dc dc(face);
        meterPaintStatic(dc, w, h, m_surface->channels.load(), p, loudnessTarget);
    }
    std::shared_ptr<const GlyphAtlas> glyphs = DisplayFrameRenderer::instance().glyphs(ratio);
    // On X11 the render thread shows its frames itself, through a presenter
    // of the picture's size on the current native window.
    std::unique_ptr<X11Presenter> presenter =
        m_surface->presenterFor(face, nativeWindow(), m_direct);
    if (presenter && windowHandle())
        windowHandle()->installEventFilter(this);
    std::lock_guard<std::mutex> guard(m_surface->lock);
    // Without a presenter of the new size the frames wake this thread again.
    m_surface->adopt(face, presenter || !m_direct ? &presenter : nullptr);
    m_surface->glyphs = std::move(glyphs);
    m_surface->loudnessTarget = loudnessTarget;
    DisplayFrameRenderer::instance().redrawLastFrame(*m_surface);
    // `face` now holds the old picture and `presenter` the old presenter;
    // both go when the lock has been let go of (declared before the guard,
    // they outlive it).
}

void MeterWindow::paintEvent(QPaintEvent* event) {
    // Moved to a screen of another density, or shown in a new native
    // window: a new face, shown whole.
    if (!m_staticDirty && m_surface->outdated(devicePixelRatioF(), nativeWindow()))
        invalidateFace();
    paintStaticNow();
    QPainter painter(this);
    m_surface->present(painter, event->region());
}

bool MeterWindow::eventFilter(QObject* watched, QEvent* event) {
    // For a part that is uncovered, the backing store would send what this
    // thread painted last, older than the frames sent since by the render
    // thread: the part is painted anew from the picture instead. A new native
    // window that the platform made on its own is found by the paint.
    if (event->type() == QEvent::Expose && watched == windowHandle() && m_surface->presenter())
        update();
    return QWidget::eventFilter(watched, event);
}

void MeterWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Frames go on into the old picture until the new face is in.
    invalidateFace();
    recordPlacement();
}

void MeterWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    recordPlacement();
}

bool MeterWindow::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // Over the title band the tooltip names the source; elsewhere none.
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text =
        help->pos().y() < kMeterBarTop && hooks().sourceText ? hooks().sourceText() : QString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}

void MeterWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        dragBegin(m_drag, pos.x(), pos.y());
    } else if (event->button() == Qt::RightButton) {
        m_menuPoint = mapToGlobal(pos);
        const NestedLoopScope nested(this);
        prepareContextMenu()->exec(m_menuPoint);
    }
}

void MeterWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    dragMove(m_drag, pos.x(), pos.y());
}

void MeterWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        dragEnd(m_drag, pos.x(), pos.y());
    }
}

MeterWindow* meterWindowOf(MeterEngine* engine) {
    MeterWindowContext* ctx = meterWindowContext(engine);
    return ctx ? static_cast<MeterWindow*>(ctx->display) : nullptr;
}

MeterWindow* meterWindowShow(MeterEngine* engine) {
    if (!engine)
        return nullptr;
    MeterParams p{};
    meterGetParams(engine, &p);
    const QSize screen = ctlScreenSize(nullptr);
    if (MeterWindow* w = meterWindowOf(engine)) {
        int32_t current[4];
        w->normalEdges(current);
        if (std::memcmp(current, p.placement, sizeof current) == 0)
            return w;
        const WindowRect r = p.placementValid == 1
                                 ? meterFitEdges(p.placement, availableArea())
                                 : meterDefaultPlacement(screen.width(), screen.height());
        w->showNormal();
        w->setGeometry(r.x, r.y, r.width, r.height);
        w->show();
        if (p.placementValid == 1)
            w->raise();
        return w;
    }
    int32_t stored[4];
    const bool haveStored = meterReadStoredPosition(stored);
    const WindowRect r =
        meterInitialPlacement(screen.width(), screen.height(), haveStored ? stored : nullptr,
                              p.placementValid, p.placement, availableArea());
    auto* w = new MeterWindow(engine, r);
    w->show();
    return w;
}

void meterWindowClose(MeterEngine* engine) {
    if (MeterWindow* w = meterWindowOf(engine))
        w->close();
}
