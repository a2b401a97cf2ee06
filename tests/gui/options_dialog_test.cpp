// The "Measure Display Options" dialog: its controls per option set, the
// field rules of OK, Reset, the preview clicks, the colour chooser, one
// dialog at a time, and the dialog opened from a real meter window while the
// meter draws (the live record replaced, shown at once, saved at shut-down).
#include "display/meter_layout.h"
#include "display/meter_surface.h"
#include "display_test_support.h"
#include "gui_test_support.h"
#include "options/meter_options_dialog.h"
#include "platform/registry_store.h"

#include <QColorDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>

namespace {

using V = MeterSettingsValues;
const char* const kKey = "Zandel_Audio\\TRLX\\Meter\\Korvalo Cor";

void setLive(const V& values) {
    MeterSettings* s = GetMeterSettings();
    FreeMeterColorSet(s);
    static_cast<V&>(*s) = values;
    BuildMeterColorSet(s);
}

// "name=value ..." of a record's fields named in `names` ("name" or
// "name=anything", space separated); floats as %g.
std::string fieldsText(const V& v, const std::string& names) {
    std::istringstream in(names);
    std::string out;
    for (std::string name; in >> name;) {
        name = name.substr(0, name.find('='));
        for (int f = 0; f < 33; ++f) {
            if (name != meterSettingsValueName(static_cast<MeterSettingsField>(f)))
                continue;
            int32_t n;
            float x;
            std::memcpy(&n, reinterpret_cast<const char*>(&v) + 4 * f, 4);
            std::memcpy(&x, &n, 4);
            const bool whole = f < 15 || f == static_cast<int>(MeterSettingsField::nbFperS);
            out += name + "=" +
                   (whole ? std::to_string(n) : QString::asprintf("%g", x).toStdString()) + " ";
            break;
        }
    }
    return out;
}

// A dialog built directly (its buttons work without the modal loop), or the
// one open now.
struct Open {
    explicit Open(uint32_t flags, QPoint at = {40, 30})
        : d(new MeterOptionsDialog(nullptr, flags, at.x(), at.y())), owned(true) {}
    Open() : d(static_cast<MeterOptionsDialog*>(meterOptionsDialog())), owned(false) {}
    ~Open() {
        if (owned)
            delete d.data();
    }
    QLineEdit* edit(const char* name) const { return d->findChild<QLineEdit*>(name); }
    QListWidget* list(int id) const { return d->findChild<QListWidget*>(QString::number(id)); }
    QPushButton* button(int id) const { return d->findChild<QPushButton*>(QString::number(id)); }
    void click(int id) const { QTest::mouseClick(button(id), Qt::LeftButton); }
    QPointer<MeterOptionsDialog> d;
    bool owned;
};

// Runs `answer` on the next modal box (message box, colour chooser) once it
// is up over `dialog`; the polling ends with the dialog.
void answerNextBox(QWidget* dialog, std::function<void(QWidget*)> answer) {
    QTimer::singleShot(5, dialog, [dialog, answer] {
        if (QWidget* box = QApplication::activeModalWidget(); box && box != dialog)
            answer(box);
        else
            answerNextBox(dialog, answer);
    });
}

class OptionsDialogTest : public MeterEngineTest {
protected:
    void SetUp() override {
        std::remove(regStorePath().c_str());
        MeterEngineTest::SetUp();
    }
    void TearDown() override { // the next case starts from the compiled defaults
        setLive(kMeterSettingsCompiledDefaults);
        MeterEngineTest::TearDown();
        EXPECT_EQ(meterOptionsDialog(), nullptr);
    }
    // Opens the dialog from `w`'s menu, at a right click on (30, 40), and runs
    // `script` on it. Returns what the window's hook got.
    int openFromMenu(MeterWindow* w, std::function<void()> script) {
        int result = -1;
        MeterWindowHooks hooks;
        hooks.openOptions = [&](QWidget* window, QPoint p) {
            return result = optionsOpenFromMeterWindow(window, p);
        };
        meterWindowSetHooks(hooks);
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QTimer::singleShot(0, script);
            menu->setActiveAction(w->action(kCmdDefaultOptions));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(w, Qt::RightButton, {}, QPoint(30, 40));
        return result;
    }
};

TEST_F(OptionsDialogTest, OkReadsTheFieldsByTheirRulesAndReplacesTheLiveRecord) {
    V base = kMeterSettingsCompiledDefaults;
    base.Delay = 0.125f; // shown with three decimals
    base.DisplayDbOffset = 1.25f;
    // clang-format off
    const std::tuple<uint32_t, std::vector<std::pair<const char*, const char*>>, std::string> rows[] = {
        {27, {{"From", "-10"}, {"To", "-10.0"}}, "dbHead=-10 dbMax=-9 "},
        {27, {{"Max", "6"}, {"Min", "10"}}, "L_MinDB=10 L_MaxDB=11 "},
        {27, {{"Peak", "20"}, {"Level", "5"}}, "Max_DBperS=20 Moy_DBperS=20 "},
        {27, {{"N :", "12.9"}}, "nbFperS=12 "},
        {27, {{"N :", "31"}}, "nbFperS=10 "},
        {27, {{"N :", "1.5"}}, "nbFperS=10 "},
        {27, {{"Sync Delay", ""}, {"From", ""}}, "Delay=0 dbHead=0 dbMax=1 "},
        {27, {{"At", "-24"}, {"Atck.", "0"}, {"Phase Release", "30"}, {"Sync Delay", "5"}},
         "DisplayDbOffset=-24 Attack=0 PhaseRelease=30 Delay=5 "},
        {27, {{"At", "24.5"}, {"Atck.", "96.1"}, {"Phase Release", "0.09"}, {"Sync Delay", "-1"},
              {"Max", "101"}, {"From", "-91"}},
         "DisplayDbOffset=1.25 Attack=48 PhaseRelease=0.5 Delay=0.125 L_MaxDB=6 dbHead=-12 "},
        {0x20, {{"Elec.", "100"}, {"Pers.", "0"}, {"Range", "0"}},
         "DelayElectron=0.1 DelayPersistence=0 RangeRelease=0 L_MaxDB=6 Max_DBperS=6 "},
        {0x20, {{"Elec.", "4.9"}, {"Pers.", "301"}, {"Range", "101"}},
         "DelayElectron=0.05 DelayPersistence=0.2 RangeRelease=3 "},
        {0x04, {{"Reduc. Gain", "-6"}}, "ReduceMinDb=-6 "},
        {0x04, {{"Reduc. Gain", "-61"}}, "ReduceMinDb=-20 "},
        {0x80, {{"Diapason", "15000"}}, "diapason=15000 "},
        {0x80, {{"Diapason", "19.9"}}, "diapason=440 "},
        // No edit: each option set shows its values as they are, and OK keeps them.
        {27, {}, ""}, {0x20, {}, ""}, {0x04, {}, ""}, {0x80, {}, ""},
    };
    // clang-format on
    for (const auto& [flags, typed, expected] : rows) {
        setLive(base);
        const MeterColorSetPtr before = GetMeterSettings()->colorSet.load();
        Open o(flags);
        EXPECT_EQ(o.list(kOptColorList)->currentRow(), flags & kMeterOptXY ? 12 : 0);
        for (const auto& [field, text] : typed)
            o.edit(field)->setText(text);
        o.click(kOptOk);
        EXPECT_EQ(o.d->result(), 1);
        const MeterSettings* live = GetMeterSettings();
        EXPECT_EQ(fieldsText(*live, expected), expected);
        if (typed.empty()) {
            EXPECT_EQ(std::memcmp(static_cast<const V*>(live), &base, sizeof(V)), 0) << flags;
        }
        // The new set is live and carries the values just read (the renderer
        // takes the nominal zone from it).
        const MeterColorSetPtr after = live->colorSet.load();
        EXPECT_NE(after, before);
        EXPECT_EQ(std::memcmp(&after->values, static_cast<const V*>(live), sizeof(V)), 0)
            << expected;
    }
}

// Return presses the focused push button, and in an edit field it is OK.
// Reset asks first; Cancel, Escape and the close box leave the live record
// as it was; Reset then OK takes the default colours and pattern with the
// numbers still shown.
TEST_F(OptionsDialogTest, ResetReturnCancelAndTheCloseBox) {
    V custom = kMeterSettingsCompiledDefaults;
    custom.MaxBrush = meterRgb(1, 2, 3);
    custom.BrushType = 5;
    custom.L_MaxDB = 3;
    enum End { Ok, Cancel, Escape, CloseBox, ReturnOnOk, ReturnOnCancel, ReturnInField };
    const std::pair<int, End> rows[] = {{0, Cancel},
                                        {0, Escape},
                                        {0, CloseBox},
                                        {0, ReturnOnCancel},
                                        {0, ReturnInField},
                                        {QMessageBox::Ok, Cancel},
                                        {QMessageBox::Ok, Ok},
                                        {QMessageBox::Ok, ReturnOnOk},
                                        {QMessageBox::Cancel, Ok}};
    for (const auto& [answer, end] : rows) {
        SCOPED_TRACE(testing::Message() << answer << " " << end);
        setLive(custom);
        const MeterColorSetPtr before = GetMeterSettings()->colorSet.load();
        Open o(27);
        o.d->show();
        o.edit("From")->setText("-30");
        if (answer) {
            QString asked;
            answerNextBox(o.d, [&, answer = answer](QWidget* box) {
                auto* m = qobject_cast<QMessageBox*>(box);
                ASSERT_NE(m, nullptr);
                asked = m->windowTitle() + ": " + m->text();
                QTest::mouseClick(m->button(QMessageBox::StandardButton(answer)), Qt::LeftButton);
            });
            if (end == ReturnOnOk) // the focused button takes Return
                QTest::keyClick(o.button(kOptReset), Qt::Key_Return);
            else
                o.click(kOptReset);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !asked.isEmpty(); }, 1000));
            EXPECT_EQ(asked, "Reset All: Are you sure !?");
            EXPECT_EQ(o.list(kOptPatternList)->currentRow(), answer == QMessageBox::Ok ? 2 : 5);
        }
        if (end == Ok || end == Cancel)
            o.click(end == Ok ? kOptOk : kOptCancel);
        else if (end == Escape)
            QTest::keyClick(o.d, Qt::Key_Escape);
        else if (end == CloseBox)
            o.d->close();
        else
            QTest::keyClick(end == ReturnInField ? static_cast<QWidget*>(o.edit("From"))
                            : end == ReturnOnOk  ? o.button(kOptOk)
                                                 : o.button(kOptCancel),
                            Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !o.d->isVisible(); }, 1000));
        const bool ok = end == Ok || end == ReturnOnOk || end == ReturnInField;
        const MeterSettings* live = GetMeterSettings();
        EXPECT_EQ(o.d->result(), ok ? 1 : 0);
        if (!ok) {
            EXPECT_EQ(std::memcmp(static_cast<const V*>(live), &custom, sizeof(V)), 0);
            EXPECT_EQ(live->colorSet.load(), before);
            continue;
        }
        const bool reset = answer == QMessageBox::Ok;
        EXPECT_EQ(fieldsText(*live, "MaxBrush BrushType dbHead L_MaxDB"),
                  reset ? "MaxBrush=3355641 BrushType=2 dbHead=-30 L_MaxDB=3 "
                        : "MaxBrush=197121 BrushType=5 dbHead=-30 L_MaxDB=3 ");
        EXPECT_EQ(live->colorSet.load()->MaxBitmap.pixel(0, 1) & 0xffffff, reset ? 0xf93333u : 0u);
    }
}

