#include "app/main_window.h"

#include "app/app_commands.h"
#include "app/app_shell.h"
#include "app/panel_face.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

QString menuDisplayText(const QString& stored) {
    static const QRegularExpression keyAtEnd(QStringLiteral("^(.*\\S)\\s{2,}(F\\d+)$"));
    const QRegularExpressionMatch m = keyAtEnd.match(stored);
    return m.hasMatch() ? m.captured(1) + QLatin1Char('\t') + m.captured(2) : stored;
}

namespace {

template <size_t N>
QMenu* buildMenu(QMenuBar* bar, const char* title, const std::array<MenuItemDef, N>& items,
                 bool checkable, AppShell& shell) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(title));
    for (const MenuItemDef& item : items) {
        if (!item.text) {
            menu->addSeparator();
            continue;
        }
        const QString stored = QString::fromUtf8(item.text);
        QAction* a = menu->addAction(menuDisplayText(stored));
        a->setData(item.id);
        a->setProperty(MainWindow::kStoredTextProperty, stored);
        a->setCheckable(checkable);
        const int id = item.id;
        QObject::connect(a, &QAction::triggered, &shell, [&shell, id] { shell.command(id); });
    }
    return menu;
}

} // namespace

MainWindow::MainWindow(AppShell& shell) : QWidget(nullptr), m_shell(shell) {
    setObjectName(QString::fromUtf8(kClassName));
    setWindowTitle(QString::fromUtf8(kCaption));
    // A fixed dialog-like frame: title, system menu, minimise and close, no
    // maximise and no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    const QImage& icon = shell.bitmap(kIconMain);
    if (!icon.isNull())
        setWindowIcon(ctlIcon(icon)); // with its 2x drawing for high-density screens

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QString::fromUtf8(kMainMenuName));
    // Inside the window on every platform, so the client area below it is
    // the face whatever the desktop does with global menus.
    m_menuBar->setNativeMenuBar(false);
    m_commandMenu = buildMenu(m_menuBar, kCommandMenuTitle, kCommandMenu, false, shell);
    m_latencyMenu = buildMenu(m_menuBar, kLatencyMenuTitle, kLatencyMenu, true, shell);
    // "Meter an Input..." opens the list of inputs, built afresh each time
    // (a sound server may have come or gone).
    if (QAction* a = menuAction(CmdMeterInput)) {
        auto* inputs = new QMenu(this);
        inputs->setObjectName(QStringLiteral("inputMenu"));
        a->setMenu(inputs);
        connect(inputs, &QMenu::aboutToShow, &shell, [&shell, inputs] {
            inputs->clear();
            if (shell.parts().audio)
                shell.parts().audio->fillInputMenu(inputs);
        });
    }
    // Opening any menu of the bar refreshes the latency check marks.
    for (QMenu* m : {m_commandMenu, m_latencyMenu})
        connect(m, &QMenu::aboutToShow, &shell, &AppShell::refreshLatencyChecks);

    m_face = new PanelFace(shell.bitmap(kBitmapPanel), this);

    applyFixedSize();
}

QAction* MainWindow::menuAction(int id) const {
    for (QMenu* m : {m_commandMenu, m_latencyMenu})
        for (QAction* a : m->actions())
            if (!a->isSeparator() && a->data().toInt() == id)
                return a;
    return nullptr;
}

void MainWindow::applyFixedSize() {
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, PanelFace::kWidth, menuHeight);
    m_face->move(0, menuHeight);
    setFixedSize(PanelFace::kWidth, menuHeight + PanelFace::kHeight);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_shell.isShutDown()) {
        event->accept();
        return;
    }
    // The window stays until the shut-down sequence has run; it then ends the
    // event loop.
    event->ignore();
    m_shell.unregisterHotkeys();
    m_shell.closeAll();
}

bool MainWindow::focusNextPrevChild(bool next) {
    return ctlTabNavigate(m_face, Qt::Key_Tab, next ? Qt::NoModifier : Qt::ShiftModifier) == 0;
}
