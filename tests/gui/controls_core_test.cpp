// Control library core: options persistence and use counting, shared
// resources, round masks, notifications and commands, tab navigation, window
// drag and the drawing helpers.
#include "controls/ctl_core.h"
#include "platform/dc.h"
#include "platform/registry_store.h"

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

namespace {

const char* const kApp = "Korvalo Cor.";
const char* const kKey = "Zandel_Audio\\QK2CTL\\Korvalo Cor.";

void clearStore() {
    QFile::remove(QString::fromStdString(regStorePath()));
}

void storeWord(const char* name, uint32_t value) {
    ASSERT_EQ(regWriteValue(kKey, name, &value, 4), 1);
}

uint32_t storedWord(const char* name) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(regReadValue(kKey, name, &value, 4), 1) << name;
    return value;
}

class ControlsCore : public ::testing::Test {
protected:
    void SetUp() override { clearStore(); }
    void TearDown() override {
        while (ctlUseCount() > 0) {
            ctlShutdown();
        }
    }
};

} // namespace

TEST_F(ControlsCore, NoStoredOptionsGiveDefaultsAndShutdownWritesAllEight) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(ctlStatus(), kCtlStatusOk);
    EXPECT_EQ(ctlOptionsKey(), kKey);
    const CtlOptions& o = ctlOptions();
    EXPECT_EQ(o.rotMode, 1u);
    EXPECT_EQ(o.infoValue, 0x80000003u);
    EXPECT_EQ(o.rotMove, 0u);
    EXPECT_EQ(o.rotLatency, 0u);
    EXPECT_EQ(o.sCapture, 1u);
    EXPECT_EQ(o.sSetToPos, 0u);
    EXPECT_EQ(o.aIMode, 0u);
    const TimeContext def = timeContextDefault();
    EXPECT_EQ(std::memcmp(&o.timeContext, &def, sizeof def), 0);
    ctlShutdown();

    EXPECT_EQ(storedWord("Rot_Mode"), 1u);
    EXPECT_EQ(storedWord("infovalue"), 0x80000003u);
    EXPECT_EQ(storedWord("Rot_Latency"), 0u);
    EXPECT_EQ(storedWord("Rot_Move"), 0u);
    EXPECT_EQ(storedWord("S_capture"), 1u);
    EXPECT_EQ(storedWord("S_settopos"), 0u);
    EXPECT_EQ(storedWord("A_imode"), 0u);
    // Exact sizes: a 4-byte value does not fit 3 bytes, the context not 43.
    uint8_t buffer[64];
    EXPECT_EQ(regReadValue(kKey, "Rot_Mode", buffer, 3), 0);
    EXPECT_EQ(regReadValue(kKey, "Dial_tCtx", buffer, 43), 0);
    ASSERT_EQ(regReadValue(kKey, "Dial_tCtx", buffer, 44), 1);
    // Byte layout of the default context, little-endian.
    const uint8_t head[24] = {2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
                              1, 0, 0,    0,    0,    0,    0xF0, 0x42, 10,   0,    0, 0};
    EXPECT_EQ(std::memcmp(buffer, head, sizeof head), 0);
    int32_t rate = 0;
    float fps = 0;
    std::memcpy(&rate, buffer + 24, 4);
    std::memcpy(&fps, buffer + 40, 4);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(fps, 25.0f);
}

