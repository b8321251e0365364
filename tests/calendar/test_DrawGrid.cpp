// The owner-drawn grid under the calendar: range selection by keys and mouse,
// the select-cell veto, fixed cells and scrolling the focus into view.
#include "DrawGrid.h"

#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Grid : kvui::DrawGrid {
    Grid()
    {
        setColCount(22);
        setRowCount(49);
        setDefaultColWidth(20);
        setColWidth(0, 40);
        setDefaultRowHeight(20);
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        resize(460, 20 * 11); // the header and ten scrolling rows
        show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(this));
    }
    QPoint centre(int c, int r) const { return cellRect(c, r).center(); }
};

} // namespace

TEST(DrawGrid, KeysAndMouseSelectARange)
{
    Grid g;
    EXPECT_EQ(g.selection(), (kvui::GridRect{1, 1, 1, 1}));
    QTest::keyClick(&g, Qt::Key_Right);
    QTest::keyClick(&g, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&g, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(g.selection(), (kvui::GridRect{2, 1, 3, 2}));
    QTest::keyClick(&g, Qt::Key_Left); // without shift the range collapses
    EXPECT_EQ(g.selection(), (kvui::GridRect{2, 2, 2, 2}));
    QTest::keyClick(&g, Qt::Key_Up);
    QTest::keyClick(&g, Qt::Key_Up); // never into the fixed header row
    EXPECT_EQ(g.row(), 1);

    QTest::mousePress(g.viewport(), Qt::LeftButton, {}, g.centre(5, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(g.centre(8, 4)), g.viewport()->mapToGlobal(QPointF(g.centre(8, 4))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g.viewport(), &move);
    QTest::mouseRelease(g.viewport(), Qt::LeftButton, {}, g.centre(8, 4));
    EXPECT_EQ(g.selection(), (kvui::GridRect{5, 3, 8, 4}));
    QTest::mouseClick(g.viewport(), Qt::LeftButton, Qt::ShiftModifier, g.centre(2, 2));
    EXPECT_EQ(g.selection(), (kvui::GridRect{2, 2, 5, 3})); // from the anchor
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, g.centre(0, 2)); // a fixed cell selects nothing
    EXPECT_EQ(g.selection(), (kvui::GridRect{2, 2, 5, 3}));
}

TEST(DrawGrid, TheSelectCellHookCanRefuse)
{
    Grid g;
    QList<QPoint> asked;
    g.setSelectCellHook([&](int c, int r) {
        asked << QPoint(c, r);
        return c != 4;
    });
    QTest::keyClick(&g, Qt::Key_Right);
    QTest::keyClick(&g, Qt::Key_Right);
    QTest::keyClick(&g, Qt::Key_Right); // column 4 refused: the focus stays in 3
    EXPECT_EQ(g.col(), 3);
    EXPECT_FALSE(g.focusCell(4, 5));
    EXPECT_TRUE(g.focusCell(6, 5));
    EXPECT_EQ(g.selection(), (kvui::GridRect{6, 5, 6, 5}));
    EXPECT_EQ(asked.size(), 5);
}

TEST(DrawGrid, TheFocusIsScrolledIntoView)
{
    Grid g;
    int moved = 0;
    QObject::connect(&g, &kvui::DrawGrid::topLeftChanged, [&] { ++moved; });
    EXPECT_EQ(g.visibleRowCount(), 10);
    ASSERT_TRUE(g.focusCell(3, 30));
    EXPECT_EQ(g.topRow(), 21); // the lowest top row that shows row 30
    EXPECT_TRUE(g.isCellShown(3, 30));
    EXPECT_FALSE(g.isCellShown(3, 20));
    EXPECT_TRUE(g.isCellShown(3, 0)); // the header stays
    EXPECT_EQ(moved, 1);
    int c = -1, r = -1;
    ASSERT_TRUE(g.cellAt(g.centre(3, 21), c, r));
    EXPECT_EQ(QPoint(c, r), QPoint(3, 21));
    g.setSelection({2, 5, 4, 6});
    EXPECT_EQ(g.topRow(), 6); // scrolled back up to the focused corner
    EXPECT_TRUE(g.isCellShown(4, 6));
    QTest::keyClick(&g, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(QPoint(g.col(), g.row()), QPoint(21, 48));
    EXPECT_EQ(g.topRow(), 39);
}
