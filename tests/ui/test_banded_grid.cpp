#include "BandedGrid.h"
#include "DisplayFormat.h"
#include "ScriptedMessageBoxes.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

// A small item list: number, name, category, quantity, price, closed flag.
struct GridFixture : ::testing::Test {
    StaticDataSource src{{"ItmNo", "ItmName", "Cat", "Qty", "Price", "Closed"},
                         {QMetaType::QString, QMetaType::QString, QMetaType::QString, QMetaType::Double,
                          QMetaType::Double, QMetaType::Bool}};
    BandedGrid grid;
    Column *no, *name, *cat, *qty, *price, *closed;

    void SetUp() override
    {
        src.appendRecord({"A-03", "螺丝", "标准件", 10.0, 0.5, false});
        src.appendRecord({"a-01", "螺母", "标准件", 0.0, 0.2, true});
        src.appendRecord({"B-02", "底座", "结构件", 3.0, 120.0, false});
        src.appendRecord({"b-04", "支架", "结构件", 7.0, QVariant(), false});
        src.appendRecord({"C-05", "外壳", "塑料件", 2.5, 30.0, false});
        grid.addBand("物料", BandFixed::Left);
        grid.addBand("数量");
        grid.addBand("状态", BandFixed::Right);
        no = grid.addColumn("物料代码", "ItmNo", 0);
        name = grid.addColumn("物料名称", "ItmName", 0);
        cat = grid.addColumn("类别", "Cat", 1);
        qty = grid.addColumn("数量", "Qty", 1);
        price = grid.addColumn("单价", "Price", 1);
        closed = grid.addColumn("关闭", "Closed", 2);
        qty->setEditor(std::make_shared<TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter));
        closed->setEditor(std::make_shared<CheckBoxProperties>());
        grid.setDataSource(&src);
        grid.resize(800, 400);
    }

    QStringList shownNumbers()
    {
        QStringList out;
        for (int i = 0; i < grid.rowCount(); ++i)
            if (grid.row(i).kind == RowRef::Data) out << grid.cellText(i, no);
        return out;
    }
};

} // namespace

TEST_F(GridFixture, BandsPlaceColumnsLeftMiddleRight)
{
    const ViewGeometry& g = grid.geometry();
    ASSERT_EQ(g.bands.size(), 3);
    EXPECT_EQ(g.bands[0].caption, "物料");
    EXPECT_EQ(g.bands[0].width, 140);
    EXPECT_EQ(g.columnRect(name).x(), 70);
    EXPECT_EQ(g.columnRect(cat).x(), 140);
    EXPECT_EQ(g.columnRect(closed).x(), 140 + 210);
    EXPECT_EQ(g.leftFixedWidth, 140);
    EXPECT_EQ(g.rightFixedWidth, 70);
    EXPECT_EQ(grid.visibleColumns(), (QList<Column*>{no, name, cat, qty, price, closed}));

    // A second band row: the column sits below, the record grows to two lines.
    price->setPosition(1, 1, 0);
    EXPECT_EQ(grid.geometry().recordLines, 2);
    EXPECT_EQ(grid.geometry().columnRect(price).y(), grid.geometry().lineHeight);
    EXPECT_EQ(grid.geometry().columnRect(price).x(), 140);
    // The band is as wide as its widest row; the shorter row's last column stretches.
    EXPECT_EQ(grid.geometry().columnRect(price).width(), 140);

    // Moving a column in front of another inside a band.
    qty->setPosition(1, 0, cat->colIndex());
    EXPECT_LT(grid.geometry().columnRect(qty).x(), grid.geometry().columnRect(cat).x());

    // A hidden column leaves no gap; a band without visible columns takes no room.
    closed->setVisible(false);
    EXPECT_EQ(grid.geometry().bands.size(), 2);
    EXPECT_EQ(grid.geometry().rightFixedWidth, 0);
}