TEST_F(ControlsCore, StoredOptionsFollowTheirLoadRules) {
    struct Case {
        const char* name;
        uint32_t stored;
        uint32_t CtlOptions::*field;
        uint32_t loaded;
    };
    const Case cases[] = {
        {"Rot_Latency", 501, &CtlOptions::rotLatency, 0},
        {"Rot_Latency", 500, &CtlOptions::rotLatency, 500},
        {"Rot_Latency", 0x80000064u, &CtlOptions::rotLatency, 0}, // negative as signed
        {"Rot_Move", 7, &CtlOptions::rotMove, 1},
        {"Rot_Mode", 7, &CtlOptions::rotMode, 7},
        {"infovalue", 0x12345678u, &CtlOptions::infoValue, 0x12345678u},
        {"S_capture", 0, &CtlOptions::sCapture, 0},
        {"S_settopos", 9, &CtlOptions::sSetToPos, 1},
        {"A_imode", 0xFFFFFFFFu, &CtlOptions::aIMode, 1},
    };
    for (const Case& c : cases) {
        clearStore();
        storeWord(c.name, c.stored);
        ASSERT_EQ(ctlInitialize(kApp), 1);
        EXPECT_EQ(ctlOptions().*c.field, c.loaded) << c.name << " stored " << c.stored;
        ctlShutdown();
        EXPECT_EQ(storedWord(c.name), c.loaded) << c.name;
    }

    // All 44 bytes of the context replace the default, reserved ones included.
    clearStore();
    uint8_t bytes[44];
    for (int i = 0; i < 44; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    ASSERT_EQ(regWriteValue(kKey, "Dial_tCtx", bytes, 44), 1);
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(std::memcmp(&ctlOptions().timeContext, bytes, 44), 0);
    ctlOptions().timeContext.tempo = 93.5f;
    ctlShutdown();
    TimeContext back{};
    ASSERT_EQ(regReadValue(kKey, "Dial_tCtx", &back, 44), 1);
    EXPECT_EQ(back.tempo, 93.5f);
    EXPECT_EQ(std::memcmp(&back, bytes, 16), 0);
}

TEST_F(ControlsCore, OnlyTheFirstInitialiseLoadsAndOnlyTheLastShutdownSaves) {
    EXPECT_EQ(ctlPen(0).style(), Qt::NoPen); // not running: empty objects
    ctlShutdown();                           // unbalanced: ignored
    EXPECT_EQ(ctlUseCount(), 0);

    ASSERT_EQ(ctlInitialize(kApp), 1);
    storeWord("Rot_Mode", 5);
    ASSERT_EQ(ctlInitialize(kApp), 1); // counts only
    EXPECT_EQ(ctlUseCount(), 2);
    EXPECT_EQ(ctlOptions().rotMode, 1u);

    ctlOptions().rotMode = 3;
    ctlShutdown();
    EXPECT_EQ(storedWord("Rot_Mode"), 5u); // nothing saved yet
    EXPECT_EQ(ctlNotificationsEnabled(), 1);
    EXPECT_EQ(ctlPen(1).color(), QColor(204, 40, 20)); // resources still there

    ctlShutdown();
    EXPECT_EQ(storedWord("Rot_Mode"), 3u);
    EXPECT_EQ(ctlNotificationsEnabled(), 0);
    EXPECT_EQ(ctlBrush(1).style(), Qt::NoBrush);
    EXPECT_TRUE(ctlBitmap(0).isNull());
}

TEST_F(ControlsCore, SharedResources) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(ctlColor(0), QColor(0, 0, 0));
    EXPECT_EQ(ctlColor(4), QColor(6, 28, 157));
    EXPECT_EQ(ctlColor(8), QColor(36, 167, 49));
    EXPECT_EQ(ctlColor(15), QColor(255, 255, 255));
    for (int i = 0; i < kCtlPaletteSize; ++i) {
        EXPECT_EQ(ctlBrush(i).color(), ctlColor(i));
        EXPECT_EQ(ctlBrush(i).style(), Qt::SolidPattern);
        EXPECT_EQ(ctlPen(i).color(), ctlColor(i));
        EXPECT_EQ(ctlPen(i).width(), 0);
    }
    EXPECT_EQ(ctlOutlinePen().style(), Qt::DashDotLine);
    EXPECT_EQ(ctlOutlinePen().color(), QColor(0, 0, 0));
    EXPECT_FALSE(ctlColor(16).isValid());
    EXPECT_EQ(ctlPen(-1).style(), Qt::NoPen);
    EXPECT_EQ(ctlBrush(16).style(), Qt::NoBrush);
    EXPECT_TRUE(ctlBitmap(14).isNull());

    const int heights[16] = {10, 10, 12, 12, 14, 14, 16, 16, 18, 18, 20, 20, 26, 26, 38, 38};
    for (int i = 0; i < kCtlFontCount; ++i) {
        // The largest pixel size whose cell fits; only 18 has no exact size.
        const QFontMetrics fm(ctlFont(i));
        EXPECT_LE(fm.ascent() + fm.descent(), heights[i]) << "font " << i;
        EXPECT_GE(fm.ascent() + fm.descent(), heights[i] - 1) << "font " << i;
        QFont larger = ctlFont(i);
        larger.setPixelSize(larger.pixelSize() + 1);
        const QFontMetrics lm(larger);
        EXPECT_GT(lm.ascent() + lm.descent(), heights[i]) << "font " << i;
    }
    EXPECT_EQ(QFontInfo(ctlFont(0)).family(), "Liberation Sans");
    EXPECT_EQ(ctlFont(0).weight(), QFont::Normal);
    EXPECT_EQ(ctlFont(1).weight(), QFont::Bold);
    EXPECT_EQ(ctlFont(12), ctlFont(13));
    EXPECT_EQ(ctlFont(15).weight(), QFont::ExtraBold);

    const QSize sizes[kCtlBitmapCount] = {{24, 16},  {24, 16},  {33, 23}, {33, 23},  {16, 16},
                                          {16, 16},  {160, 96}, {32, 32}, {17, 128}, {15, 20},
                                          {128, 17}, {20, 15},  {64, 64}, {12, 12}};
    for (int i = 0; i < kCtlBitmapCount; ++i) {
        EXPECT_EQ(ctlBitmapSize(ctlBitmap(i)), sizes[i]) << "bitmap " << 1500 + i;
        EXPECT_EQ(ctlBitmap(i).format(), QImage::Format_RGB32);
    }

    // Class names carry a real UTF-8 copyright sign.
    EXPECT_STREQ(kCtlClassNames[0], "C_QK2CTL_Rotatif_00\xC2\xA9Nomaxe");
    EXPECT_STREQ(kCtlClassNames[8], "C_QK2CTL_AutoValueView00\xC2\xA9Nomaxe");
    EXPECT_STREQ(ctlStatusText(1), "[QK2CTL] Module not initialized !");
    EXPECT_STREQ(ctlStatusText(9), "[QK2CTL] Failed to register AutoViewValue class");
    EXPECT_STREQ(ctlStatusText(10), "");
}

