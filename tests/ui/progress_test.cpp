// The progress window: the update session's calls, the computed notes, the reply and the
// calls after closing.
#include "uiFixture.h"

#include "miscSupport.h"
#include "showMessage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QThread>

#include <string>

namespace {

constexpr OSType kPrMs = fourCC("PrMs");

std::string textOf(WindowRef w, SInt32 id) {
    return reinterpret_cast<QLabel*>(getControlByID(w, kPrMs, id))->text().toStdString();
}

QProgressBar* bar(WindowRef w) {
    return reinterpret_cast<QProgressBar*>(getControlByID(w, kPrMs, 3));
}

// runEventLoop pumps at most once every 2 ticks: make sure the next call does.
void letTicksPass() {
    QThread::msleep(50);
}

class Progress : public UiTest {
  protected:
    void TearDown() override {
        progClose(nullptr);
        settle();
    }
    WindowRef openSession() {
        return progMessage(nullptr, 0x105, CFSTR("Updating the enclosure firmware"),
                           CFSTR("Connecting to the enclosure."), nullptr);
    }
};

} // namespace

TEST_F(Progress, TheUpdateSessionsCallsDoWhatTheSessionExpects) {
    WindowRef w = openSession();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(textOf(w, 11), "Updating the enclosure firmware");
    EXPECT_EQ(textOf(w, 12), "Connecting to the enclosure.");
    EXPECT_TRUE(IsControlVisible(getControlByID(w, kPrMs, 1)));
    EXPECT_FALSE(IsControlVisible(getControlByID(w, kPrMs, 2)));

    enableControl(w, kPrMs, 1, false);
    EXPECT_FALSE(press(w, kPrMs, 1)); // the stop button starts disabled

    EXPECT_EQ(progSetMaximum(nullptr, 1000, 0), 0);
    EXPECT_EQ(bar(w)->maximum(), 1000);
    EXPECT_EQ(progSetNotes(nullptr, 0, CFSTR("10:04 AM"), nullptr, CFSTR("10:23 AM")), 0);
    EXPECT_EQ(textOf(w, 4), "10:04 AM");
    EXPECT_EQ(textOf(w, 6), "10:23 AM");

    // Percentages of a bar of 1000, rounded half up and never above 100.
    const std::pair<unsigned long, const char*> values[] = {
        {1, "0%"},     {5, "1%"},      {125, "13%"},  {340, "34%"},
        {995, "100%"}, {1000, "100%"}, {1005, "100%"}};
    for (auto [v, note] : values) {
        EXPECT_EQ(progSetValue(nullptr, v, 0), 0);
        EXPECT_EQ(textOf(w, 5), note) << v;
    }
    EXPECT_EQ(bar(w)->value(), 1000); // 1005 is pinned to the bar's maximum
    EXPECT_EQ(progParmsFor(nullptr)->curVal, 1005);

    // A poll changes nothing.
    EXPECT_EQ(progSetValue(nullptr, 0, 0), 0);
    EXPECT_EQ(textOf(w, 5), "100%");

    enableControl(w, kPrMs, 1, true);
    EXPECT_EQ(progSetMsgHint(nullptr, 0, nullptr, CFSTR("Uploading firmware...")), 0);
    EXPECT_EQ(textOf(w, 12), "Uploading firmware...");
    EXPECT_EQ(progParmsFor(nullptr)->type, 0x105);

    // The ending of a transfer that went through.
    EXPECT_EQ(progSetMsgHint(nullptr, 0x205, nullptr, CFSTR("Uploading finished")), 0);
    EXPECT_EQ(progSetNotes(nullptr, 0, nullptr, CFSTR("%p bytes"), nullptr), 0);
    EXPECT_EQ(textOf(w, 5), "100%"); // recomputed only with the next value
    EXPECT_EQ(progSetMaximum(nullptr, 1048576, 0), 0);
    EXPECT_EQ(progParmsFor(nullptr)->curVal, 1005);
    setControlText(w, kPrMs, 1, CFSTR("Quit"), nullptr);
    EXPECT_EQ(reinterpret_cast<QAbstractButton*>(getControlByID(w, kPrMs, 1))->text(), "Quit");
    EXPECT_EQ(progSetValue(nullptr, 1048576, 0), 0);
    EXPECT_EQ(textOf(w, 5), "1,048,576 bytes");
    EXPECT_EQ(bar(w)->value(), bar(w)->maximum());

    ASSERT_TRUE(press(w, kPrMs, 1));
    EXPECT_EQ(progSetValue(nullptr, 1048576, 0), 1);
    progClose(nullptr);
    EXPECT_EQ(progParmsFor(nullptr)->wind, nullptr);
}

