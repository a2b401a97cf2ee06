// Control library entry dialogs: the text entry dialog's ways out and its
// result, the time entry dialog's conversions, note picks, context fields and
// what OK, Cancel and a close request leave in the stored time context.
#include "controls/time_entry_dialog.h"
#include "gui_test_support.h"

#include <QListWidget>
#include <functional>
#include <tuple>

namespace {

constexpr uint32_t kStyle = ctlStyle(kCtlBlack, kCtlGrey230, 7);

using ControlsEntry = ControlsWindowTest;

// Runs the modal text entry dialog while `act` drives the open window. A
// dialog still open after two seconds is closed and reported as "<hung>".
std::string runTextEntry(const std::function<void(TextEntryWindow&)>& act) {
    bool hung = false;
    QObject guard; // the time-out goes with it
    QTimer::singleShot(2000, &guard, [&] {
        hung = true;
        if (QWidget* w = ctlPopups().textEntry.data())
            w->close();
    });
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<TextEntryWindow*>(ctlPopups().textEntry.data());
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        act(*w);
    });
    std::unique_ptr<char[]> result = TextEntryDialog(nullptr, kStyle, 40, 30, 150, 22, "Korvalo");
    EXPECT_EQ(ctlPopups().textEntry, nullptr);
    return hung ? "<hung>" : result ? std::string(result.get()) : "<null>";
}

QLineEdit* field(TimeEntryWindow& d, int id) {
    return qobject_cast<QLineEdit*>(d.control(id));
}

std::string text(TimeEntryWindow& d, int id) {
    return field(d, id)->text().toStdString();
}

// Selects all of the field with Ctrl+A and types `value` over it.
void type(TimeEntryWindow& d, int id, const QString& value) {
    field(d, id)->setFocus();
    QTest::keyClick(field(d, id), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field(d, id), value);
}

// Clicks a cell of the note picture; `releaseCell` elsewhere drags off it.
void clickNote(TimeEntryWindow& d, int cell, int releaseCell = -1) {
    const auto at = [](int c) {
        return QPoint(kTimeNotesX + 16 + (c % 5) * 32, kTimeNotesY + 16 + (c / 5) * 32);
    };
    QTest::mousePress(d.client(), Qt::LeftButton, {}, at(cell));
    QTest::mouseRelease(d.client(), Qt::LeftButton, {}, at(releaseCell < 0 ? cell : releaseCell));
}

std::unique_ptr<TimeEntryWindow> openTime(float seconds) {
    auto d = std::make_unique<TimeEntryWindow>(nullptr, kStyle, 50, 40, seconds);
    d->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(d.get()));
    return d;
}

} // namespace

TEST_F(ControlsEntry, TextEntryReturnsTheTextOnlyWhenEnterConfirmsIt) {
    // A way out after "Left meter" was typed, and what the dialog returns.
    const std::pair<std::function<void(QLineEdit*)>, const char*> cases[] = {
        {[](QLineEdit* e) { QTest::keyPress(e, Qt::Key_F, Qt::AltModifier); }, ""},
        {[](QLineEdit* e) {
             // The press went elsewhere (the dialog opened on it): releases and
             // repeats do nothing; a press here confirms.
             QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Enter, {}, "\r", true);
             QApplication::sendEvent(e, &repeat);
             for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                 QTest::keyRelease(e, key);
             QApplication::processEvents();
             QTest::keyClicks(e, " 2");
             QTest::keyPress(e, Qt::Key_Return);
         },
         "Left meter 2"},
        {[](QLineEdit*) {
             // A window the dialog does not block (as a message box would be).
             auto* other = new QWidget;
             other->setAttribute(Qt::WA_DeleteOnClose);
             other->setWindowModality(Qt::ApplicationModal);
             other->show();
             other->activateWindow();
             EXPECT_TRUE(QTest::qWaitForWindowActive(other));
             other->close();
         },
         ""},
        {[](QLineEdit*) {
             // Opening another one closes this one; the second one then ends too.
             EXPECT_EQ(runTextEntry([](TextEntryWindow& w2) {
                           QTest::keyClick(w2.edit(), Qt::Key_End);
                           QTest::keyPress(w2.edit(), Qt::Key_Enter);
                       }),
                       "Korvalo");
         },
         ""},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string got = runTextEntry([&](TextEntryWindow& w) {
            EXPECT_EQ(w.edit()->selectedText(), "Korvalo");
            EXPECT_TRUE(w.edit()->hasFocus());
            QTest::keyClicks(w.edit(), "Left meter");
            cases[i].first(w.edit());
        });
        EXPECT_EQ(got, cases[i].second) << "way out " << i;
    }
}

