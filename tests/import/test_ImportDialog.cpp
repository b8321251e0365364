// The import dialog over a source held in memory: value checks and
// conversion, automatic mapping, required fields and groups, the cross-table
// box, the row loop with the caller's messages, errors, Esc and the hook.
#include "PressEscape.h"
#include "EscapeKey.h"
#include "ImportTestSource.h"
#include "MessageBox.h"
#include "ScriptedMessageBoxes.h"
#include "DialogDriver.h"
#include "TreeList.h"
#include "dlgImport.h"
#include "untApplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QMimeData>
#include <QDropEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <stdexcept>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TExchangeFieldRec field(const QString& name, quint16 type, int group, TExchangeFieldKind kind = fkNormal,
                        const QString& usedMaps = QString())
{
    return TExchangeFieldRec{name, type, kind, group, usedMaps};
}

// What the caller's side saw of one import.
struct Caller {
    QList<TVariantArray> records;
    int begun = -1;
    int ended = 0;
    std::function<void(const TVariantArray&, TMessageKind&, QString&, int&)> answer;

    void attach(TImportDlg& dlg)
    {
        dlg.FImportDataProc = [this](const TVariantArray& r, TMessageKind& k, QString& t, int& f) {
            records << r;
            if (answer)
                answer(r, k, t, f);
        };
        dlg.FOnBeginImport = [this](int n) { begun = n; };
        dlg.FOnEndImport = [this](QObject* sender) {
            EXPECT_EQ(sender, nullptr);
            ++ended;
        };
    }
};

// A dialog on a memory source with these columns and rows, already defined.
std::unique_ptr<TImportDlg> openDialog(const TExchangeFieldRecs& fields, const QStringList& headers,
                                       const QList<QVariantList>& rows, Caller& caller)
{
    ClearImportSources();
    TableSource::Register();
    TableSource::nextHeaders = headers;
    TableSource::nextRows = rows;
    auto dlg = std::make_unique<TImportDlg>(fields);
    caller.attach(*dlg);
    dlg->Define();
    return dlg;
}

void map(TImportDlg& dlg, int sourceCol, int fieldIndex)
{
    dlg.FocusSourceColumn(sourceCol);
    dlg.FocusFieldColumn(fieldIndex);
    dlg.MapAdd();
}

// The application object of one test, installed as the process's one.
struct AppScope {
    AppScope() { InfoApplication = &app; }
    ~AppScope() { InfoApplication = nullptr; }
    TInfoApplication app;
};

QVariant dt(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

} // namespace