TEST_F(GridFixture, DefaultBandSkipsFixedAndOwnColumnBands)
{
    EXPECT_EQ(grid.defaultBandIndex(), 1);
    grid.band(1).ownColumnsOnly = true;
    EXPECT_EQ(grid.defaultBandIndex(), 0);  // none qualifies
    int b = grid.addBand("其他");
    EXPECT_EQ(grid.defaultBandIndex(), b);
    Column* c = grid.addColumn("备注");
    EXPECT_EQ(c->bandIndex(), b);
}

TEST_F(GridFixture, SamePositiveTagKeepsEqualWidthsInABand)
{
    cat->setTag(3);
    price->setTag(3);
    qty->setTag(4);
    cat->setWidth(95);
    // Resizing by the mouse fires the rule; do it through the header.
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QRect hdr;
    {
        const ViewGeometry& g = grid.geometry();
        int indicator = 14;
        int top = g.lineHeight;  // below the band header row
        QRect r = g.columnRect(cat);
        hdr = QRect(indicator + r.x(), top, r.width(), g.recordHeight);
    }
    QPoint edge(hdr.right() - 1, hdr.center().y());
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, edge);
    QTest::mouseMove(grid.viewport(), edge + QPoint(25, 0));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, edge + QPoint(25, 0));
    EXPECT_EQ(cat->width(), 120);
    EXPECT_EQ(price->width(), 120);
    EXPECT_EQ(qty->width(), 70);   // another tag
}

TEST_F(GridFixture, BindingGivesValuesTextsAndFocus)
{
    EXPECT_EQ(grid.recordCount(), 5);
    EXPECT_EQ(grid.value(2, price).toDouble(), 120.0);
    EXPECT_EQ(grid.displayText(1, name), "螺母");
    EXPECT_EQ(grid.focusedRecordIndex(), 0);
    QSignalSpy spy(&grid, &BandedGrid::focusedRecordChanged);
    EXPECT_TRUE(grid.setFocusedRecordIndex(3));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 0);
    EXPECT_EQ(spy[0][1].toInt(), 3);
    EXPECT_FALSE(grid.setFocusedRecordIndex(99));

    // A display-text hook adjusts the shown text, not the value.
    price->displayTextHook = [](const RowRef&, const QVariant& v, QString& t) {
        t = v.isNull() || v.toDouble() == 0 ? QString() : formatFloat("###,###,###,##0.00", v.toDouble());
    };
    EXPECT_EQ(grid.displayText(2, price), "120.00");
    EXPECT_EQ(grid.displayText(3, price), "");

    // Rows added to the source show after a refresh; the focus stays.
    src.appendRecord({"D-06", "垫片", "标准件", 1.0, 0.1, false});
    src.changed();
    EXPECT_EQ(grid.rowCount(), 6);
    EXPECT_EQ(grid.focusedRecordIndex(), 3);
}

TEST_F(GridFixture, SortsBySeveralColumnsWithoutRegardToCase)
{
    grid.sortBy(no, Qt::AscendingOrder);
    EXPECT_EQ(shownNumbers(), (QStringList{"a-01", "A-03", "B-02", "b-04", "C-05"}));
    grid.sortBy(cat, Qt::AscendingOrder);
    grid.sortBy(qty, Qt::DescendingOrder, true);
    EXPECT_EQ(grid.sortedColumns(), (QList<Column*>{cat, qty}));
    // 标准件 < 塑料件 < 结构件 in code order; quantities descending inside.
    QStringList cats;
    for (int i = 0; i < grid.rowCount(); ++i) cats << grid.cellText(i, cat);
    QStringList expectCats = cats;
    std::sort(expectCats.begin(), expectCats.end(), [](const QString& a, const QString& b) { return a < b; });
    EXPECT_EQ(cats, expectCats);
    int r0 = grid.rowOfRecord(0), r1 = grid.rowOfRecord(1);
    EXPECT_LT(r0, r1);  // 10 before 0 among 标准件
    grid.clearSorting();
    EXPECT_EQ(shownNumbers(), (QStringList{"A-03", "a-01", "B-02", "b-04", "C-05"}));
    // Clicking a header sorts; clicking again reverses.
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QRect r = grid.geometry().columnRect(no);
    QPoint p(14 + r.center().x(), grid.geometry().lineHeight + r.center().y());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(shownNumbers().first(), "a-01");
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(shownNumbers().first(), "C-05");
}

