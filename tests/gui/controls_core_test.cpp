// Control library core: options persistence and use counting, shared
// resources, round masks, notifications and commands, tab navigation, window
// drag, and deletion that waits for nested event loops.
#include "gui_test_support.h"
#include "platform/nested_loop.h"

#include <cstring>
#include <memory>
#include <tuple>

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
        while (ctlUseCount() > 0)
            ctlShutdown();
    }
};

} // namespace

TEST_F(ControlsCore, NoStoredOptionsGiveDefaultsAndShutdownWritesAllEight) {
    const std::tuple<const char*, uint32_t CtlOptions::*, uint32_t> defaults[] = {
        {"Rot_Mode", &CtlOptions::rotMode, 1},   {"infovalue", &CtlOptions::infoValue, 0x80000003u},
        {"Rot_Move", &CtlOptions::rotMove, 0},   {"Rot_Latency", &CtlOptions::rotLatency, 0},
        {"S_capture", &CtlOptions::sCapture, 1}, {"S_settopos", &CtlOptions::sSetToPos, 0},
        {"A_imode", &CtlOptions::aIMode, 0}};
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(ctlStatus(), kCtlStatusOk);
    for (const auto& [name, field, value] : defaults)
        EXPECT_EQ(ctlOptions().*field, value) << name;
    const TimeContext def = timeContextDefault();
    EXPECT_EQ(std::memcmp(&ctlOptions().timeContext, &def, sizeof def), 0);
    ctlShutdown();
    for (const auto& [name, field, value] : defaults)
        EXPECT_EQ(storedWord(name), value) << name;

    // The store reads a value only into exactly its size: the context is 44 bytes.
    uint8_t buffer[44];
    ASSERT_EQ(regReadValue(kKey, "Dial_tCtx", buffer, 44), 1);
    // Byte layout of the default context, little-endian: 44100 Hz at 24, 25 fps at 40.
    const uint8_t head[24] = {2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
                              1, 0, 0,    0,    0,    0,    0xF0, 0x42, 10,   0,    0, 0};
    EXPECT_EQ(std::memcmp(buffer, head, sizeof head), 0);
    const int32_t rate = 44100;
    const float fps = 25.0f;
    EXPECT_EQ(std::memcmp(buffer + 24, &rate, 4), 0);
    EXPECT_EQ(std::memcmp(buffer + 40, &fps, 4), 0);
}

TEST_F(ControlsCore, StoredOptionsFollowTheirLoadRules) {
    const std::tuple<const char*, uint32_t, uint32_t CtlOptions::*, uint32_t> cases[] = {
        {"Rot_Latency", 501, &CtlOptions::rotLatency, 0},
        {"Rot_Latency", 500, &CtlOptions::rotLatency, 500},
        {"Rot_Latency", 0x80000064u, &CtlOptions::rotLatency, 0}, // negative as signed
        {"Rot_Move", 7, &CtlOptions::rotMove, 1},
        {"infovalue", 0x12345678u, &CtlOptions::infoValue, 0x12345678u},
        {"S_capture", 0, &CtlOptions::sCapture, 0},
        {"S_settopos", 9, &CtlOptions::sSetToPos, 1},
        {"A_imode", 0xFFFFFFFFu, &CtlOptions::aIMode, 1},
    };
    for (const auto& [name, stored, field, loaded] : cases) {
        clearStore();
        storeWord(name, stored);
        ASSERT_EQ(ctlInitialize(kApp), 1);
        EXPECT_EQ(ctlOptions().*field, loaded) << name << " stored " << stored;
        ctlShutdown();
        EXPECT_EQ(storedWord(name), loaded) << name;
    }
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
    EXPECT_NE(ctlPen(1).style(), Qt::NoPen); // resources still there

    ctlShutdown();
    EXPECT_EQ(storedWord("Rot_Mode"), 3u);
    EXPECT_EQ(ctlBrush(1).style(), Qt::NoBrush);
    EXPECT_TRUE(ctlBitmap(0).isNull());
}

TEST_F(ControlsCore, SharedResourceIndexesOutOfRangeGiveEmptyObjects) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_TRUE(!ctlColor(16).isValid() && ctlPen(-1).style() == Qt::NoPen &&
                ctlBrush(16).style() == Qt::NoBrush && ctlBitmap(14).isNull());
}