TEST(ImportValues, ChecksAndConvertsByTypeCode)
{
    using namespace ImportTypes;
    const QVariant null = ImportNull();
    struct Case {
        const char* name;
        QVariant value;
        quint16 type;
        bool fits;
        bool converts;
        QVariant result;   // invalid: expect Empty; null: expect Null
    } cases[] = {
        {"whole double to integer", 5.0, Integer, true, true, 5},
        {"fraction to integer", 5.5, Integer, false, false, null},
        {"integer text", QStringLiteral(" 12 "), Integer, true, true, 12},
        {"decimal text to integer", QStringLiteral("12.0"), Integer, false, false, null},
        {"blank text to integer", QStringLiteral("  "), Integer, true, true, null},
        {"beyond a small integer", 70000.0, SmallInt, false, false, null},
        {"negative word", -1, Word, false, false, null},
        {"large 64-bit", 5e15, Int64, true, true, qlonglong(5000000000000000LL)},
        {"number text to double", QStringLiteral("1.5"), Double, true, true, 1.5},
        {"words to double", QStringLiteral("十件"), Double, false, false, null},
        {"integer to currency", 7, Currency, true, true, 7.0},
        {"date stays", dt(2027, 1, 15), Date, true, true, dt(2027, 1, 15)},
        {"date text", QStringLiteral("2027/1/15"), Date, true, true, dt(2027, 1, 15)},
        {"bad date text", QStringLiteral("2027/13/01"), Date, false, false, null},
        {"number is no date", 46000.0, Date, false, false, null},
        {"否 is false", QStringLiteral("否"), Boolean, true, true, false},
        {"no is false", QStringLiteral(" no "), Boolean, true, true, false},
        {"F is false", QStringLiteral("f"), Boolean, true, true, false},
        {"empty text is false", QString(""), Boolean, true, true, false},
        {"Y is true", QStringLiteral("Y"), Boolean, true, true, true},
        {"x is true", QStringLiteral("x"), Boolean, true, true, true},
        {"zero is false", 0, Boolean, true, true, false},
        {"fraction is true", 0.5, Boolean, true, true, true},
        {"date is no Boolean", dt(2027, 1, 15), Boolean, false, true, false},
        {"number to string", 1234.5, String, true, true, QStringLiteral("1234.5")},
        {"date to string", dt(2027, 1, 15), String, true, true, QStringLiteral("2027/01/15")},
        {"null stays null", null, Double, true, true, null},
        {"empty becomes null", QVariant(), String, true, true, null},
        {"unknown type takes nothing", QStringLiteral("x"), 99, false, true, QVariant()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ImportValueFits(c.value, c.type), c.fits) << c.name;
        QVariant r;
        EXPECT_EQ(ConvertImportValue(c.value, c.type, r), c.converts) << c.name;
        if (!c.converts)
            continue;
        if (!c.result.isValid()) {
            EXPECT_FALSE(r.isValid()) << c.name;
        } else if (c.result.isNull()) {
            EXPECT_TRUE(r.isValid() && r.isNull()) << c.name;
        } else {
            EXPECT_EQ(r, c.result) << c.name << " gave " << r.toString().toStdString();
            EXPECT_EQ(r.typeId(), c.result.typeId()) << c.name;
        }
    }
}

TEST(ImportDialog, MapsByRememberedCaptionNameAndUsedMaps)
{
    Caller caller;
    const TExchangeFieldRecs fields = {field(QStringLiteral("物料编码"), 256, 1, fkNormal, QStringLiteral("|ITEM|CODE|")),
                                       field(QStringLiteral("数量"), 5, 0),
                                       field(QStringLiteral("日期"), 7, 0, fkNormal, QStringLiteral("|DUE|"))};
    auto dlg = openDialog(fields, {QStringLiteral("due"), QStringLiteral("Amount"), QStringLiteral("item")},
                          {{dt(2027, 1, 1), 3.0, QStringLiteral("A-1")}}, caller);
    EXPECT_EQ(dlg->edtSourceName->text(), QStringLiteral("内存表格"));
    // Every source column shows, with the preview rows under it.
    EXPECT_EQ(dlg->trlSourceData->visibleColumns().size(), 3);
    EXPECT_EQ(dlg->trlSourceData->topCount(), 1);
    EXPECT_EQ(dlg->trlFieldMaps->topCount(), 1);
    EXPECT_EQ(dlg->FieldPartner(0), 2);
    EXPECT_EQ(dlg->FieldPartner(1), -1);
    EXPECT_EQ(dlg->FieldPartner(2), 0);
    EXPECT_EQ(dlg->FieldColumn(0)->caption(), QStringLiteral("item"));
    EXPECT_EQ(dlg->FieldColumn(1)->caption(), QStringLiteral("..."));
    EXPECT_EQ(dlg->trlFieldMaps->band(1).caption, QStringLiteral("(数量)"));
    EXPECT_EQ(dlg->trlFieldMaps->band(0).caption, QStringLiteral("物料编码"));
    // Adding needs an unmapped source column; removing a mapped field.
    dlg->FocusSourceColumn(2);
    EXPECT_FALSE(dlg->actMapAdd->isEnabled());
    map(*dlg, 1, 1);
    EXPECT_EQ(dlg->FieldPartner(1), 1);
    EXPECT_EQ(dlg->FieldColumn(1)->caption(), QStringLiteral("Amount"));
    EXPECT_TRUE(dlg->actMapRemove->isEnabled());

    // The hand-made mapping returns when the columns come in another order.
    TableSource::last->headers = {QStringLiteral("item"), QStringLiteral("Amount")};
    TableSource::last->rows = {{QStringLiteral("A-1"), 3.0}};
    dlg->LoadImportSource();
    EXPECT_EQ(dlg->FieldPartner(0), 0);
    EXPECT_EQ(dlg->FieldPartner(1), 1);
    EXPECT_EQ(dlg->FieldPartner(2), -1);

    // Double-clicks: on a field column it lets go, on a free source column it maps.
    dlg->FocusFieldColumn(1);
    emit dlg->trlFieldMaps->cellDoubleClicked(0, dlg->FieldColumn(1));
    EXPECT_EQ(dlg->FieldPartner(1), -1);
    dlg->FocusFieldColumn(1);
    emit dlg->trlSourceData->cellDoubleClicked(0, dlg->SourceColumn(1));
    EXPECT_EQ(dlg->FieldPartner(1), 1);

    // A removed mapping stays removed on the next load.
    dlg->FocusFieldColumn(1);
    dlg->MapRemove();
    EXPECT_EQ(dlg->FieldPartner(1), -1);
    EXPECT_EQ(dlg->SourcePartner(1), -1);
    EXPECT_EQ(dlg->SourceColumn(1), dlg->trlSourceData->focusedColumn());
    dlg->LoadImportSource();
    EXPECT_EQ(dlg->FieldPartner(1), -1);
}

