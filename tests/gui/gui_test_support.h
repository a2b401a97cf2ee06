// Shared by the widget tests: a shown, active window over a running control
// library, a callback that records what the controls report, and a drag.
#pragma once

#include "controls/ctl_core.h"
#include "controls/text_entry_dialog.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include "platform/registry_store.h"

#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using Calls = std::vector<std::pair<int, float>>;

// Appends each report to the Calls its user data points to.
inline int record(void* userData, int code, float value) {
    static_cast<Calls*>(userData)->emplace_back(code, value);
    return 0;
}

// Presses the left button at `from` on `w`, moves by `by` and releases there.
inline void dragBy(QWidget* w, QPoint from, QPoint by) {
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QTest::mouseMove(w, from + by);
    QTest::mouseRelease(w, Qt::LeftButton, {}, from + by);
}

// Walks the open popup menu with Down to the item whose text starts with
// `text` and presses Return; the release goes to what has the focus then.
inline void pickWithKeys(const QString& text) {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (int i = 0;
         i < 30 && !(menu->activeAction() && menu->activeAction()->text().startsWith(text)); ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyPress(menu, Qt::Key_Return);
}

// Answers each text entry dialog that opens as a user who opened it with
// Return: that Return's release, then the next of `texts` and Enter.
// `stayedOpen` tells for each whether the release left it open.
struct KeyedEntries {
    explicit KeyedEntries(QStringList answers) : texts(std::move(answers)) {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QPointer d = qobject_cast<TextEntryWindow*>(ctlPopups().textEntry.data());
            if (!d || d == last || texts.isEmpty())
                return;
            last = d;
            QTest::keyRelease(d->edit(), Qt::Key_Return);
            QApplication::processEvents();
            stayedOpen.push_back(d && !d->ended());
            if (d) {
                d->edit()->setText(texts.takeFirst());
                QTest::keyClick(d->edit(), Qt::Key_Return);
            }
        });
        poll.start(5);
    }
    QStringList texts;
    std::vector<bool> stayedOpen;
    QTimer poll;
    QPointer<TextEntryWindow> last;
};

// Each case starts from the library's defaults (no stored options) and ends
// with the library shut down, however often the case restarted it.
class ControlsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(QString::fromStdString(regStorePath()));
        ASSERT_EQ(ctlInitialize("Korvalo Cor."), 1);
        window.resize(300, 300);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override {
        while (ctlUseCount() > 0)
            ctlShutdown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QWidget window;
    Calls calls;
};
