// Columns fitted to what they show: captions, values and footers whole, stored
// and user-given widths kept, never narrowed, and a cut value's whole text as
// the cell's tip.
#include "BandedGrid.h"
#include "ColumnFit.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

struct FitFixture : ::testing::Test {
    StaticDataSource src{{"No", "Type", "Qty"}, {QMetaType::QString, QMetaType::QString, QMetaType::QString}};
    BandedGrid grid;
    Column *no, *type, *qty;

    void SetUp() override
    {
        grid.addBand(QString(), BandFixed::Left);
        grid.addBand(QString());
        no = grid.addColumn(QStringLiteral("单据编号"), QStringLiteral("No"), 0);
        type = grid.addColumn(QStringLiteral("延展前时段(H)"), QStringLiteral("Type"), 1);
        qty = grid.addColumn(QStringLiteral("数量"), QStringLiteral("Qty"), 1);
        for (Column* c : {no, type, qty})
            c->setWidth(20);
        grid.setDataSource(&src);
        grid.resize(900, 300);
    }
    int textWidth(const QString& text) const { return QFontMetrics(grid.font()).horizontalAdvance(text); }
    void fill()
    {
        src.appendRecord({QStringLiteral("MO-202612-0001"), QStringLiteral("生产任务用料"), QStringLiteral("1,570")});
        src.appendRecord({QStringLiteral("SO-202701-0012"), QStringLiteral("销售订单"), QStringLiteral("12,345,678.5")});
        src.changed();
    }
    // what the painted view shows: the fitting runs after a paint that meets new rows
    void showAndSettle()
    {
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        grid.viewport()->repaint();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

TEST_F(FitFixture, CaptionsValuesAndLaterRowsFitWholeStoredAndResizedWidthsStay)
{
    ColumnFit* fit = ColumnFit::of(&grid);
    EXPECT_EQ(ColumnFit::of(&grid), fit); // one per view
    fit->setStoredColumns({});
    showAndSettle();
    // no rows yet: the captions show whole
    EXPECT_GE(type->width(), textWidth(type->caption()) + 12);
    EXPECT_GE(no->width(), textWidth(no->caption()));

    const int qtyBefore = qty->width();
    qty->setWidth(qtyBefore + 3); // the user's own width
    fill();
    showAndSettle();
    const struct { Column* column; QString text; } cases[] = {
        {no, QStringLiteral("MO-202612-0001")}, {no, QStringLiteral("SO-202701-0012")}, {type, QStringLiteral("生产任务用料")}};
    for (const auto& c : cases)
        EXPECT_GE(c.column->width(), textWidth(c.text) + 6) << c.text.toStdString();
    EXPECT_EQ(qty->width(), qtyBefore + 3) << "a width the user gave is kept";
}

TEST_F(FitFixture, StoredWidthsWinAndFittingNeverNarrowsNorPassesTheCap)
{
    const QString huge(200, u'8');
    src.appendRecord({QStringLiteral("SO-1"), huge, QStringLiteral("1")});
    no->setWidth(30);
    qty->setWidth(500);
    ColumnFit::of(&grid)->setStoredColumns({no});
    ColumnFit::of(&grid)->fitNow();
    EXPECT_EQ(no->width(), 30);
    EXPECT_EQ(qty->width(), 500);
    EXPECT_EQ(type->width(), ColumnFit::MaxWidth);
    EXPECT_GT(ColumnFit::fittedWidth(&grid, type), ColumnFit::MaxWidth);
}

TEST_F(FitFixture, ACutNumberShowsItsWholeValueAsTheTip)
{
    fill();
    ColumnFit::of(&grid)->setStoredColumns({qty});
    qty->setWidth(textWidth(QStringLiteral("1,5")) + 12);
    showAndSettle();
    const QRect cell = grid.cellRect(1, qty);
    QHelpEvent tip(QEvent::ToolTip, cell.center(), grid.viewport()->mapToGlobal(cell.center()));
    QCoreApplication::sendEvent(grid.viewport(), &tip);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("12,345,678.5"));
    QToolTip::hideText();
}

} // namespace