TEST(ImportDialog, PickingAnotherKindShowsItsSourceOrAsksForOne)
{
    ClearImportSources();
    TableSource::Register();
    TableSource::Register(QStringLiteral("内存表格"));   // once only
    TableSource::Register(QStringLiteral("另一表格"));
    TableSource::nextHeaders = {QStringLiteral("编码")};
    TableSource::nextRows = {{QStringLiteral("A")}};
    TImportDlg dlg(TExchangeFieldRecs{field(QStringLiteral("编码"), 256, 1)});
    ASSERT_EQ(dlg.cboSourceType->count(), 2);
    dlg.show();
    dlg.Define();
    TableSource* first = TableSource::last;
    EXPECT_EQ(dlg.FieldPartner(0), 0);
    // The other kind has no source yet: the grids empty and its definer opens.
    TableSource::nextHeaders = {QStringLiteral("别的"), QStringLiteral("编码")};
    dlg.cboSourceType->setCurrentIndex(1);
    TableSource* second = TableSource::last;
    ASSERT_NE(second, first);
    EXPECT_EQ(second->definerCalls, 1);
    EXPECT_EQ(dlg.FieldPartner(0), 1);
    // Back to the first kind: its source loads again without asking.
    dlg.cboSourceType->setCurrentIndex(0);
    EXPECT_EQ(first->definerCalls, 1);
    EXPECT_EQ(dlg.SourceColumn(0)->caption(), QStringLiteral("编码"));
    EXPECT_EQ(dlg.FieldPartner(0), 0);
}

