// The main window's pictures on a high-density screen (run with
// QT_SCALE_FACTOR=2): the face, a knob, a button, the note values and the
// window icons show their 2x drawings pixel for pixel instead of the 1x
// pictures stretched, while their logical sizes stay those of the 1x pictures.
#include "app/panel_face.h"
#include "controls/ctl_core.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_notifier.h"
#include "controls/i2p.h"
#include "controls/rotatif.h"
#include "controls/time_entry_dialog.h"
#include "resources/resource_path.h"

#include <QApplication>
#include <QIcon>
#include <gtest/gtest.h>

namespace {

QImage picture(int number) {
    return QImage(resourcePath(number)).convertToFormat(QImage::Format_RGB32);
}

QImage hiRes(int number) {
    return QImage(QStringLiteral(":/res/%1@2x.png").arg(number))
        .convertToFormat(QImage::Format_RGB32);
}

// Share of the pixels of `area` (device pixels) where `a` and `b` agree.
double agreement(const QImage& a, const QImage& b, const QRect& area) {
    int same = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            same += a.pixel(x, y) == b.pixel(x, y);
    return double(same) / (area.width() * area.height());
}

// Share of `area` (device pixels; all of them when empty) where `w`, kept
// at its logical size `logical`, shows picture `number`'s 2x drawing.
double shows2x(QWidget& w, QSize logical, int number, QRect area = {}) {
    EXPECT_EQ(w.size(), logical) << number;
    const QImage img = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(img.size(), 2 * logical) << number;
    return agreement(img, hiRes(number), area.isEmpty() ? img.rect() : area);
}

class HiDpi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "run with QT_SCALE_FACTOR=2";
        ASSERT_EQ(ctlInitialize("Korvalo Cor."), 1);
    }
    void TearDown() override { ctlShutdown(); }
};

TEST_F(HiDpi, FaceKnobButtonAndNotesShowTheirTwiceDenseDrawings) {
    PanelFace face(picture(500), nullptr);
    EXPECT_EQ(shows2x(face, QSize(PanelFace::kWidth, PanelFace::kHeight), 500), 1.0);
    QWidget parent;
    parent.resize(100, 100);
    Rotatif* knob = ctlCreateKnob(&parent, 1, 0, 0, 0x011000A0, picture(509), 13, 12, 240, 300, 0,
                                  1, 0.5f, 0.1f, nullptr, nullptr);
    ASSERT_NE(knob, nullptr);
    // Inside the disc the 2x knob shows, but for the pointer drawn over it.
    const double disc = shows2x(*knob, QSize(24, 24), 509, QRect(8, 8, 32, 32));
    EXPECT_TRUE(disc > 0.7 && disc < 1.0) << disc;
    I2p* button = ctlCreateButton(&parent, 2, 40, 0, kI2pToggle, picture(531), picture(530),
                                  QImage(), nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    for (int on : {0, 1}) {
        button->command(kCtlCmdSetValue, ctlValueBits(float(on)));
        EXPECT_EQ(shows2x(*button, QSize(19, 15), on ? 530 : 531), 1.0) << "state " << on;
    }
    TimeEntryWindow time(nullptr, 0, 0, 0, 1.5f);
    time.show();
    const QImage notes = time.client()->grab(QRect(kTimeNotesX, kTimeNotesY, 160, 96)).toImage();
    EXPECT_EQ(agreement(notes.convertToFormat(QImage::Format_RGB32), hiRes(1506), notes.rect()),
              1.0);
}

TEST_F(HiDpi, TheWindowIconsHaveTheirTwiceDenseDrawings) {
    for (int number : {100, 101}) {
        const QImage icon(resourcePath(number));
        const QImage want = hiRes(number);
        ASSERT_EQ(want.size(), icon.size() * 2) << number;
        // The main window's icon and the meter window's, made from the file.
        for (const QIcon& shownIcon : {ctlIcon(icon), QIcon(resourcePath(number))}) {
            const QImage got =
                shownIcon.pixmap(icon.size(), 2.0).toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(agreement(got, want, got.rect()), 1.0) << number;
        }
    }
}

} // namespace