// Opened at the screen's corner the dialog is kept on it; clicks in its
// preview pick entries, outside it they drag the dialog (away from the corner).
TEST_F(OptionsDialogTest, KeptOnTheScreenPreviewClicksPickEntriesAndTheBackgroundDrags) {
    const QSize screen = ctlScreenSize(nullptr);
    Open o(27, {screen.width() - 10, screen.height() - 10});
    EXPECT_EQ(o.d->frameGeometry().bottomRight(),
              QPoint(screen.width(), screen.height()) - QPoint(1, 1));
    QListWidget* colors = o.list(kOptColorList);
    const int kNone = 13; // the selection before the click
    // Either bar, the gap between two zones, the preview below the bars.
    const std::tuple<int, int, int> clicks[] = {
        {25, 130, 1}, {65, 100, 4}, {25, 100, kNone}, {45, 200, kNone}, {25, 440, kNone}};
    for (const auto& [x, y, entry] : clicks) {
        colors->setCurrentRow(kNone);
        const QPoint at = o.d->pos();
        dragBy(o.d, {x, y}, {-30, -20});
        EXPECT_EQ(colors->currentRow(), entry) << x << "," << y;
        EXPECT_EQ(o.d->pos(), at) << x << "," << y; // no drag from inside the preview
    }
    const QPoint at = o.d->pos();
    dragBy(o.d, {20, 500}, {-30, -10});
    EXPECT_EQ(o.d->pos(), at + QPoint(-30, -10));
}