TEST(ImportDialog, ColumnsDraggedAcrossTheGridsMapAndLetGo)
{
    Caller caller;
    auto dlg = openDialog({field(QStringLiteral("编码"), 256, 1), field(QStringLiteral("数量"), 5, 0)},
                          {QStringLiteral("A"), QStringLiteral("B")}, {{QStringLiteral("X"), 2.0}}, caller);
    dlg->resize(900, 600);
    dlg->show();
    QApplication::processEvents();
    const auto drop = [&](kvui::TreeList* onto, const QByteArray& what, kvui::Column* at) {
        QMimeData mime;
        mime.setData(QStringLiteral("application/x-korvane-import-column"), what);
        const QRect cell = onto->cellRect(0, at);
        const QPoint pos = at ? cell.center() : QPoint(5, onto->viewport()->height() - 5);
        QDragEnterEvent enter(pos, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto->viewport(), &enter);
        QDropEvent dropped(QPointF(pos), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto->viewport(), &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    };
    // Source column B onto the field 数量.
    EXPECT_TRUE(drop(dlg->trlFieldMaps, "S1", dlg->FieldColumn(1)));
    EXPECT_EQ(dlg->FieldPartner(1), 1);
    // A mapped source column cannot be dropped again, nor a field onto its own grid.
    EXPECT_FALSE(drop(dlg->trlFieldMaps, "S1", dlg->FieldColumn(0)));
    EXPECT_FALSE(drop(dlg->trlFieldMaps, "F1", dlg->FieldColumn(0)));
    EXPECT_EQ(dlg->FieldPartner(0), -1);
    // The field back onto the source grid lets go.
    EXPECT_TRUE(drop(dlg->trlSourceData, "F1", dlg->SourceColumn(0)));
    EXPECT_EQ(dlg->FieldPartner(1), -1);
    EXPECT_EQ(dlg->SourcePartner(1), -1);
}

TEST(ImportDialog, RequiredFieldsAndGroupsAreCheckedBeforeImporting)
{
    const TExchangeFieldRecs fields = {field(QStringLiteral("单号"), 256, 1), field(QStringLiteral("一期"), 5, 2),
                                       field(QStringLiteral("二期"), 5, 2), field(QStringLiteral("备注"), 256, 3)};
    struct Case {
        const char* name;
        QList<std::pair<int, int>> maps;   // source column, field
        QString warning;                   // empty: the import runs
        int focusedField;
    } cases[] = {
        {"required field", {}, QStringLiteral("目标字段\"单号\"是必须导入项, 请指定对应的来源数据字段!"), 0},
        {"group of two", {{0, 0}}, QStringLiteral("目标字段\"一期\"\"二期\"至少导入一项, 请指定对应的来源数据字段!"), 2},
        {"group of one", {{0, 0}, {2, 2}}, QStringLiteral("目标字段\"备注\"是必须导入项, 请指定对应的来源数据字段!"), 3},
        {"one of the group is enough", {{0, 0}, {1, 1}, {3, 3}}, QString(), -1},
    };
    for (const Case& c : cases) {
        Caller caller;
        auto dlg = openDialog(fields, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")},
                              {{QStringLiteral("X-1"), 1.0, 2.0, QStringLiteral("n")}}, caller);
        for (auto [s, f] : c.maps)
            map(*dlg, s, f);
        ScriptedMessageBoxes boxes;
        dlg->btnOk->click();
        if (c.warning.isEmpty()) {
            EXPECT_EQ(caller.records.size(), 1) << c.name;
            continue;
        }
        ASSERT_EQ(boxes.shown.size(), 1) << c.name;
        EXPECT_EQ(boxes.shown[0].text, c.warning) << c.name;
        EXPECT_EQ(boxes.shown[0].icon(), unsigned(kvos::MB_ICONWARNING)) << c.name;
        EXPECT_TRUE(caller.records.isEmpty()) << c.name;
        EXPECT_EQ(caller.begun, -1) << c.name;
        EXPECT_EQ(dlg->trlFieldMaps->focusedColumn(), dlg->FieldColumn(c.focusedField)) << c.name;
        EXPECT_EQ(dlg->pgcMain->currentWidget(), dlg->tabDefine) << c.name;
    }
}

TEST(ImportDialog, ValuesThatDoNotFitAreConfirmedAndTheirRowsSkipped)
{
    const TExchangeFieldRecs fields = {field(QStringLiteral("编码"), 256, 1), field(QStringLiteral("件数"), 3, 1)};
    const QList<QVariantList> rows = {{QStringLiteral("A"), 2.0}, {QStringLiteral("B"), 1.5}, {QStringLiteral("C"), 4.0}};
    for (int answer : {kvos::IDCANCEL, kvos::IDOK}) {
        Caller caller;
        auto dlg = openDialog(fields, {QStringLiteral("编码"), QStringLiteral("件数")}, rows, caller);
        EXPECT_TRUE(dlg->FieldInvalid(1));
        EXPECT_FALSE(dlg->FieldInvalid(0));
        ScriptedMessageBoxes boxes;
        boxes.answer({answer});
        dlg->btnOk->click();
        ASSERT_GE(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("目标字段\"件数\"与对应来源字段\"件数\"的数据类型不匹配, 继续?"));
        EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
        if (answer == kvos::IDCANCEL) {
            EXPECT_TRUE(caller.records.isEmpty());
            EXPECT_EQ(caller.ended, 0);
            EXPECT_EQ(dlg->trlFieldMaps->focusedColumn(), dlg->FieldColumn(1));
            continue;
        }
        ASSERT_EQ(caller.records.size(), 2);
        EXPECT_EQ(caller.records[0][1], QVariant(2));
        EXPECT_EQ(caller.records[1][0], QVariant(QStringLiteral("C")));
        EXPECT_EQ(dlg->LogLines(),
                  QStringList({QStringLiteral("来源字段\"件数\"的值(1.5)转换成目标字段\"件数\"的数据类型时出现错误, 此行放弃导入! (源数据R2C0)"),
                               QStringLiteral("执行完成。")}));
        EXPECT_EQ(dlg->LogKinds(), QList<TMessageKind>({mkError, mkInformation}));
        EXPECT_TRUE(dlg->FImported);
    }
}

TEST(ImportDialog, HandsRecordsInFieldOrderAndLogsTheCallersMessages)
{
    Caller caller;
    const TExchangeFieldRecs fields = {field(QStringLiteral("编码"), 256, 1), field(QStringLiteral("备注"), 256, 0),
                                       field(QStringLiteral("数量"), 5, 0), field(QStringLiteral("停用"), 11, 0)};
    auto dlg = openDialog(fields, {QStringLiteral("停用"), QStringLiteral("数量"), QStringLiteral("编码")},
                          {{QStringLiteral("否"), 3.0, QStringLiteral("A-1")}, {QStringLiteral("Y"), QVariant(), QStringLiteral("A-2")}},
                          caller);
    caller.answer = [](const TVariantArray& r, TMessageKind& k, QString& t, int& f) {
        EXPECT_EQ(k, mkNone);
        EXPECT_TRUE(t.isEmpty());
        EXPECT_EQ(f, -1);
        if (r[0].toString() == QStringLiteral("A-2")) {
            k = mkWarning;
            t = QStringLiteral("数量为空\r\n已忽略");
            f = 2;
        }
    };
    ScriptedMessageBoxes boxes;
    dlg->btnOk->click();
    EXPECT_EQ(caller.begun, 2);
    EXPECT_EQ(caller.ended, 1);
    ASSERT_EQ(caller.records.size(), 2);
    const TVariantArray& a = caller.records[0];
    ASSERT_EQ(a.size(), 4);
    EXPECT_EQ(a[0], QVariant(QStringLiteral("A-1")));
    EXPECT_FALSE(a[1].isValid());   // not mapped: Empty
    EXPECT_EQ(a[2], QVariant(3.0));
    EXPECT_EQ(a[3], QVariant(false));
    const TVariantArray& b = caller.records[1];
    EXPECT_TRUE(b[2].isValid() && b[2].isNull());   // empty cell: Null
    EXPECT_EQ(b[3], QVariant(true));
    // The message names the cell of the reported field's column.
    EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("数量为空  已忽略 (源数据R2C2)"), QStringLiteral("执行完成。")}));
    EXPECT_EQ(dlg->trlLog->visibleColumns().size(), 1);
    EXPECT_EQ(dlg->LogKinds(), QList<TMessageKind>({mkWarning, mkInformation}));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("执行完成。"));
    EXPECT_EQ(dlg->pgbProgress->format(), QStringLiteral("已执行2/2"));
    EXPECT_EQ(dlg->pgcMain->currentWidget(), dlg->tabLog);
    EXPECT_TRUE(dlg->tabDefine->isEnabled());
    EXPECT_TRUE(dlg->FImported);

    // Importing again clears the log.
    dlg->pgcMain->setCurrentWidget(dlg->tabDefine);
    EXPECT_TRUE(dlg->btnOk->isEnabled());
    dlg->btnOk->click();
    EXPECT_EQ(dlg->LogLines().size(), 2);
    EXPECT_EQ(caller.records.size(), 4);
}

