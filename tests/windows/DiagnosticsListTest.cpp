// The diagnostics list on its own: lines in order, a horizontal scroll bar for a line wider
// than the list, and the view following the newest line unless the user scrolled away.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include "DiagnosticsList.h"
#include "FixedLayoutFont.h"
#include "GuiTestSupport.h"

namespace qel::test {
namespace {

class DiagnosticsListTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.resize(257, 88);  // as in the settings window
        ApplyFixedLayoutFont(&list);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    void Append(const std::string& line, int times = 1) {
        for (int i = 0; i < times; ++i) list.AppendLine(line);
        Settle();
    }
    // The batch's refresh, then the scroll bars shown or hidden by it.
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QScrollBar& Horizontal() { return *list.horizontalScrollBar(); }
    QScrollBar& Vertical() { return *list.verticalScrollBar(); }

    TDiagnosticsList list;
};

TEST_F(DiagnosticsListTest, ALineWiderThanTheListGetsAHorizontalScrollBarThatReachesItsEnd) {
    Append("соединение 1 состоялось");
    EXPECT_EQ(Horizontal().maximum(), 0);
    const std::string packet = "Принят пакет: 00007 00300 09:45 31.12.05 00012,500";
    Append(packet);
    EXPECT_EQ(list.ContentWidth(), list.fontMetrics().horizontalAdvance(QString::fromStdString(packet)));
    ASSERT_GT(list.ContentWidth(), list.viewport()->width());
    EXPECT_GE(Horizontal().maximum() + list.viewport()->width(), list.ContentWidth());
    EXPECT_TRUE(Horizontal().isVisible());
    // Cleared, nothing is wide any more.
    list.Clear();
    Settle();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(Horizontal().maximum(), 0);
}

// Widths of repeated lines are remembered, not measured again: the widest line still rules,
// whatever order lines come in, over more distinct lines than are remembered, and after the
// font changes.
TEST_F(DiagnosticsListTest, RepeatedAndManyDistinctLinesKeepTheWidestWidth) {
    const auto width = [&](const std::string& line) {
        return list.fontMetrics().horizontalAdvance(QString::fromStdString(line));
    };
    const std::string refused = "Приняты данные, но не 15 байт как полагается от КЭЛ-1, - данные игнорированы";
    Append("соединение 1 состоялось", 3);
    Append(refused, 5);
    EXPECT_EQ(list.ContentWidth(), width(refused));
    Append("короткая", 3);
    EXPECT_EQ(list.ContentWidth(), width(refused));
    // More distinct lines than are remembered, then one wider than all, then the first again.
    for (int n = 0; n < 200; ++n) list.AppendLine("строка " + std::to_string(n));
    const std::string wider = refused + " и ещё немного";
    Append(wider);
    Append(refused, 2);
    EXPECT_EQ(list.ContentWidth(), width(wider));
    EXPECT_EQ(list.count(), 3 + 5 + 3 + 200 + 1 + 2);
    // A larger font measures every line again, and so do repeats that follow it.
    QFont larger = list.font();
    larger.setPixelSize(QFontInfo(list.font()).pixelSize() * 2);
    list.setFont(larger);
    Settle();
    EXPECT_EQ(list.ContentWidth(), width(wider));
    Append(refused);
    EXPECT_EQ(list.ContentWidth(), width(wider));
    list.Clear();
    Append(refused);
    EXPECT_EQ(list.ContentWidth(), width(refused));
}

TEST_F(DiagnosticsListTest, FollowsTheNewestLineUntilTheUserScrollsAwayAndAgainWhenBackAtTheEnd) {
    for (int n = 0; n < 50; ++n) list.AppendLine("строка " + std::to_string(n));
    Settle();  // one batch
    ASSERT_EQ(list.count(), 50);
    EXPECT_EQ(list.LineText(0), QStringLiteral("строка 0"));
    EXPECT_EQ(list.LineText(49), QStringLiteral("строка 49"));
    const int inView = list.viewport()->height() / list.RowHeight();
    EXPECT_EQ(list.TopRow(), 50 - inView);  // the last line is in view

    // The user pages up: new lines no longer move the view.
    Vertical().triggerAction(QAbstractSlider::SliderPageStepSub);
    const int top = list.TopRow();
    EXPECT_LT(top, 50 - inView);
    Append("ещё", 5);
    EXPECT_EQ(list.TopRow(), top);

    // Back at the end it follows again.
    Vertical().triggerAction(QAbstractSlider::SliderToMaximum);
    Append("и ещё", 5);
    EXPECT_EQ(list.TopRow(), 60 - inView);
}

TEST_F(DiagnosticsListTest, AClickSelectsTheLineUnderTheMouse) {
    Append("первая");
    Append("вторая");
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.RowHeight() + 2));
    EXPECT_EQ(list.CurrentRow(), 1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.viewport()->height() - 2));
    EXPECT_EQ(list.CurrentRow(), -1);  // below the last line
}

// At its bound the list drops its oldest tenth with one line saying so; the selected line
// stays selected, the view still follows the newest, and what the list shows is all it holds.
TEST(DiagnosticsListBound, DropsTheOldestTenthAndKeepsTheSelectionOnItsLine) {
    TDiagnosticsList list(100, nullptr);
    list.resize(257, 88);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    for (int n = 0; n < 100; ++n) list.AppendLine("строка " + std::to_string(n));
    list.SetCurrentRow(50);
    list.AppendLine("новая");
    QCoreApplication::processEvents();
    ASSERT_EQ(list.count(), 92);
    EXPECT_EQ(list.LineText(0), QStringLiteral("строка 10"));
    EXPECT_EQ(list.LineText(90), QString::fromStdString(DiagnosticLines::DroppedLinesText(10, 100)));
    EXPECT_EQ(list.LineText(91), QStringLiteral("новая"));
    EXPECT_EQ(list.CurrentRow(), 40);
    EXPECT_EQ(list.LineText(list.CurrentRow()), QStringLiteral("строка 50"));
    EXPECT_EQ(list.Lines().size(), 92u);
    EXPECT_EQ(list.Lines().front(), "строка 10");
    EXPECT_EQ(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());

    // A selection among the dropped lines goes with them.
    while (list.count() < 100) list.AppendLine("x");
    list.SetCurrentRow(3);
    list.AppendLine("y");
    EXPECT_EQ(list.CurrentRow(), -1);
}

}  // namespace
}  // namespace qel::test