TEST_F(Progress, AMaximumOfZeroAtTheEndChangesNothingVisible) {
    WindowRef w = openSession();
    progSetMaximum(nullptr, 1000, 0);
    progSetValue(nullptr, 500, 0);
    progSetMsgHint(nullptr, 0x205, nullptr, CFSTR("Uploading finished"));
    progSetNotes(nullptr, 0, nullptr, CFSTR("%p bytes"), nullptr);
    EXPECT_EQ(progSetMaximum(nullptr, 0, 0), 0);
    EXPECT_EQ(progParmsFor(nullptr)->maxVal, 0);
    EXPECT_EQ(progSetValue(nullptr, 0, 0), 0);
    EXPECT_EQ(bar(w)->maximum(), 1000);
    EXPECT_EQ(bar(w)->value(), 500);
    EXPECT_EQ(textOf(w, 5), "50%");
}

TEST_F(Progress, APressIsTheReplyUntilMinimumOrMaximumClearsIt) {
    WindowRef w = openSession();
    progSetMaximum(nullptr, 1000, 0);
    ASSERT_TRUE(press(w, kPrMs, 1));
    EXPECT_EQ(progSetValue(nullptr, 10, 0), 1);
    EXPECT_EQ(progSetNotes(nullptr, 0, CFSTR("left"), nullptr, nullptr), 1);
    EXPECT_EQ(progSetMsgHint(nullptr, 0, nullptr, CFSTR("hint")), 1);
    EXPECT_EQ(progSetValue(nullptr, 0, 0), 1);
    EXPECT_EQ(progSetMaximum(nullptr, 1000, 0), 0);
    EXPECT_EQ(progSetValue(nullptr, 20, 0), 0);
    ASSERT_TRUE(press(w, kPrMs, 1));
    EXPECT_EQ(progSetMinimum(nullptr, 0, 0), 0);
    EXPECT_EQ(progSetValue(nullptr, 30, 0), 0);

    // The message-and-hint call reads the reply before it lets events run: a press made
    // while it runs shows at the next call.
    letTicksPass();
    whenRunning([w] { press(w, kPrMs, 1); });
    EXPECT_EQ(progSetMsgHint(nullptr, 0, nullptr, CFSTR("hint")), 0);
    EXPECT_EQ(progSetValue(nullptr, 0, 0), 1);
}

TEST_F(Progress, ComputedNotesForPercentValueAndElapsedTime) {
    WindowRef w = progMessage(nullptr, 0x101, CFSTR("m"), CFSTR("h"), nullptr);
    UInt32 base = progParmsFor(nullptr)->minTime;
    struct Case {
        long type;
        unsigned long value, valtime;
        const char* note;
    };
    const Case cases[] = {
        {0x200, 1234567, 0, "1,234,567"},
        {0x300, 0, base + 59 * 60, "0:59"},
        {0x300, 0, base + 3599 * 60, "59:59"},
        {0x300, 0, base + 3600 * 60, "1:00:00"},
        {0x300, 0, base + (2 * 3600 + 5 * 60 + 7) * 60, "2:05:07"},
    };
    for (const Case& c : cases) {
        progSetNotes(nullptr, c.type, nullptr, nullptr, nullptr);
        progSetMaximum(nullptr, 0, 0);
        progSetValue(nullptr, c.value, c.valtime);
        EXPECT_EQ(textOf(w, 5), c.note) << c.note;
    }
    // A format of its own for the value, then back to the bare note without one.
    progSetNotes(nullptr, 0x200, nullptr, CFSTR("%p bytes"), nullptr);
    progSetValue(nullptr, 2000000, 0);
    EXPECT_EQ(textOf(w, 5), "2,000,000 bytes");
    progSetNotes(nullptr, 0x100, nullptr, nullptr, nullptr);
    progSetMaximum(nullptr, 100, 0);
    progSetValue(nullptr, 25, 0);
    EXPECT_EQ(textOf(w, 5), "25%");
    // The note field 0 sets the middle note as it is.
    progSetNotes(nullptr, 0x001, nullptr, CFSTR("as it is"), nullptr);
    EXPECT_EQ(textOf(w, 5), "as it is");
}