TEST(ImportDialog, AnEmptySourceStillBeginsAndEnds)
{
    Caller caller;
    auto dlg = openDialog({field(QStringLiteral("编码"), 256, 1)}, {QStringLiteral("编码")}, {}, caller);
    ScriptedMessageBoxes boxes;
    dlg->btnOk->click();
    EXPECT_EQ(caller.begun, 0);
    EXPECT_EQ(caller.ended, 1);
    EXPECT_TRUE(caller.records.isEmpty());
    EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("执行完成。")}));
    EXPECT_FALSE(dlg->FImported);
}

TEST(ImportDialog, CrossTableBoxSwapsTheFieldsAndRestoresTheirMappings)
{
    Caller caller;
    const TExchangeFieldRecs fields = {field(QStringLiteral("单号"), 256, 1), field(QStringLiteral("日期"), 7, 1, fkPivotH),
                                       field(QStringLiteral("数量"), 5, 1, fkPivotH), field(QStringLiteral("P1"), 5, 2, fkPivotV),
                                       field(QStringLiteral("P2"), 5, 2, fkPivotV), field(QStringLiteral("备注"), 256, 0)};
    auto dlg = openDialog(fields,
                          {QStringLiteral("单号"), QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("日期"), QStringLiteral("数量")},
                          {{QStringLiteral("S-1"), 5.0, 6.0, dt(2027, 1, 4), 11.0}}, caller);
    EXPECT_TRUE(dlg->chkPivot->isChecked());
    EXPECT_FALSE(dlg->chkPivot->isHidden());
    const auto partners = [&] {
        QList<int> p;
        for (int i = 0; i < fields.size(); ++i)
            p << (dlg->FieldShown(i) ? dlg->FieldPartner(i) : -9);
        return p;
    };
    EXPECT_EQ(partners(), QList<int>({0, -9, -9, 1, 2, -1}));
    // The hidden fields gave their columns back.
    EXPECT_EQ(dlg->SourcePartner(3), -1);
    dlg->chkPivot->setChecked(false);
    EXPECT_EQ(partners(), QList<int>({0, 3, 4, -9, -9, -1}));
    EXPECT_EQ(dlg->SourcePartner(1), -1);
    dlg->chkPivot->setChecked(true);
    EXPECT_EQ(partners(), QList<int>({0, -9, -9, 1, 2, -1}));

    // A column taken meanwhile by a field that stays is not given back.
    dlg->chkPivot->setChecked(false);
    map(*dlg, 1, 5);
    dlg->chkPivot->setChecked(true);
    EXPECT_EQ(partners(), QList<int>({0, -9, -9, -1, 2, 1}));
    EXPECT_EQ(dlg->FieldColumn(3)->caption(), QStringLiteral("..."));
    EXPECT_FALSE(dlg->FieldInvalid(3));

    // Mapping one period column maps the free ones after it along the row.
    dlg->FocusFieldColumn(5);
    dlg->MapRemove();
    dlg->FocusFieldColumn(4);
    dlg->MapRemove();
    map(*dlg, 1, 3);
    EXPECT_EQ(partners(), QList<int>({0, -9, -9, 1, 2, -1}));
    EXPECT_EQ(dlg->trlFieldMaps->topNode(0)->value(dlg->FieldColumn(4)), QVariant(6.0));

    // Without a cross-table field there is no box.
    Caller other;
    auto plain = openDialog({field(QStringLiteral("单号"), 256, 1)}, {QStringLiteral("单号")}, {}, other);
    EXPECT_TRUE(plain->chkPivot->isHidden());
}