TEST_F(ControlsCore, RoundMaskCacheHoldsThirtyOneDiameters) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(ctlRoundMaskCount(), 0);
    EXPECT_FALSE(ctlHasScratch());

    const QImage* first = ctlRoundMask(32);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(ctlHasScratch());
    EXPECT_EQ(ctlRoundMask(32), first); // shared by every control of that size
    EXPECT_EQ(first->pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(first->pixel(31, 31), 0xFFFFFFFFu);
    EXPECT_EQ(first->pixel(16, 16), 0xFF000000u);
    EXPECT_EQ(first->pixel(0, 16), 0xFF000000u);

    for (int d = 1; d <= 30; ++d) {
        EXPECT_NE(ctlRoundMask(d), nullptr) << d;
    }
    EXPECT_EQ(ctlRoundMaskCount(), 31);
    EXPECT_EQ(ctlRoundMask(99), nullptr); // the 32nd diameter gets none
    EXPECT_EQ(ctlRoundMask(32), first);
    EXPECT_EQ(ctlRoundMask(0), nullptr);

    ctlShutdown();
    EXPECT_EQ(ctlRoundMaskCount(), 0);
    EXPECT_FALSE(ctlHasScratch());
}

TEST_F(ControlsCore, BlitRoundKeepsBackgroundOutsideTheCircle) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    QImage knob(20, 20, QImage::Format_RGB32);
    knob.fill(Qt::black);
    {
        Dc dc(knob);
        dc.selectPen(Dc::nullPen());
        dc.selectBrush(Dc::solidBrush(Qt::green));
        dc.ellipse(0, 0, 20, 20);
    }
    QImage surface(40, 40, QImage::Format_RGB32);
    surface.fill(Qt::red);
    {
        Dc dc(surface);
        ctlBlitRound(dc, knob, ctlRoundMask(20), 5, 5, 20, 20);
        ctlBlitRound(dc, knob, nullptr, 25, 25, 10, 10); // no mask: plain copy
    }
    EXPECT_EQ(surface.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(surface.pixel(24, 24), qRgb(255, 0, 0));
    EXPECT_EQ(surface.pixel(15, 15), qRgb(0, 255, 0));
    EXPECT_EQ(surface.pixel(4, 15), qRgb(255, 0, 0));
    EXPECT_EQ(surface.pixel(25, 25), qRgb(0, 0, 0));
}

