// The main window's pictures on a high-density screen (run with
// QT_SCALE_FACTOR=2): the face, a knob and a button show their 2x drawings
// pixel for pixel instead of the 1x pictures stretched, while their logical
// sizes stay those of the 1x pictures; the marks drawn over them are drawn at
// the screen's resolution, and every numbered picture has its 2x drawing.
#include "app/panel_face.h"
#include "controls/auto_value_view.h"
#include "controls/ctl_core.h"
#include "controls/ctl_hires.h"
#include "controls/ctl_notifier.h"
#include "controls/i2p.h"
#include "controls/precision_slider.h"
#include "controls/rotatif.h"
#include "controls/time_entry_dialog.h"
#include "options/meter_options_dialog.h"
#include "resources/resource_path.h"

#include <QApplication>
#include <QFocusEvent>
#include <QIcon>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

QImage picture(int number) {
    return QImage(resourcePath(number)).convertToFormat(QImage::Format_RGB32);
}

QImage hiRes(int number) {
    return QImage(QStringLiteral(":/res/%1@2x.png").arg(number))
        .convertToFormat(QImage::Format_RGB32);
}

QImage shown(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Share of the pixels of `area` (device pixels) where `a` and `b` agree.
double agreement(const QImage& a, const QImage& b, const QRect& area) {
    int same = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            same += a.pixel(x, y) == b.pixel(x, y);
    return double(same) / (area.width() * area.height());
}

// Aligned 2 x 2 blocks of `img` that hold `colour` (with none given, every
// block), and how many of those also hold another colour: a drawing made at
// ratio 1 and stretched fills whole blocks; made at the screen's resolution
// its edges cut through them.
struct Blocks {
    int with = 0, mixed = 0;
};
Blocks blocksOf(const QImage& img, QColor colour = QColor()) {
    Blocks b;
    for (int y = 0; y + 1 < img.height(); y += 2)
        for (int x = 0; x + 1 < img.width(); x += 2) {
            const QColor c = colour.isValid() ? colour : QColor(img.pixel(x, y));
            int n = 0;
            for (QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
                n += QColor(img.pixel(x + d.x(), y + d.y())) == c;
            b.with += n > 0;
            b.mixed += n > 0 && n < 4;
        }
    return b;
}

class HiDpi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "run with QT_SCALE_FACTOR=2";
        ASSERT_EQ(ctlInitialize("Korvalo Cor."), 1);
    }
    void TearDown() override { ctlShutdown(); }
};

TEST_F(HiDpi, FaceShowsItsTwiceDenseDrawing) {
    PanelFace face(picture(500), nullptr);
    EXPECT_EQ(face.size(), QSize(PanelFace::kWidth, PanelFace::kHeight));
    const QImage img = shown(face);
    ASSERT_EQ(img.size(), QSize(2 * PanelFace::kWidth, 2 * PanelFace::kHeight));
    EXPECT_EQ(agreement(img, hiRes(500), img.rect()), 1.0);
}

TEST_F(HiDpi, KnobAndButtonShowTheirTwiceDenseDrawingsUnderTheirMarks) {
    QWidget parent;
    parent.resize(100, 100);
    Rotatif* knob = ctlCreateKnob(&parent, 1, 0, 0, 0x011000A0, picture(509), 13, 12, 240, 300, 0,
                                  1, 0.5f, 0.1f, nullptr, nullptr);
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->size(), QSize(24, 24));
    const QImage k = shown(*knob);
    ASSERT_EQ(k.size(), QSize(48, 48));
    // Inside the disc the 2x knob shows, but for the pointer drawn over it.
    const double disc = agreement(k, hiRes(509), QRect(8, 8, 32, 32));
    EXPECT_GT(disc, 0.7);
    EXPECT_LT(disc, 1.0);

    I2p* button = ctlCreateButton(&parent, 2, 40, 0, kI2pToggle, picture(531), picture(530),
                                  QImage(), nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->size(), QSize(19, 15));
    for (int on : {0, 1}) {
        button->command(kCtlCmdSetValue, ctlValueBits(float(on)));
        const QImage b = shown(*button);
        ASSERT_EQ(b.size(), QSize(38, 30));
        EXPECT_EQ(agreement(b, hiRes(on ? 530 : 531), b.rect()), 1.0) << "state " << on;
    }
}