TEST_F(GridFixture, GroupsWithExpandCollapseAndGroupFooters)
{
    qty->setGroupSummary(SummaryKind::Sum, "###,###,###,##0.########");
    grid.setGroupFooterMode(BandedGrid::GroupFootersWhenExpanded);
    grid.groupBy(cat);
    EXPECT_TRUE(grid.isGrouped());
    EXPECT_FALSE(cat->isVisible());       // a grouped column hides
    ASSERT_EQ(grid.rowCount(), 3);        // collapsed group rows only
    for (int i = 0; i < 3; ++i) EXPECT_EQ(grid.row(i).kind, RowRef::Group);
    // Group values in code order: 塑料件, 标准件, 结构件.
    EXPECT_EQ(grid.groupRowText(0), "类别 : 塑料件");
    EXPECT_EQ(grid.groupRowText(1), "类别 : 标准件");
    EXPECT_TRUE(grid.selectedRecordIndexes().isEmpty());

    grid.expandAllGroups();
    // 3 groups + 5 records + 3 group footers
    EXPECT_EQ(grid.rowCount(), 11);
    QStringList footers;
    for (int i = 0; i < grid.rowCount(); ++i)
        if (grid.row(i).kind == RowRef::GroupFooter) footers << grid.groupFooterText(i, qty);
    EXPECT_EQ(footers, (QStringList{"2.5", "10", "10"}));   // 塑料件, 标准件 10 + 0, 结构件 3 + 7

    grid.collapseAllGroups();
    EXPECT_EQ(grid.rowCount(), 3);
    // Expanding one group by its row; focusing a record opens its group.
    grid.setRowExpanded(2, true);
    EXPECT_EQ(grid.rowCount(), 3 + 2 + 1);
    grid.collapseAllGroups();
    EXPECT_TRUE(grid.setFocusedRecordIndex(4));
    EXPECT_EQ(grid.focusedRecordIndex(), 4);

    // Two levels; the group box shows the grouped columns.
    grid.setShowGroupByBox(true);
    grid.groupBy(closed);
    EXPECT_EQ(grid.groupedColumns(), (QList<Column*>{cat, closed}));
    grid.expandAllGroups();
    int levels = 0;
    for (int i = 0; i < grid.rowCount(); ++i)
        if (grid.row(i).kind == RowRef::Group) levels = qMax(levels, grid.row(i).level + 1);
    EXPECT_EQ(levels, 2);
    grid.ungroup(cat);
    EXPECT_TRUE(cat->isVisible());
    grid.clearGrouping();
    EXPECT_FALSE(grid.isGrouped());
    EXPECT_EQ(grid.rowCount(), 5);
}