TEST_F(ControlsCore, BoxFrameLineAndTileHelpers) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    QImage img(60, 40, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    {
        Dc dc(img);
        ctlBox(dc, kCtlEngraved | 0x30, 2, 2, 10, 8); // sunken panel in brush 3
        ctlBox(dc, 0x51, 20, 2, 26, 8);               // pen 1, brush 5
        ctlFrame(dc, 0x51, 30, 2, 36, 8);
        ctlLine(dc, kCtlEngraved | 0x2, 2, 20, 12, 20);
    }
    const QRgb bg = qRgb(1, 2, 3);
    EXPECT_EQ(img.pixel(2, 2), ctlColor(9).rgb());   // dark top-left
    EXPECT_EQ(img.pixel(10, 2), ctlColor(9).rgb());  // top edge spans to the right
    EXPECT_EQ(img.pixel(10, 3), ctlColor(15).rgb()); // light right edge
    EXPECT_EQ(img.pixel(10, 8), ctlColor(15).rgb());
    EXPECT_EQ(img.pixel(5, 8), ctlColor(15).rgb());
    EXPECT_EQ(img.pixel(5, 5), ctlColor(3).rgb()); // fill reaches inside
    EXPECT_EQ(img.pixel(11, 5), bg);
    EXPECT_EQ(img.pixel(20, 2), ctlColor(1).rgb());
    EXPECT_EQ(img.pixel(23, 5), ctlColor(5).rgb());
    EXPECT_EQ(img.pixel(26, 5), bg); // right edge exclusive
    EXPECT_EQ(img.pixel(33, 5), bg); // frame has no fill
    EXPECT_EQ(img.pixel(35, 5), ctlColor(1).rgb());
    EXPECT_EQ(img.pixel(2, 20), ctlColor(2).rgb());
    EXPECT_EQ(img.pixel(3, 21), ctlColor(15).rgb()); // shadow
    EXPECT_EQ(img.pixel(12, 20), bg);

    // Tiling reaches past the client area from the start point.
    QWidget window;
    window.resize(50, 30);
    QImage tile(16, 16, QImage::Format_RGB32);
    tile.fill(qRgb(9, 9, 9));
    tile.setPixel(0, 0, qRgb(200, 0, 0));
    QImage face(80, 60, QImage::Format_RGB32);
    face.fill(Qt::white);
    {
        Dc dc(face);
        ctlTileBitmap(&window, dc, 3, 4, tile);
    }
    EXPECT_EQ(face.pixel(3 + 48, 4 + 16), qRgb(200, 0, 0)); // 4 columns, 2 rows
    EXPECT_EQ(face.pixel(3 + 63, 4 + 31), qRgb(9, 9, 9));
    EXPECT_EQ(face.pixel(3 + 64, 4), qRgb(255, 255, 255));
    EXPECT_EQ(face.pixel(3, 4 + 32), qRgb(255, 255, 255));
    EXPECT_EQ(face.pixel(2, 4), qRgb(255, 255, 255));
}