TEST(ImportDialog, AnErrorOfTheCallerStopsTheImport)
{
    // The system's own exceptions and any other standard one are reported alike.
    const std::function<void()> throwers[] = {[] { throw Exception(QStringLiteral("违反唯一约束")); },
                                              [] { throw std::runtime_error("违反唯一约束"); }};
    for (const auto& raise : throwers) {
        Caller caller;
        auto dlg = openDialog({field(QStringLiteral("编码"), 256, 1)}, {QStringLiteral("编码")},
                              {{QStringLiteral("A")}, {QStringLiteral("B")}, {QStringLiteral("C")}}, caller);
        caller.answer = [&raise](const TVariantArray& r, TMessageKind&, QString&, int&) {
            if (r[0].toString() == QStringLiteral("B"))
                raise();
        };
        ScriptedMessageBoxes boxes;
        dlg->btnOk->click();
        EXPECT_EQ(caller.records.size(), 2);
        EXPECT_EQ(caller.ended, 1);
        EXPECT_TRUE(dlg->FImported);
        EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("程序执行出现错误!  原因: 违反唯一约束 (源数据R2C0)")}));
        EXPECT_EQ(dlg->LogKinds(), QList<TMessageKind>({mkError}));
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("执行过程中发现错误, 操作被停止!\r\r程序执行出现错误!\r\r原因: 违反唯一约束"));
        EXPECT_EQ(dlg->pgbProgress->format(), QStringLiteral("已执行1/3"));
        EXPECT_TRUE(dlg->tabDefine->isEnabled());
        EXPECT_TRUE(dlg->btnCancel->isEnabled());
    }
}