TEST_F(ControlsEntry, TimeDialogShowsHalfASecondInEveryUnit) {
    auto d = openTime(0.5f);
    const std::pair<int, const char*> expected[] = {
        {10, "0.500000"}, {11, "500.000"}, {12, "2.000"},  {13, "120.000"},
        {50, "165.000"},  {51, "22050"},   {70, "12.500"}, {63, "     1 /  2 /     0"},
        {14, "120.000"},  {60, "0096"},    {71, "25.000"},
    };
    for (const auto& [id, value] : expected)
        EXPECT_EQ(text(*d, id), value) << id;
    EXPECT_EQ(qobject_cast<QListWidget*>(d->control(61))->currentItem()->text(), "4");
    EXPECT_TRUE(field(*d, 10)->hasFocus()); // lastField of a first start

    type(*d, 11, "1000");
    EXPECT_EQ(text(*d, 10), "1.000000");
    EXPECT_EQ(text(*d, 51), "44100");
    EXPECT_EQ(text(*d, 11), "1000"); // the field typed into is left alone
    type(*d, 12, "-4");              // negative counts as 0, and 1/0 as 0
    EXPECT_EQ(text(*d, 10), "0.000000");
    EXPECT_DOUBLE_EQ(d->value(), 0.0);
}

TEST_F(ControlsEntry, NotePicksReplaceOrTieAndASixthNoteStartsAgain) {
    auto d = openTime(2.0f);
    // Replace switch clicked first, cell pressed, cell released over, seconds, samples.
    const std::tuple<bool, int, int, const char*, const char*> steps[] = {
        {false, 2, -1, "0.500000", "22050"},   // quarter, replace mode on
        {false, 2, -1, "0.500000", "22050"},   // again: still one quarter
        {true, 2, -1, "1.000000", "44100"},    // replace off: two tied quarters
        {false, 2, 3, "1.000000", "44100"},    // released over another cell: nothing
        {false, 9, -1, "1.083333", "47775"},   // triplet sixteenth: whole sample count
        {false, 2, -1, "1.583333", "69825"},   // fourth
        {false, 10, -1, "4.583333", "202125"}, // fifth: dotted whole
        {false, 3, -1, "0.250000", "11025"},   // sixth replaces the five
    };
    for (const auto& [toggleReplace, cell, releaseCell, seconds, samples] : steps) {
        if (toggleReplace) {
            QTest::mouseClick(d->control(15), Qt::LeftButton);
            QCoreApplication::sendPostedEvents(); // the switch's report is posted
        }
        clickNote(*d, cell, releaseCell);
        EXPECT_EQ(text(*d, 10), seconds) << cell;
        EXPECT_EQ(text(*d, 51), samples) << cell;
    }
    EXPECT_EQ(ctlOptions().timeContext.replaceMode, 0);
    EXPECT_EQ(ctlOptions().timeContext.notes[0], 3);
    EXPECT_EQ(ctlOptions().timeContext.notes[1], 0xFFFF);

    // 0.7 s is 30870 samples, not one less for a rounding error.
    type(*d, 14, "100");
    for (int cell : {2, 9}) {
        QTest::mouseClick(d->control(15), Qt::LeftButton);
        QCoreApplication::sendPostedEvents();
        clickNote(*d, cell);
    }
    EXPECT_EQ(text(*d, 10), "0.700000");
    EXPECT_EQ(text(*d, 51), "30870");

    // Apply takes the duration again after a typed value.
    type(*d, 10, "7");
    QTest::mouseClick(d->control(3), Qt::LeftButton);
    EXPECT_EQ(text(*d, 10), "0.700000");
}