TEST_F(ControlsCore, RoundMaskCacheHoldsThirtyOneDiameters) {
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_TRUE(ctlRoundMaskCount() == 0 && !ctlHasScratch());
    const QImage* first = ctlRoundMask(20);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(ctlHasScratch());
    EXPECT_EQ(ctlRoundMask(20), first); // shared by every control of that size
    for (int d = 1; d <= 31; ++d)
        EXPECT_NE(ctlRoundMask(d), nullptr) << d;
    EXPECT_EQ(ctlRoundMaskCount(), 31);
    EXPECT_EQ(ctlRoundMask(99), nullptr); // the 32nd diameter gets none
    EXPECT_EQ(ctlRoundMask(20), first);
    EXPECT_EQ(ctlRoundMask(0), nullptr);

    ctlShutdown();
    EXPECT_TRUE(ctlRoundMaskCount() == 0 && !ctlHasScratch());
}

namespace {

class Owner : public QObject {
public:
    std::vector<std::pair<int, int32_t>> received;
    bool event(QEvent* e) override {
        if (e->type() == CtlNotifyEvent::eventType()) {
            auto* c = static_cast<CtlNotifyEvent*>(e);
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
        if (code == kCtlCmdSetValue)
            value = ctlBitsValue(argument);
        return code == kCtlCmdGetValue ? ctlValueBits(value) : 0;
    }
};

} // namespace

TEST_F(ControlsCore, NotifierCallbackPostedAndSilentPaths) {
    Calls calls; // the callback's answer comes back from the notification
    const CtlCallback answer42 = [](void* u, int code, float v) { return record(u, code, v) + 42; };
    CtlNotifier viaCallback{nullptr, answer42, kCtlUseCallback, &calls};
    Owner owner;
    CtlNotifier viaPost{&owner, nullptr, 0, nullptr};
    CtlNotifier orphan{nullptr, nullptr, 0, nullptr};
    // Silent while the library is not running (before and after), and without a target.
    auto expectSilent = [&] {
        EXPECT_EQ(ctlNotify(viaCallback, 7, 1.0f), 0);
        EXPECT_EQ(ctlNotify(viaPost, 7, 1.0f), 0);
        QCoreApplication::sendPostedEvents(&owner);
    };
    expectSilent();
    ASSERT_EQ(ctlInitialize(kApp), 1);
    EXPECT_EQ(ctlNotify(orphan, 1, 1.0f), 0);
    EXPECT_EQ(ctlNotify(viaCallback, 12 | kCtlGestureBegin, 0.25f), 42); // synchronous
    EXPECT_EQ(calls, (Calls{{12 | kCtlGestureBegin, 0.25f}}));
    // Posted: arrives later, like a posted message, with the code's low word.
    EXPECT_EQ(ctlNotify(viaPost, 0x7A0012, -3.5f), 1);
    EXPECT_TRUE(owner.received.empty());
    QCoreApplication::sendPostedEvents(&owner);
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0], std::make_pair(0x0012, ctlValueBits(-3.5f)));
    ctlShutdown();
    expectSilent();
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(owner.received.size(), 1u);
}

TEST_F(ControlsCore, SentCommandsReturnAtOncePostedOnesLater) {
    QWidget parent;
    Probe probe(&parent);
    EXPECT_EQ(ctlSendCommand(&probe, kCtlCmdSetValue, 0.75f), 0.0f);
    EXPECT_EQ(ctlSendCommand(&probe, kCtlCmdGetValue, 0.0f), 0.75f);

    ctlPostCommand(&probe, kCtlCmdSetValue, 2.0f);
    EXPECT_EQ(probe.value, 0.75f);
    QCoreApplication::sendPostedEvents(&probe);
    EXPECT_EQ(probe.value, 2.0f);
    EXPECT_EQ(probe.commands, 3);

    // A control that owns controls receives their notifications; a child
    // with id 1..4 must not enable, disable, get or set its owner.
    ASSERT_EQ(ctlInitialize(kApp), 1);
    Probe child(&probe);
    CtlNotifier toOwner{&probe, nullptr, 0, nullptr};
    for (int id = kCtlCmdEnable; id <= kCtlCmdSetValue; ++id)
        EXPECT_EQ(ctlNotify(toOwner, id, 5.0f), 1);
    QCoreApplication::sendPostedEvents(&probe);
    EXPECT_EQ(probe.commands, 3);
    EXPECT_EQ(probe.value, 2.0f);
    ctlShutdown();

    EXPECT_EQ(ctlSendCommand(&parent, kCtlCmdGetValue, 0.0f), 0.0f); // not a control
}