TEST(ImportDialog, StaysOpenWhileRowsAreImported)
{
    Caller caller;
    auto dlg = openDialog({field(QStringLiteral("编码"), 256, 1)}, {QStringLiteral("编码")}, {{QStringLiteral("A")}}, caller);
    dlg->show();
    bool closeEnabled = true;
    caller.answer = [&](const TVariantArray&, TMessageKind&, QString&, int&) {
        closeEnabled = dlg->btnCancel->isEnabled();
        dlg->reject();   // what Esc or the window's close button asks for
    };
    ScriptedMessageBoxes boxes;
    dlg->btnOk->click();
    EXPECT_FALSE(closeEnabled);
    EXPECT_TRUE(dlg->isVisible());
    dlg->btnCancel->click();
    EXPECT_FALSE(dlg->isVisible());
}

TEST(ImportDialog, EscStopsAfterConfirmation)
{
    AppScope scope;
    TInfoApplication& app = scope.app;
    kvos::installEscapeKeyLatch();
    kvos::resetEscapeKeyLatch();
    for (int answer : {kvos::IDNO, kvos::IDYES}) {
        Caller caller;
        auto dlg = openDialog({field(QStringLiteral("编码"), 256, 1)}, {QStringLiteral("编码")},
                              {{QStringLiteral("A")}, {QStringLiteral("B")}, {QStringLiteral("C")}}, caller);
        quintptr lockSeen = 0;
        caller.answer = [&](const TVariantArray& r, TMessageKind&, QString&, int&) {
            lockSeen = app.LockMsgHWnd;
            if (r[0].toString() == QStringLiteral("A"))
                kvtest::pressEscape();
        };
        ScriptedMessageBoxes boxes;
        boxes.answer({answer});
        dlg->btnOk->click();
        EXPECT_EQ(lockSeen, quintptr(dlg->trlLog));
        EXPECT_EQ(app.LockMsgHWnd, 0u);
        ASSERT_GE(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"));
        EXPECT_EQ(caller.ended, 1);
        if (answer == kvos::IDNO) {
            EXPECT_EQ(caller.records.size(), 3);
            EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("执行完成。")}));
        } else {
            EXPECT_EQ(caller.records.size(), 1);
            EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("执行已被中止!")}));
            EXPECT_EQ(dlg->LogKinds(), QList<TMessageKind>({mkWarning}));
            EXPECT_EQ(dlg->pgbProgress->format(), QStringLiteral("已执行1/3"));
        }
    }
}