TEST_F(HiDpi, MarksAreDrawnAtTheScreensResolution) {
    QWidget parent;
    parent.resize(100, 100);
    const auto knob = [&] { // pointer outlined and filled in colour 3
        return ctlCreateKnob(&parent, 1, 0, 0, 0x01100033, picture(509), 12, 12, 240, 300, 0, 1,
                             0.3f, 0.1f, nullptr, nullptr);
    };
    const auto moved = [&] { // moves display: above the default, sector in brush 2
        ctlOptions().rotMove = 1;
        Rotatif* k = knob();
        k->command(kCtlCmdSetValue, ctlValueBits(0.9f));
        return k;
    };
    const auto button = [&] {
        return ctlCreateButton(&parent, 2, 40, 0, kI2pToggle, picture(531), picture(530), QImage(),
                               nullptr, nullptr);
    };
    struct Row {
        const char* mark;
        std::function<CtlControl*()> make;
        bool focused, enabled;
        QColor colour;
    };
    const Row rows[] = {
        {"knob pointer", knob, false, true, ctlColor(3)},
        {"knob focus dot", knob, true, true, ctlColor(2)},
        {"knob disabled cross", knob, false, false, ctlColor(15)},
        {"knob moves display", moved, false, true, ctlColor(2)},
        {"button focus corner", button, true, true, ctlColor(2)},
        {"button disabled cross", button, false, false, ctlColor(15)},
    };
    for (const Row& r : rows) {
        std::unique_ptr<CtlControl> c(r.make());
        ASSERT_NE(c, nullptr) << r.mark;
        if (r.focused) {
            QFocusEvent in(QEvent::FocusIn);
            QApplication::sendEvent(c.get(), &in);
        }
        if (!r.enabled)
            c->command(kCtlCmdDisable, 0);
        const Blocks b = blocksOf(shown(*c), r.colour);
        EXPECT_GE(b.with, 3) << r.mark;
        EXPECT_GE(b.mixed, b.with / 3) << r.mark << " drawn in 2 x 2 blocks";
        ctlOptions().rotMove = 0;
    }
}

TEST_F(HiDpi, ValueBoxSliderTimeEntryAndOptionsDrawAtTheScreensResolution) {
    QWidget parent;
    parent.resize(200, 200);
    Rotatif* knob = ctlCreateKnob(&parent, 1, 0, 0, 0x011000A0, picture(509), 12, 12, 240, 300, 0,
                                  1, 0.5f, 0.1f, nullptr, nullptr);
    ASSERT_EQ(ctlShowValueBox(&parent, 0, 0, "-12.5 db"), 1);
    knob->command(kKnobCmdAdjust, 0);
    PrecisionSlider* slider = ctlPrecisionSlider();
    ASSERT_NE(slider, nullptr);
    ctlOptions().timeContext.replaceMode = 0; // picked notes add up
    TimeEntryWindow time(&parent, 0, 0, 0, 1.5f);
    time.show();
    MeterOptionsDialog options(&parent, 27, 0, 0);
    const struct {
        const char* what;
        QPixmap shown;
    } rows[] = {
        {"value box", ctlValueBox()->grab()},
        {"slider heading", slider->grab(QRect(0, 0, 120, 20))},
        {"slider rulers", slider->grab(QRect(0, 20, slider->clientWidth() / 3, 100))},
        {"time entry heading", time.client()->grab(QRect(0, 0, 120, 20))},
        {"display options texture", options.grab(QRect(5, 445, 85, 40))},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.shown.devicePixelRatio(), 2.0) << r.what;
        EXPECT_GE(blocksOf(r.shown.toImage()).mixed, 10) << r.what << " drawn at ratio 1";
    }
    // The note picture comes from its 2x drawing.
    const QImage notes = time.client()->grab(QRect(kTimeNotesX, kTimeNotesY, 160, 96)).toImage();
    EXPECT_EQ(agreement(notes.convertToFormat(QImage::Format_RGB32), hiRes(1506), notes.rect()),
              1.0);
    // Two notes picked: the tie between them in the strip is smooth too.
    for (int i = 0; i < 4; ++i) {
        const bool press = i % 2 == 0;
        QMouseEvent click(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
                          QPointF(200, 40), QPointF(200, 40), Qt::LeftButton,
                          press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(time.client(), &click);
    }
    const Blocks tie =
        blocksOf(time.client()->grab(QRect(203, 183, 16, 8)).toImage(), ctlColor(13));
    EXPECT_GE(tie.with, 3);
    EXPECT_GE(tie.mixed, tie.with / 3) << "tie drawn in 2 x 2 blocks";
}

TEST_F(HiDpi, EveryPictureAndTheWindowIconsHaveTheirTwiceDenseDrawings) {
    for (int i = 0; i < kCtlBitmapCount; ++i) {
        const QImage twice = ctlHiResPicture(ctlBitmap(i));
        EXPECT_EQ(twice.size(), ctlBitmap(i).size() * 2) << 1500 + i;
    }
    for (int number : {100, 101}) {
        const QImage icon(resourcePath(number));
        const QImage want = hiRes(number);
        ASSERT_EQ(want.size(), icon.size() * 2) << number;
        // The main window's icon and the meter window's, made from the file.
        for (const QIcon& shownIcon : {ctlIcon(icon), QIcon(resourcePath(number))}) {
            const QImage got =
                shownIcon.pixmap(icon.size(), 2.0).toImage().convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(got.size(), want.size()) << number;
            EXPECT_EQ(agreement(got, want, got.rect()), 1.0) << number;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
