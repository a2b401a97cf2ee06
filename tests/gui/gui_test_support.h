// Shared by the widget tests: a shown, active window over a running control
// library, a callback that records what the controls report, and a drag.
#pragma once

#include "controls/ctl_core.h"
#include "platform/registry_store.h"

#include <QFile>
#include <QTest>
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