using ControlsWindow = ControlsWindowTest;

TEST_F(ControlsWindow, TabStepsOverEnabledChildrenAndWraps) {
    QWidget* kids[4];
    for (int i = 0; i < 4; ++i) {
        kids[i] = new QWidget(&window);
        kids[i]->setFocusPolicy(Qt::StrongFocus);
        kids[i]->setGeometry(i * 40, 0, 30, 30);
        kids[i]->show();
    }
    kids[0]->setEnabled(false); // the first and the last child are disabled
    kids[3]->setEnabled(false);
    EXPECT_EQ(ctlTabNavigate(&window, Qt::Key_Return, Qt::NoModifier), 1);

    // Focus before the key (-1: the window itself), the key, the focus after.
    const std::tuple<int, Qt::Key, Qt::KeyboardModifiers, int> steps[] = {
        {-1, Qt::Key_Tab, Qt::NoModifier, 1},    // nothing focused: the first enabled child
        {1, Qt::Key_Tab, Qt::ShiftModifier, 1},  // stays on the first, though one before is
        {1, Qt::Key_Backtab, Qt::NoModifier, 1}, // disabled
        {1, Qt::Key_Tab, Qt::NoModifier, 2},
        {2, Qt::Key_Tab, Qt::NoModifier, 1}, // past the last enabled child: wraps
        {2, Qt::Key_Tab, Qt::ShiftModifier, 1}};
    for (const auto& [from, key, modifiers, to] : steps) {
        (from < 0 ? &window : kids[from])->setFocus();
        EXPECT_EQ(ctlTabNavigate(&window, key, modifiers), 0);
        EXPECT_EQ(window.focusWidget(), kids[to]) << from << " key " << key;
    }
}

TEST_F(ControlsWindow, DragWithoutMovementMovesNothingAndRestoresTheGrab) {
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
    dragEnd(drag, 0, 0);
    EXPECT_FALSE(drag.outline);
    EXPECT_EQ(window.pos(), start + QPoint(30, 15));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    dragMove(drag, 80, 80); // not active: ignored
    EXPECT_FALSE(drag.outline);
}

TEST_F(ControlsWindow, PointInClientAndKeepOnScreen) {
    window.resize(50, 30);
    for (auto [x, y, inside] : {std::tuple{0, 0, 1}, {49, 29, 1}, {50, 10, 0}, {5, -1, 0}})
        EXPECT_EQ(ctlPointInClient(&window, x, y), inside) << x << "," << y;
    EXPECT_EQ(ctlPointInClient(nullptr, 0, 0), 0);

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

// deleteWhenIdle waits for every nested-loop scope on the object or below it.
TEST(NestedLoops, DeletionWaitsForTheLastScopeOnTheObjectOrBelow) {
    // Name, scopes held, held on the child instead of the object.
    const std::tuple<const char*, int, bool> rows[] = {
        {"none", 0, false}, {"object", 1, false}, {"object twice", 2, false}, {"child", 1, true}};
    for (const auto& [name, held, onChild] : rows) {
        auto* parent = new QWidget;
        auto* child = new QWidget(parent);
        parent->show();
        const QPointer<QWidget> object = parent;
        std::vector<std::unique_ptr<NestedLoopScope>> scopes;
        for (int i = 0; i < held; ++i)
            scopes.push_back(std::make_unique<NestedLoopScope>(onChild ? child : parent));
        deleteWhenIdle(parent);
        EXPECT_EQ(!object, held == 0) << name;
        for (; !scopes.empty(); scopes.pop_back()) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            ASSERT_TRUE(object) << name;
            EXPECT_TRUE(object->isHidden()) << name;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(object) << name;
    }
    // An object deleted by other means inside its scope ends that scope.
    auto* gone = new QObject;
    {
        const NestedLoopScope scope(gone);
        delete gone;
        QObject other;
        EXPECT_FALSE(inNestedLoop(&other));
    }
}