TEST_F(GridFixture, FooterSummariesWithFormatsAndCustomCallback)
{
    grid.setShowFooter(true);
    qty->setFooterSummary(SummaryKind::Sum, "###,###,###,##0.########");
    price->setFooterSummary(SummaryKind::Min, "≥###,###,###,##0.########;≥-###,###,###,##0.########");
    no->setFooterSummary(SummaryKind::Count, "###,###,###,##0.########");
    name->setFooterSummary(SummaryKind::Max);
    EXPECT_EQ(grid.footerText(qty), "22.5");
    EXPECT_EQ(grid.footerText(price), "≥0.2");
    EXPECT_EQ(grid.footerText(no), "5");
    EXPECT_EQ(grid.footerValue(price).toDouble(), 0.2);

    // The views' own rule: zeros, blanks and Nulls are not counted.
    grid.setSummaryHook([](SummaryState& s, const QVariant& v, bool& done) {
        done = true;
        if (!v.isValid() || v.isNull()) return;
        if (isNumeric(v) && v.toDouble() == 0) return;
        if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty()) return;
        ++s.count;
        if (s.kind == SummaryKind::Count) return;
        if (!s.value.isValid()) s.value = v;
        else if (s.kind == SummaryKind::Min) { if (compareValues(v, s.value) < 0) s.value = v; }
        else if (s.kind == SummaryKind::Max) { if (compareValues(v, s.value) > 0) s.value = v; }
        else s.value = s.value.toDouble() + v.toDouble();
    });
    qty->setFooterSummary(SummaryKind::Count, "###,###,###,##0.########");
    EXPECT_EQ(grid.footerText(qty), "4");  // the 0 is skipped
    for (int r = 0; r < 5; ++r) grid.setValue(r, qty, 0.0);
    qty->setFooterSummary(SummaryKind::Sum, "###,###,###,##0.########");
    EXPECT_EQ(grid.footerText(qty), "");   // only zeros: empty summary

    // Over the selection when more than one record is selected.
    grid.setSummariesOverSelection(true);
    grid.setMultiSelect(true);
    grid.selectRecord(2, true);
    grid.selectRecord(4, true);
    grid.selectRecord(0, false);
    EXPECT_EQ(grid.footerText(price), "≥30");
}

TEST_F(GridFixture, MultiSelectSwitchedAtRunTime)
{
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    auto clickRow = [&](int row, Qt::KeyboardModifiers m) {
        QRect r = grid.cellRect(row, name);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, m, r.center());
    };
    clickRow(1, {});
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(grid.selectedRecordIndexes(), QList<int>{3});  // single select ignores Ctrl
    grid.setMultiSelect(true);
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(grid.selectedRecordIndexes(), (QList<int>{1, 3}));
    clickRow(4, Qt::ShiftModifier);
    EXPECT_EQ(grid.selectedRecordIndexes(), (QList<int>{1, 2, 3, 4}));
    QTest::keyClick(grid.viewport(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(grid.selectedRecordIndexes(), (QList<int>{1, 2, 3}));
    grid.selectAllRows();
    EXPECT_EQ(grid.selectedRecordCount(), 5);
    grid.setMultiSelect(false);
    EXPECT_EQ(grid.selectedRecordIndexes(), QList<int>{grid.focusedRecordIndex()});
}

TEST_F(GridFixture, InPlaceEditingPostsAndHonoursTheVeto)
{
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy edited(&grid, &BandedView::cellEdited);
    grid.setEditingHook([&](const RowRef& r, Column* c) { return !(c == qty && r.record == 1); });
    grid.setFocusedRecordIndex(0);
    grid.setFocusedColumn(qty);
    ASSERT_TRUE(grid.startEdit());
    auto* le = qobject_cast<QLineEdit*>(grid.activeEditor());
    ASSERT_NE(le, nullptr);
    EXPECT_EQ(le->alignment() & Qt::AlignRight, Qt::AlignRight);
    le->setText("12.75");
    QTest::keyClick(le, Qt::Key_Return);
    EXPECT_EQ(src.value(0, 3).toDouble(), 12.75);
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][2].toDouble(), 10.0);
    // Enter moved on to the next editable cell and opened it.
    EXPECT_EQ(grid.focusedColumn(), price);
    grid.cancelEdit();

    // A text that is no number is refused with a message naming the column
    // and the text; the editor stays open with it and the value stays.
    grid.setFocusedColumn(qty);
    ASSERT_TRUE(grid.startEdit());
    qobject_cast<QLineEdit*>(grid.activeEditor())->setText("abc");
    {
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(grid.postEdit());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "[数量]的值(abc)无效!");
        EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONERROR);
    }
    ASSERT_TRUE(grid.isEditing());
    EXPECT_EQ(qobject_cast<QLineEdit*>(grid.activeEditor())->text(), "abc");
    grid.cancelEdit();
    EXPECT_EQ(src.value(0, 3).toDouble(), 12.75);

    // The veto keeps the editor closed on record 1.
    grid.setFocusedRecordIndex(1);
    grid.setFocusedColumn(qty);
    EXPECT_FALSE(grid.startEdit());
    EXPECT_FALSE(grid.isEditing());
    // Typing on a focused cell starts editing with the typed text; Esc cancels.
    grid.setFocusedRecordIndex(2);
    QTest::keyClicks(grid.viewport(), "9");
    ASSERT_TRUE(grid.isEditing());
    EXPECT_EQ(qobject_cast<QLineEdit*>(grid.activeEditor())->text(), "9");
    QTest::keyClick(grid.activeEditor(), Qt::Key_Escape);
    EXPECT_FALSE(grid.isEditing());
    EXPECT_EQ(src.value(2, 3).toDouble(), 3.0);

    // A check box toggles with a click on its cell.
    QRect cr = grid.cellRect(grid.rowOfRecord(2), closed);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cr.center());
    EXPECT_TRUE(src.value(2, 5).toBool());

    // Read-only and editing off refuse every edit.
    grid.setReadOnly(true);
    EXPECT_FALSE(grid.startEdit(qty));
    grid.setReadOnly(false);
    grid.setEditingEnabled(false);
    EXPECT_FALSE(grid.startEdit(qty));
    grid.setEditingEnabled(true);
    qty->setEditable(false);
    EXPECT_FALSE(grid.startEdit(qty));
}