namespace {

struct Received {
    int calls = 0;
    void* userData = nullptr;
    int code = 0;
    float value = 0;
};

int recordCallback(void* userData, int code, float value) {
    auto* r = static_cast<Received*>(userData);
    ++r->calls;
    r->userData = userData;
    r->code = code;
    r->value = value;
    return 42;
}

class Owner : public QObject {
public:
    std::vector<std::pair<int, int32_t>> received;
    bool event(QEvent* e) override {
        if (e->type() == CtlCommandEvent::eventType()) {
            auto* c = static_cast<CtlCommandEvent*>(e);
            received.emplace_back(c->code(), c->argument());
            return true;
        }
        return QObject::event(e);
    }
};

class Probe : public CtlControl {
public:
    explicit Probe(QWidget* parent) : CtlControl(parent, kCtlClassI2p) {}
    float value = 0;
    int commands = 0;
    int32_t command(int code, int32_t argument) override {
        ++commands;
        if (code == kCtlCmdSetValue) {
            value = ctlBitsValue(argument);
        }
        return code == kCtlCmdGetValue ? ctlValueBits(value) : 0;
    }
};

} // namespace

TEST_F(ControlsCore, NotifierCallbackPostedAndSilentPaths) {
    Received r;
    CtlNotifier viaCallback{nullptr, recordCallback, kCtlUseCallback, &r};
    Owner owner;
    CtlNotifier viaPost{&owner, nullptr, 0, nullptr};

    // Not running: nothing at all.
    EXPECT_EQ(ctlNotify(viaCallback, 7, 1.0f), 0);
    EXPECT_EQ(ctlNotify(viaPost, 7, 1.0f), 0);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(r.calls, 0);
    EXPECT_TRUE(owner.received.empty());

    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(ctlNotify(viaCallback, 12 | kCtlGestureBegin, 0.25f), 42); // synchronous
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.userData, &r);
    EXPECT_EQ(r.code, 12 | kCtlGestureBegin);
    EXPECT_EQ(r.value, 0.25f);

    EXPECT_EQ(ctlNotify(viaPost, 0x7A0012, -3.5f), 1);
    EXPECT_TRUE(owner.received.empty()); // arrives later, like a posted message
    QCoreApplication::sendPostedEvents(&owner);
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].first, 0x0012);
    EXPECT_EQ(owner.received[0].second, ctlValueBits(-3.5f));

    CtlNotifier orphan{nullptr, nullptr, 0, nullptr};
    EXPECT_EQ(ctlNotify(orphan, 1, 1.0f), 0);

    ctlShutdown();
    EXPECT_EQ(ctlNotify(viaCallback, 12, 1.0f), 0);
    EXPECT_EQ(ctlNotify(viaPost, 12, 1.0f), 0);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(owner.received.size(), 1u);
}

TEST_F(ControlsCore, SentCommandsReturnAtOncePostedOnesLater) {
    QWidget parent;
    Probe probe(&parent);
    EXPECT_EQ(probe.objectName(), QString::fromUtf8(kCtlClassI2p));
    EXPECT_EQ(ctlSendCommand(&probe, kCtlCmdSetValue, 0.75f), 0.0f);
    EXPECT_EQ(ctlSendCommand(&probe, kCtlCmdGetValue, 0.0f), 0.75f);

    ctlPostCommand(&probe, kCtlCmdSetValue, 2.0f);
    EXPECT_EQ(probe.value, 0.75f);
    QCoreApplication::sendPostedEvents(&probe);
    EXPECT_EQ(probe.value, 2.0f);
    EXPECT_EQ(probe.commands, 3);

    EXPECT_EQ(ctlSendCommand(&parent, kCtlCmdGetValue, 0.0f), 0.0f); // not a control
    EXPECT_EQ(ctlBitsValue(ctlValueBits(-0.0f)), -0.0f);
    EXPECT_EQ(ctlValueBits(1.0f), 0x3F800000);
}