TEST_F(ControlsEntry, SignatureTicksAndFrameRateRewriteOnlyTheirField) {
    // Field, key pressed in it or text typed into it, position, frame.
    const std::tuple<int, Qt::Key, const char*, const char*, const char*> cases[] = {
        {61, Qt::Key_End, nullptr, "     2 /  1 /    48", "18.750"}, // numerator 1
        {62, Qt::Key_Up, nullptr, "     1 /  4 /     0", "18.750"},  // denominator 8
        {60, {}, "480", "     1 /  2 /   240", "18.750"},
        {71, {}, "30", "     1 /  2 /    48", "22.500"},
    };
    for (const auto& [id, key, typed, position, frame] : cases) {
        auto d = openTime(0.75f);
        if (typed) {
            type(*d, id, typed);
        } else {
            d->control(id)->setFocus();
            QTest::keyClick(d->control(id), key);
        }
        EXPECT_EQ(text(*d, 63), position) << id;
        EXPECT_EQ(text(*d, 70), frame) << id;
        EXPECT_EQ(text(*d, 10), "0.750000");
        EXPECT_EQ(text(*d, 51), "33075");
        d->reject();
    }
    // A typed position is read back with the same context.
    auto d = openTime(0.0f);
    type(*d, 63, "2 / 3 / 48");
    EXPECT_EQ(text(*d, 10), "3.250000");
}

TEST_F(ControlsEntry, CancelRestoresTheContextOkAndCloseKeepItAcrossARestart) {
    {
        auto d = openTime(0.5f);
        type(*d, 14, "90"); // a quarter note at 90 bpm
        EXPECT_EQ(text(*d, 10), "0.666667");
        QTest::mouseClick(d->control(2), Qt::LeftButton);
        EXPECT_EQ(d->result(), kTimeEntryNoValue);
        EXPECT_EQ(ctlOptions().timeContext.tempo, 120.0f);
        EXPECT_EQ(ctlOptions().timeContext.lastField, 10);
    }
    // OK through the modal entry point.
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<TimeEntryWindow*>(ctlPopups().timeEntry.data());
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        type(*d, 14, "90");
        type(*d, 13, "240");
        QTest::mouseClick(d->control(1), Qt::LeftButton);
    });
    EXPECT_FLOAT_EQ(TimeEntryDialog(nullptr, kStyle, 10, 10, 0.5f), 0.25f);
    EXPECT_EQ(ctlOptions().timeContext.tempo, 90.0f);
    EXPECT_EQ(ctlOptions().timeContext.lastField, 13);
    {
        auto d = openTime(0.5f);
        EXPECT_TRUE(field(*d, 13)->hasFocus());
        EXPECT_EQ(text(*d, 14), "90.000");
        // A second dialog closes this one; a close keeps the changes.
        type(*d, 14, "60");
        auto second = openTime(0.5f);
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(d->result(), kTimeEntryNoValue);
        EXPECT_EQ(ctlPopups().timeEntry, second.get());
        type(*second, 14, "30");
        ctlShutdown(); // closes the open dialog, then saves
        EXPECT_FALSE(second->isVisible());
    }
    ASSERT_EQ(ctlInitialize("Korvalo Cor."), 1);
    EXPECT_EQ(ctlOptions().timeContext.tempo, 30.0f);
}

TEST_F(ControlsEntry, BackgroundDragsTheDialogButTheStripDoesNot) {
    auto d = openTime(0.5f);
    const QPoint start = d->pos();
    for (QPoint from : {QPoint(250, 175), QPoint(100, 165)})
        dragBy(d->client(), from, {30, 20});
    EXPECT_EQ(d->pos(), start + QPoint(30, 20));
}