TEST_F(GridFixture, ImageComboAndButtonEditors)
{
    auto combo = std::make_shared<ImageComboProperties>();
    combo->addItem("标准件", "标准", 0);
    combo->addItem("结构件", "结构", 1);
    cat->setEditor(combo);
    EXPECT_EQ(grid.displayText(0, cat), "标准");
    EXPECT_EQ(grid.displayText(4, cat), "");  // not in the list
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setFocusedRecordIndex(0);
    ASSERT_TRUE(grid.startEdit(cat));
    auto* cb = qobject_cast<QComboBox*>(grid.activeEditor());
    ASSERT_NE(cb, nullptr);
    // A long text drops down whole, wider than the narrow cell.
    combo->addItem("计划件", "计划生产(子件跳层)");
    std::unique_ptr<QWidget> wide(combo->createEditor(nullptr));
    auto* wcb = qobject_cast<QComboBox*>(wide.get());
    ASSERT_NE(wcb, nullptr);
    EXPECT_GE(wcb->view()->minimumWidth(), wcb->fontMetrics().horizontalAdvance("计划生产(子件跳层)"));
    cb->setCurrentIndex(1);
    grid.postEdit();
    EXPECT_EQ(src.value(0, 2).toString(), "结构件");

    int clicks = 0;
    auto pick = std::make_shared<ButtonEditProperties>();
    pick->noKeyInput = true;
    pick->onButtonClick = [&](ButtonEdit* e, int) { ++clicks; e->setText("X-99"); };
    no->setEditor(pick);
    grid.setFocusedColumn(no);
    ASSERT_TRUE(grid.startEdit(no));
    auto* be = qobject_cast<ButtonEdit*>(grid.activeEditor());
    ASSERT_NE(be, nullptr);
    QTest::keyClicks(be, "q");      // typing clicks the button instead of typing
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(be, Qt::Key_Comma);  // other characters are dropped
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(be->text(), "X-99");
    QTest::keyClick(be, Qt::Key_F2);
    EXPECT_EQ(clicks, 2);
    QTest::keyClick(be, Qt::Key_Return);
    EXPECT_EQ(src.value(0, 0).toString(), "X-99");
}