// "Change" through the colour chooser: it starts on the entry's colour with
// the 16 custom colours; confirmed, the entry and its objects change;
// cancelled, nothing does. Custom colours the user set
// are kept either way.
TEST_F(OptionsDialogTest, ChangeThroughTheColourChooser) {
    const QColor chosen(10, 20, 30);
    struct Row {
        int entry;
        bool confirm;
        const char* field;
        QPoint swatch; // a lit pixel of the swatch
    };
    for (const Row& r :
         {Row{2, true, "MaxBrush", {110, 168}}, Row{2, false, "MaxBrush", {110, 168}},
          Row{12, true, "Electron", {100, 185}}, Row{10, true, "Corel_on", {112, 178}}}) {
        setLive(kMeterSettingsCompiledDefaults);
        CustomColors[3] = meterRgb(1, 1, 1);
        Open o(27);
        o.list(kOptColorList)->setCurrentRow(r.entry);
        const std::string old = fieldsText(*GetMeterSettings(), r.field);
        QColor startedOn, custom3;
        answerNextBox(o.d, [&](QWidget* box) {
            auto* chooser = qobject_cast<QColorDialog*>(box);
            ASSERT_NE(chooser, nullptr);
            startedOn = chooser->currentColor();
            custom3 = QColorDialog::customColor(3);
            QColorDialog::setCustomColor(5, QColor(7, 8, 9)); // as "Add to Custom Colors"
            chooser->setCurrentColor(chosen);
            r.confirm ? chooser->accept() : chooser->reject();
        });
        const QRgb shown = o.d->grab().toImage().pixel(r.swatch) & 0xffffff; // the entry's colour
        if (r.confirm)
            o.click(kOptChange);
        else // the focused button takes Return
            QTest::keyClick(o.button(kOptChange), Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return startedOn.isValid(); }, 1000));
        EXPECT_EQ(startedOn.rgb() & 0xffffff, shown) << r.entry;
        EXPECT_EQ(custom3, QColor(1, 1, 1));
        EXPECT_EQ(CustomColors[5], meterRgb(7, 8, 9));
        o.click(kOptOk);
        EXPECT_EQ(fieldsText(*GetMeterSettings(), r.field),
                  r.confirm ? std::string(r.field) + "=1971210 " : old);
    }
    EXPECT_EQ(GetMeterSettings()->colorSet.load()->CorelOnBrush.color(), chosen);
}