// An Esc pressed before the import (to close a drop-down, to cancel a cell
// edit), delivered by the running event loop, stops nothing.
TEST(ImportDialog, AnEscPressedBeforeTheImportStopsNothing)
{
    AppScope scope;
    Caller caller;
    auto dlg = openDialog({field(QStringLiteral("编码"), 256, 1)}, {QStringLiteral("编码")},
                          {{QStringLiteral("A")}, {QStringLiteral("B")}, {QStringLiteral("C")}}, caller);
    caller.answer = [](const TVariantArray&, TMessageKind&, QString&, int&) {};
    kvos::installEscapeKeyLatch();
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [] { kvtest::pressEscape(); });
    QTimer::singleShot(0, &loop, [&] {
        ScriptedMessageBoxes boxes;
        dlg->btnOk->click();
        for (const ShownBox& b : boxes.shown)
            EXPECT_NE(b.text, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"));
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(caller.records.size(), 3);
    EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("执行完成。")}));
}

TEST(ImportDialog, TheHookShowsTheDialogAndAnswersWhetherRowsArrived)
{
    AppScope scope;
    TInfoApplication& app = scope.app;
    InitImportDlgUnit();
    EXPECT_EQ(app.ShowImportDataProc, &DoShowImportData);
    ClearImportSources();
    TableSource::Register();
    TableSource::nextHeaders = {QStringLiteral("编码")};
    TableSource::nextRows = {{QStringLiteral("A")}};
    QStringList seen;
    for (bool import : {false, true}) {
        seen.clear();
        kvtest::WhenShown<TImportDlg>([import](TImportDlg* dlg) {
            EXPECT_EQ(dlg->windowTitle(), QStringLiteral("数据导入"));
            EXPECT_EQ(dlg->cboSourceType->currentText(), QStringLiteral("内存表格"));
            EXPECT_TRUE(dlg->pgcMain->isTabVisible(0));
            EXPECT_FALSE(dlg->pgcMain->isTabVisible(1));
            dlg->Define();
            if (import) {
                ScriptedMessageBoxes boxes;
                dlg->btnOk->click();
            }
            dlg->btnCancel->click();
        });
        const bool result = app.ShowImportData(
            {field(QStringLiteral("编码"), 256, 1)},
            [&](const TVariantArray& r, TMessageKind&, QString&, int&) { seen << r[0].toString(); }, {}, {});
        EXPECT_EQ(result, import);
        EXPECT_EQ(seen, import ? QStringList({QStringLiteral("A")}) : QStringList());
    }
    // A definer that is cancelled loads nothing.
    TableSource::nextHeaders = {QStringLiteral("编码")};
    Caller caller;
    ClearImportSources();
    TableSource::Register();
    auto dlg = std::make_unique<TImportDlg>(TExchangeFieldRecs{field(QStringLiteral("编码"), 256, 1)});
    TableSource::nextRows = {};
    dlg->Define();
    TableSource::last->accept = false;
    TableSource::last->headers = {QStringLiteral("别的")};
    dlg->Define();
    EXPECT_EQ(dlg->SourceColumn(0)->caption(), QStringLiteral("编码"));
    EXPECT_EQ(TableSource::last->definerCalls, 2);
    // With no kind registered there is nothing to define.
    ClearImportSources();
    TImportDlg empty(TExchangeFieldRecs{field(QStringLiteral("编码"), 256, 1)});
    EXPECT_FALSE(empty.btnDefine->isEnabled());
}