TEST_F(GridFixture, CustomDrawReadsBackThroughTheCellModel)
{
    grid.setCustomDrawHook([&](CellDraw& c) {
        if (c.selected) return;
        if (grid.value(c.row.record, closed).toBool()) c.textColor = QColor(0, 161, 0);
        if (c.column == qty && grid.value(c.row.record, qty).toDouble() > 5) {
            c.background = QColor(255, 255, 194);
            c.font.setBold(true);
        }
    });
    CellModel* m = grid.cellModel();
    ASSERT_EQ(m->rowCount(), 5);
    ASSERT_EQ(m->columnCount(), 6);
    int qcol = int(grid.visibleColumns().indexOf(qty));
    EXPECT_EQ(m->headerData(qcol, Qt::Horizontal, Qt::DisplayRole).toString(), "数量");
    int r1 = grid.rowOfRecord(1), r0 = grid.rowOfRecord(0);
    EXPECT_EQ(m->index(r1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 161, 0));
    EXPECT_EQ(m->index(r0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
    EXPECT_EQ(m->index(r0, qcol).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 194));
    EXPECT_EQ(m->index(r0, qcol).data(CellModel::FontStyleRole).toInt(), 1);
    EXPECT_EQ(m->index(r0, qcol).data(Qt::DisplayRole).toString(), "10");
    EXPECT_EQ(m->index(r0, qcol).data(Qt::EditRole).toDouble(), 10.0);
    EXPECT_TRUE(m->index(r0, qcol).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    // Printing asks without selection and focus even for the focused row.
    CellFormat f = grid.cellFormat(r0, qty, true);
    EXPECT_EQ(f.background, QColor(255, 255, 194));
}

TEST_F(GridFixture, CopiesTheFocusedCellOrTheSelectedRecords)
{
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setFocusedRecordIndex(2);
    grid.setFocusedColumn(name);
    QTest::keyClick(grid.viewport(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "底座");
    grid.setMultiSelect(true);
    grid.selectRecord(3, true);
    EXPECT_EQ(grid.copyText(true), "B-02\t底座\t结构件\t3\t120\tFalse\r\nb-04\t支架\t结构件\t7\t\tFalse");
}

TEST_F(GridFixture, KeyboardMovesTheFocusAndDoubleClickReports)
{
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy focus(&grid, &BandedGrid::focusedRecordChanged);
    QSignalSpy dbl(&grid, &BandedView::cellDoubleClicked);
    QTest::keyClick(grid.viewport(), Qt::Key_Down);
    QTest::keyClick(grid.viewport(), Qt::Key_Down);
    EXPECT_EQ(grid.focusedRecordIndex(), 2);
    EXPECT_EQ(focus.count(), 2);
    QTest::keyClick(grid.viewport(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.focusedRecordIndex(), 4);
    QRect r = grid.cellRect(1, price);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(dbl.count(), 1);
    EXPECT_EQ(dbl[0][1].value<Column*>(), price);
}

TEST_F(GridFixture, LeftAndRightScrollTheFocusedColumnIntoViewBetweenTheFixedBands)
{
    // Narrow enough that the middle band scrolls under the fixed ones.
    for (Column* c : {cat, qty, price})
        c->setWidth(200);
    grid.resize(520, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setFocusedRow(0);
    grid.setFocusedColumn(name);
    const auto between = [&](Column* c) {
        const QRect cell = grid.cellRect(0, c);
        const QRect left = grid.cellRect(0, name), right = grid.cellRect(0, closed);
        return cell.left() >= left.right() && cell.right() <= right.left();
    };
    // Right from the left-fixed band into the scrolled one, along it, and back.
    for (Column* c : {cat, qty, price}) {
        QTest::keyClick(grid.viewport(), Qt::Key_Right);
        ASSERT_EQ(grid.focusedColumn(), c);
        EXPECT_TRUE(between(c)) << c->caption().toStdString();
    }
    QTest::keyClick(grid.viewport(), Qt::Key_Right);
    EXPECT_EQ(grid.focusedColumn(), closed);
    for (Column* c : {price, qty, cat}) {
        QTest::keyClick(grid.viewport(), Qt::Key_Left);
        ASSERT_EQ(grid.focusedColumn(), c);
        EXPECT_TRUE(between(c)) << c->caption().toStdString();
    }
    // A focus set by the program comes into view too.
    grid.setFocusedColumn(price);
    EXPECT_TRUE(between(price));
}

TEST_F(GridFixture, HeaderDragsMoveColumnsAndGroupThroughTheBox)
{
    grid.setShowGroupByBox(true);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    auto headerCentre = [&](Column* c) {
        const ViewGeometry& g = grid.geometry();
        int boxH = 16 + g.lineHeight;   // empty group box
        QRect r = g.columnRect(c);
        return QPoint(14 + r.center().x(), boxH + g.lineHeight + r.center().y());
    };
    auto drag = [&](QPoint from, QPoint to) {
        QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(grid.viewport(), from + QPoint(10, 0));
        QTest::mouseMove(grid.viewport(), to);
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, to);
    };
    // Price dropped on the category header lands before it.
    drag(headerCentre(price), headerCentre(cat) - QPoint(10, 0));
    EXPECT_EQ(grid.visibleColumns(), (QList<Column*>{no, name, price, cat, qty, closed}));
    // A column that may not move stays.
    qty->setMovable(false);
    drag(headerCentre(qty), headerCentre(price));
    EXPECT_EQ(grid.visibleColumns(), (QList<Column*>{no, name, price, cat, qty, closed}));
    // Dropped on the group box, the column groups the records.
    drag(headerCentre(cat), QPoint(40, 10));
    EXPECT_EQ(grid.groupedColumns(), QList<Column*>{cat});
    EXPECT_EQ(grid.row(0).kind, RowRef::Group);
    // Group rows join the selection but are no records.
    grid.setMultiSelect(true);
    grid.setRowExpanded(0, true);
    grid.selectAllRows();
    EXPECT_EQ(grid.selectedRows().size(), grid.rowCount());
    EXPECT_EQ(grid.selectedRecordCount(), 1);  // only 塑料件's record shows
}

TEST_F(GridFixture, BestFitAndHiddenHeaders)
{
    name->setWidth(20);
    grid.bestFitColumn(name);
    EXPECT_GT(name->width(), 20);
    EXPECT_LT(name->width(), 200);
    int top = grid.cellRect(0, no).top();
    grid.setShowBandHeaders(false);
    EXPECT_EQ(grid.cellRect(0, no).top(), top - grid.geometry().lineHeight);
    grid.setShowHeaders(false);
    EXPECT_EQ(grid.cellRect(0, no).top(), 0);
}

TEST_F(GridFixture, CanEditCellAnswersLikeTheEditor)
{
    grid.setEditingHook([&](const RowRef& r, Column* c) { return !(c == qty && r.record == 1); });
    int r0 = grid.rowOfRecord(0), r1 = grid.rowOfRecord(1);
    EXPECT_TRUE(grid.canEditCell(r0, qty));
    EXPECT_FALSE(grid.canEditCell(r1, qty));
    auto ro = std::make_shared<TextEditProperties>();
    ro->setReadOnly(true);
    name->setEditor(ro);
    EXPECT_FALSE(grid.canEditCell(r0, name));
    grid.setReadOnly(true);
    EXPECT_FALSE(grid.canEditCell(r0, qty));
    EXPECT_EQ(grid.contentIndent(r0), 0);
}

TEST(GridSource, ASourceOutlivingItsGridNotifiesNobody)
{
    StaticDataSource src{{"A"}};
    {
        BandedGrid grid;
        grid.addColumn("A", "A");
        grid.setDataSource(&src);
        src.appendRecord({1});
        src.changed();
        EXPECT_EQ(grid.rowCount(), 1);
    }
    src.appendRecord({2});
    src.changed();   // the grid is gone: nothing happens
    BandedGrid a, b;
    a.setDataSource(&src);
    a.setDataSource(nullptr);
    b.setDataSource(&src);
    src.appendRecord({3});
    src.changed();
    EXPECT_EQ(b.rowCount(), 3);
    EXPECT_EQ(a.rowCount(), 0);
}