TEST(ControlsWindow, TabStepsOverEnabledChildrenAndWraps) {
    QWidget top;
    top.resize(200, 100);
    QWidget* kids[4];
    for (int i = 0; i < 4; ++i) {
        kids[i] = new QWidget(&top);
        kids[i]->setFocusPolicy(Qt::StrongFocus);
        kids[i]->setGeometry(i * 40, 0, 30, 30);
    }
    kids[0]->setEnabled(false); // the first child is disabled
    kids[3]->setEnabled(false); // and so is the last
    top.show();
    top.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&top));

    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Return, Qt::NoModifier), 1);

    // Nothing focused: Tab goes to the first enabled child.
    top.setFocus();
    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Tab, Qt::NoModifier), 0);
    EXPECT_EQ(top.focusWidget(), kids[1]);

    // Shift+Tab on the first enabled child keeps the focus there (and
    // terminates although the child before it is disabled).
    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Tab, Qt::ShiftModifier), 0);
    EXPECT_EQ(top.focusWidget(), kids[1]);
    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Backtab, Qt::NoModifier), 0);
    EXPECT_EQ(top.focusWidget(), kids[1]);

    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Tab, Qt::NoModifier), 0);
    EXPECT_EQ(top.focusWidget(), kids[2]);
    // Past the last enabled child Tab wraps to the first enabled one.
    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Tab, Qt::NoModifier), 0);
    EXPECT_EQ(top.focusWidget(), kids[1]);

    // Backward from the third child to the second.
    kids[2]->setFocus();
    EXPECT_EQ(ctlTabNavigate(&top, Qt::Key_Tab, Qt::ShiftModifier), 0);
    EXPECT_EQ(top.focusWidget(), kids[1]);
}

TEST(ControlsWindow, DragWithoutMovementMovesNothingAndRestoresTheGrab) {
    QWidget window;
    window.resize(120, 80);
    window.move(100, 90);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    QWidget other;
    other.resize(20, 20);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    other.grabMouse();

    WindowDrag drag;
    dragInit(drag, &window);
    EXPECT_EQ(dragActive(drag), 0);
    dragBegin(drag, 10, 10);
    EXPECT_EQ(dragActive(drag), 1);
    EXPECT_EQ(QWidget::mouseGrabber(), &window);
    dragEnd(drag, 60, 50); // the release point alone moves nothing
    EXPECT_EQ(dragActive(drag), 0);
    EXPECT_EQ(window.pos(), start);
    EXPECT_EQ(QWidget::mouseGrabber(), &other);
    other.releaseMouse();

    // With movement the window lands where the outline was last shown.
    dragBegin(drag, 10, 10);
    dragMove(drag, 20, 15);
    dragMove(drag, 40, 25);
    ASSERT_TRUE(drag.outline);
    EXPECT_TRUE(drag.outline->isVisible());
    EXPECT_EQ(drag.outline->geometry().topLeft(),
              window.frameGeometry().topLeft() + QPoint(30, 15));
    EXPECT_EQ(drag.outline->size(), window.frameGeometry().size());
    dragEnd(drag, 0, 0);
    EXPECT_FALSE(drag.outline);
    EXPECT_EQ(window.pos(), start + QPoint(30, 15));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    dragMove(drag, 80, 80); // not active: ignored
    EXPECT_FALSE(drag.outline);
}

TEST(ControlsWindow, PointInClientAndKeepOnScreen) {
    QWidget window;
    window.resize(50, 30);
    EXPECT_EQ(ctlPointInClient(&window, 0, 0), 1);
    EXPECT_EQ(ctlPointInClient(&window, 49, 29), 1);
    EXPECT_EQ(ctlPointInClient(&window, 50, 10), 0);
    EXPECT_EQ(ctlPointInClient(&window, 5, -1), 0);
    EXPECT_EQ(ctlPointInClient(nullptr, 0, 0), 0);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QSize screen = ctlScreenSize(&window);
    ASSERT_GT(screen.width(), 100);
    window.move(screen.width() - 10, screen.height() - 5);
    ctlKeepOnScreen(&window);
    EXPECT_TRUE(window.isVisible());
    const QRect frame = window.frameGeometry();
    EXPECT_EQ(frame.left(), screen.width() - frame.width());
    EXPECT_EQ(frame.top(), screen.height() - frame.height());

    window.move(-40, -20);
    ctlKeepOnScreen(&window);
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(0, 0));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