TEST_F(Progress, ValuesCountFromTheMinimumAndAZeroTotalShowsZeroPercent) {
    WindowRef w = openSession();
    // No maximum at all: no division by zero, the note reads 0%.
    progSetMaximum(nullptr, 0, 0);
    progSetValue(nullptr, 5, 0);
    EXPECT_EQ(textOf(w, 5), "0%");

    progSetMinimum(nullptr, 100, 0);
    progSetMaximum(nullptr, 300, 0); // 200 counted from the minimum
    EXPECT_EQ(progParmsFor(nullptr)->maxVal, 200);
    progSetValue(nullptr, 50, 0); // below the minimum
    EXPECT_EQ(progParmsFor(nullptr)->curVal, 0);
    EXPECT_EQ(bar(w)->value(), 0);
    progSetValue(nullptr, 200, 0);
    EXPECT_EQ(textOf(w, 5), "50%");
    progSetValue(nullptr, 900, 0); // above the maximum: the record goes beyond it
    EXPECT_EQ(progParmsFor(nullptr)->curVal, 800);
    EXPECT_EQ(textOf(w, 5), "100%");
}

TEST_F(Progress, AfterClosingTheCallsReturnZeroAndOnlyStoreTheirValues) {
    WindowRef w = openSession();
    progSetMaximum(nullptr, 1000, 0);
    press(w, kPrMs, 1);
    progClose(nullptr);
    progClose(nullptr); // the second close finds no window
    settle();
    EXPECT_EQ(progSetValue(nullptr, 400, 0), 0);
    EXPECT_EQ(progParmsFor(nullptr)->curVal, 400);
    EXPECT_EQ(progSetMaximum(nullptr, 2000, 0), 0);
    EXPECT_EQ(progParmsFor(nullptr)->maxVal, 2000);
    EXPECT_EQ(progSetMsgHint(nullptr, 0x205, nullptr, CFSTR("gone")), 0);
    EXPECT_EQ(progSetNotes(nullptr, 0x205, CFSTR("gone"), nullptr, nullptr), 0);
    EXPECT_EQ(progParmsFor(nullptr)->type, 0x105); // the type is not touched either

    // No buttons at all: nothing to press, and every call answers 0.
    WindowRef none = progMessage(nullptr, 0x100, CFSTR("m"), CFSTR("h"), nullptr);
    EXPECT_FALSE(IsControlVisible(getControlByID(none, kPrMs, 1)));
    EXPECT_FALSE(IsControlVisible(getControlByID(none, kPrMs, 2)));
    EXPECT_FALSE(press(none, kPrMs, 1));
    EXPECT_EQ(progSetValue(nullptr, 10, 0), 0);
}

TEST_F(Progress, AProgressSheetKeepsItsRecordOnItsParent) {
    IBNibRef nib = nullptr;
    CreateNibReference(CFSTR("showMessage"), &nib);
    WindowRef parent = nullptr;
    CreateWindowFromNib(nib, CFSTR("ShowMessage"), &parent);
    ShowWindow(parent);
    EXPECT_EQ(progSetValue(parent, 5, 0), 0); // no record yet
    progClose(parent);

    WindowRef sheet = progMessage(parent, 0x102, CFSTR("Sheet"), nullptr, nullptr);
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(platformIsSheetWindow(sheet));
    ProgParms* rec = progParmsFor(parent);
    ASSERT_NE(rec, nullptr);
    EXPECT_NE(rec, progParmsFor(nullptr));
    EXPECT_EQ(rec->wind, sheet);
    WindowRef onParent = nullptr;
    GetSheetWindowParent(sheet, &onParent);
    EXPECT_EQ(onParent, parent);
    progSetMaximum(parent, 10, 0);
    progSetValue(parent, 5, 0);
    EXPECT_EQ(bar(sheet)->value(), 5);
    ASSERT_TRUE(press(sheet, kPrMs, 2));
    EXPECT_EQ(progSetValue(parent, 0, 0), 2);
    progClose(parent);
    EXPECT_EQ(progParmsFor(parent), nullptr);
    EXPECT_EQ(progSetValue(parent, 5, 0), 0);
    DisposeWindow(parent);
    DisposeNibReference(nib);
}