// From a real meter window's menu: the dialog opens at the right click and
// is the only one; a new pattern after OK is on the window at once, without a frame. The
// program then shuts down (the last engine goes) while the dialog is open
// again: it ends with 0, and the live values, not its edits, are saved.
TEST_F(OptionsDialogTest, FromTheMeterWindowToTheScreenAndTheSettingsFile) {
    QPointer<MeterWindow> w = meterWindowShow(engine);
    w->setGeometry(10, 10, 180, 560);
    QApplication::processEvents();
    feed(true, 3);
    QPoint placed;
    const auto script = [&] {
        Open o;
        placed = o.d->pos();
        // One at a time: a second request returns 0 and leaves this one.
        EXPECT_EQ(OpenMeterOptionsDialog(nullptr, 27, 0, 0), 0);
        EXPECT_EQ(meterOptionsDialog(), o.d);
        o.list(kOptPatternList)->setCurrentRow(3); // "Line 3": four lit rows, four black
        o.edit("From")->setText("-20");
        o.click(kOptOk);
    };
    EXPECT_EQ(openFromMenu(w, script), 1);
    EXPECT_EQ(placed, w->mapToGlobal(QPoint(30, 40)));
    settle(w);
    const MeterLayout L = meterComputeLayout(180, 560, 2, kMeterShowBarsAndCorrelator);
    const QImage shot = w->surface()->snapshot();
    const int top = (L.bottom - 40) & ~7;
    std::string lit; // 16 pixels down a bar, "1" where not black
    for (int y = top; y < top + 16; ++y)
        lit += (shot.pixel(L.x0 + 5, y) & 0xffffff) ? '1' : '0';
    EXPECT_EQ(lit, "1111000011110000");

    const auto shutDown = [&] {
        Open o;
        o.list(kOptPatternList)->setCurrentRow(5);
        o.edit("From")->setText("-30");
        meterRelease(&engine);
    };
    EXPECT_EQ(openFromMenu(w, shutDown), 0);
    V stored{};
    regReadValue(kKey, "BrushType", &stored.BrushType, 4);
    regReadValue(kKey, "dbHead", &stored.dbHead, 4);
    EXPECT_EQ(fieldsText(stored, "BrushType dbHead"), "BrushType=3 dbHead=-20 ");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
}

// The render thread draws frames without pause while OK exchanges the
// colour set again and again (run under ThreadSanitizer).
TEST_F(OptionsDialogTest, OkWhileTheRenderThreadDraws) {
    MeterWindow* w = meterWindowShow(engine);
    w->resize(180, 400);
    QApplication::processEvents();
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        while (!stop.load())
            feed(true);
    });
    for (int i = 0; i < 20; ++i) {
        Open o(27);
        o.list(kOptPatternList)->setCurrentRow(i % 7);
        o.edit("From")->setText(QString::number(-20 + i));
        o.click(kOptOk);
        QApplication::processEvents();
    }
    stop.store(true);
    stream.join();
    EXPECT_EQ(GetMeterSettings()->colorSet.load()->values.BrushType, 19 % 7);
}

} // namespace
