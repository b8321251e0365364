#include "edtForcast.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsGridView.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untForcastState.h"

#include <QApplication>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString kCannotOpen = QStringLiteral("单据无法打开, 可能已被删除!");
const QString kStateChanged = QStringLiteral("单据状态已改变, 不能进行编辑!");
const QString kChecked = QStringLiteral("已审核");
const QString kActionFailed = QStringLiteral("因不满足执行条件或其他原因, 执行[%s]不成功!");
const QString kSaving = QStringLiteral("正在保存数据, 请稍候...");
const QString kEmptyValue = QStringLiteral("[%s]的内容不能为空!");
const QString kNotGreater = QStringLiteral("[%s]的值(%s)没有大于%s !");
const QString kNotFound = QStringLiteral("[%s]的值(%s)不存在!");
const QString kNotLater = QStringLiteral("[%s]的值没有大于或等于[%s]的值!");
const QString kNoLines = QStringLiteral("单据体内容为空, 请输入!");
const QString kTooManyLines = QStringLiteral("单据体内容不允许超过 %d 行, 请修正!");
const QString kNumberExists = QStringLiteral("单据编号\"%s\"已存在, 由系统自动生成新编号继续保存?");
const QString kNumberAssigned = QStringLiteral("系统已自动生成新单据编号\"%s\"进行保存。");
const QString kSaveFailed = QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: %s");
const QString kNoERPAccess = QStringLiteral("尚未连接ERP接口!");

constexpr int kForecastBillKind = 1;
const QDate kEarliestBillDate(2010, 1, 1);
const QString kLineBreak = QStringLiteral("\r\n");

const QString kOpenFields = QStringLiteral(
    "ForID|ForNo|ForDate|ForEntry|ItmNo|ItmName|ItmSpec|ItmProps|ItmProp1|ItmProp2|ItmProp3|ItmProp4|ItmProp5|ItmProp6|"
    "ItmProp7|ItmProp8|ItmProp9|ItmProp10|OrigTag|OrigSubTag|MRPGroupType|MRPGroupNo|CustName|UntName|ForUBillQty|"
    "ForDelivDate|ItmUntName|ForBillQty|ForNote|Creater|Checked|Checker|CheckDate");
const QString kPropMaskSQL = QStringLiteral(
    "PropMask=cast(i.ItmHasProp1 as char(1))+cast(i.ItmHasProp2 as char(1))+cast(i.ItmHasProp3 as char(1))+"
    "cast(i.ItmHasProp4 as char(1))+cast(i.ItmHasProp5 as char(1))+cast(i.ItmHasProp6 as char(1))+"
    "cast(i.ItmHasProp7 as char(1))+cast(i.ItmHasProp8 as char(1))+cast(i.ItmHasProp9 as char(1))+"
    "cast(i.ItmHasProp10 as char(1))");

const QColor kEditableColor(255, 255, 194);
const QColor kReadOnlyStateColor(255, 0, 0);

bool isEmptyValue(const QVariant& v)
{
    return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty();
}

// A number of a cell; empty (or not a number) counts as 0.
double numberOf(const QVariant& v)
{
    if (isEmptyValue(v))
        return 0;
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    return ok ? d : v.toDouble();
}

// Derived quantities: 8 decimals, a half going to the even neighbour.
double roundQty(double value)
{
    return std::nearbyint(value * 1e8) / 1e8;
}

// A date of a cell: as loaded, or as typed in the short or long format.
QDateTime dateTimeOf(const QVariant& v)
{
    if (isEmptyValue(v))
        return QDateTime();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    const QString text = v.toString().trimmed();
    QDateTime dt = StrToDateTime(text);
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODate);
    return dt;
}

// The key value as a plain text: surrounding quotes removed, inner ones undoubled.
QString unquotedKey(const QString& AValue)
{
    QString v = AValue.trimmed();
    if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\''))
        v = v.mid(1, v.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return v;
}

// A label's caption without its access key: "单据编号(&N):" gives "单据编号:".
QString captionWithoutHotKey(const QString& ACaption)
{
    static const QRegularExpression farEast(QStringLiteral("\\(&.\\)"));
    QString text = ACaption;
    text.remove(farEast);
    text.remove(u'&');
    return text;
}

QString textOf(kvui::TreeNode* node, kvui::Column* column)
{
    return node && column ? node->value(column).toString() : QString();
}

struct WaitState {
    WaitState()
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        if (InfoApplication)
            InfoApplication->ShowStatusMessage(kSaving, mkHint);
    }
    ~WaitState()
    {
        if (InfoApplication)
            InfoApplication->ShowStatusMessage(QString(), mkHint);
        QGuiApplication::restoreOverrideCursor();
    }
};

} // namespace

TForcastEditor::TForcastEditor(QWidget* AOwner, TInfoObjectDef* AObjectDef) : TCustomInfoEdit(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("ForcastEditor"));
}

TForcastEditor::~TForcastEditor() = default;

void TForcastEditor::InitializeEdit()
{
    auto* outer = qobject_cast<QVBoxLayout*>(layout());
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(15, 0, 15, 10);
    column->setSpacing(6);
    outer->addWidget(body);

    // Head: number and date.
    auto* head = new QHBoxLayout;
    lblBillNo = new QLabel(QStringLiteral("单据编号(&N):"), body);
    edtBillNo = new QLineEdit(body);
    edtBillNo->setObjectName(QStringLiteral("edtBillNo"));
    edtBillNo->setFrame(false);
    edtBillNo->setFixedWidth(180);
    lblBillNo->setBuddy(edtBillNo);
    lblDate = new QLabel(QStringLiteral("单据日期(&D):"), body);
    dteDate = new QDateEdit(body);
    dteDate->setObjectName(QStringLiteral("dteDate"));
    dteDate->setCalendarPopup(true);
    dteDate->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    // The smallest date stands for an empty box.
    dteDate->setMinimumDate(QDate(1899, 12, 30));
    dteDate->setSpecialValueText(QStringLiteral(" "));
    dteDate->setDate(dteDate->minimumDate());
    dteDate->setFixedWidth(130);
    lblDate->setBuddy(dteDate);
    head->addWidget(lblBillNo);
    head->addWidget(edtBillNo);
    head->addSpacing(30);
    head->addWidget(lblDate);
    head->addWidget(dteDate);
    head->addStretch(1);
    column->addLayout(head);

    // Detail lines.
    grdDetail = new kvui::TreeList(body);
    grdDetail->setObjectName(QStringLiteral("grdDetail"));
    grdDetail->setShowRoot(false);
    grdDetail->setShowTreeLines(false);
    grdDetail->setShowIndicator(true);
    grdDetail->setShowFooter(true);
    grdDetail->setShowBandHeaders(false);
    grdDetail->setMultiSelect(true);
    grdDetail->setEnterMovesToNextCell(true);
    const int leftBand = grdDetail->addBand(QString(), kvui::BandFixed::Left);
    const int middleBand = grdDetail->addBand();
    const int rightBand = grdDetail->addBand(QString(), kvui::BandFixed::Right);
    auto add = [this](const QString& caption, const QString& name, int band, bool editable = true) {
        kvui::Column* c = grdDetail->addColumn(caption, QString(), band);
        c->setObjectName(name);
        c->setEditable(editable);
        return c;
    };
    colForEntry = add(QStringLiteral("行号"), QStringLiteral("colForEntry"), leftBand, false);
    colForEntry->setValueType(QStringLiteral("Integer"));
    colForEntry->setWidth(40);
    colItmNo = add(QStringLiteral("物料代码"), QStringLiteral("colItmNo"), leftBand);
    colItmNo->setWidth(100);
    colItmName = add(QStringLiteral("物料名称"), QStringLiteral("colItmName"), middleBand, false);
    colItmName->setWidth(100);
    colItmSpec = add(QStringLiteral("规格型号"), QStringLiteral("colItmSpec"), middleBand, false);
    colItmSpec->setWidth(100);
    for (int n = 1; n <= 10; ++n) {
        colItmProp[n - 1] = add(QStringLiteral("辅助项%1").arg(n), QStringLiteral("colItmProp%1").arg(n), middleBand);
        colItmProp[n - 1]->setTag(-(100 + n));
    }
    colCustName = add(QStringLiteral("客户"), QStringLiteral("colCustName"), middleBand);
    colCustName->setWidth(110);
    colForItmID = add(QString(), QStringLiteral("colForItmID"), middleBand, false);
    colForCustID = add(QString(), QStringLiteral("colForCustID"), middleBand, false);
    colUnitFactor = add(QString(), QStringLiteral("colUnitFactor"), middleBand, false);
    colUnitFactor->setValueType(QStringLiteral("Float"));
    colForUnitID = add(QString(), QStringLiteral("colForUnitID"), middleBand, false);
    colItmPropMask = add(QString(), QStringLiteral("colItmPropMask"), middleBand, false);
    colForOrigTag = add(QStringLiteral("需求分类号"), QStringLiteral("colForOrigTag"), middleBand);
    colForOrigSubTag = add(QStringLiteral("子件需求分类号"), QStringLiteral("colForOrigSubTag"), middleBand);
    colForGroupType = add(QStringLiteral("MRP分组"), QStringLiteral("colForGroupType"), middleBand);
    colForGroupNo = add(QStringLiteral("MRP分组号"), QStringLiteral("colForGroupNo"), middleBand);
    colForNote = add(QStringLiteral("备注"), QStringLiteral("colForNote"), middleBand);
    colForNote->setWidth(120);
    colUnitName = add(QStringLiteral("单位"), QStringLiteral("colUnitName"), middleBand, false);
    colUnitName->setWidth(50);
    colUnitBase = add(QStringLiteral("基本单位"), QStringLiteral("colUnitBase"), middleBand, false);
    colUnitBase->setWidth(60);
    colItmProps = add(QString(), QStringLiteral("colItmProps"), middleBand, false);
    colForUBillQty = add(QStringLiteral("数量"), QStringLiteral("colForUBillQty"), rightBand);
    colForUBillQty->setValueType(QStringLiteral("Float"));
    colForUBillQty->setFooterSummary(kvui::SummaryKind::Sum);
    colForBillQty = add(QStringLiteral("数量(基本)"), QStringLiteral("colForBillQty"), rightBand);
    colForBillQty->setValueType(QStringLiteral("Float"));
    colForBillQty->setFooterSummary(kvui::SummaryKind::Sum);
    colForDelivDate = add(QStringLiteral("交货日期"), QStringLiteral("colForDelivDate"), rightBand);
    colForDelivDate->setValueType(QStringLiteral("DateTime"));
    colForDelivDate->setWidth(90);
    for (kvui::Column* hidden : {colForItmID, colForCustID, colUnitFactor, colForUnitID, colItmPropMask, colItmProps})
        hidden->setVisible(false);
    colForEntry->setEditor(CenterAlignedTextItem());

    // Binding: captions, visibility and editors from the object's field definitions.
    const std::pair<kvui::Column*, const char*> bindings[] = {
        {colForEntry, "ForEntry"}, {colForItmID, "ForItmID"}, {colItmNo, "ItmNo"}, {colItmName, "ItmName"},
        {colItmSpec, "ItmSpec"}, {colItmProps, "ItmProps"},
    };
    for (const auto& [c, name] : bindings)
        BindFieldColumn(c, QLatin1String(name));
    for (int n = 1; n <= 10; ++n)
        BindFieldColumn(colItmProp[n - 1], QStringLiteral("ItmProp%1").arg(n));
    const std::pair<kvui::Column*, const char*> rest[] = {
        {colItmPropMask, "PropMask"}, {colForCustID, "ForCustID"}, {colCustName, "CustName"},
        {colForOrigTag, "OrigTag"}, {colForOrigSubTag, "OrigSubTag"}, {colForGroupType, "MRPGroupType"},
        {colForGroupNo, "MRPGroupNo"}, {colForUnitID, "ForUntID"}, {colUnitName, "UntName"},
        {colUnitFactor, "UntFactor"}, {colForUBillQty, "ForUBillQty"}, {colForDelivDate, "ForDelivDate"},
        {colUnitBase, "ItmUntName"}, {colForBillQty, "ForBillQty"}, {colForNote, "ForNote"},
    };
    for (const auto& [c, name] : rest)
        BindFieldColumn(c, QLatin1String(name));

    // The group type offers exactly "no group" (0) and the planner's own group (9).
    if (colForGroupType->isVisible()) {
        auto combo = std::make_shared<kvui::ImageComboProperties>();
        for (int id : {0, 9})
            combo->addItem(id, InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpGroupType"), id)
                                               : QString::number(id));
        colForGroupType->setEditor(combo);
        colForGroupType->displayTextHook = nullptr;
    }

    // The row number shows each line's position while the bill is edited.
    colForEntry->displayTextHook = [this](const kvui::RowRef& row, const QVariant&, QString& text) {
        if (IsEditing() && row.node)
            text = QString::number(grdDetail->topNodes().indexOf(row.node) + 1);
    };
    grdDetail->setEditingHook([this](const kvui::RowRef& row, kvui::Column* c) { return BeforeCellEdit(row.node, c); });
    grdDetail->setCustomDrawHook([this](kvui::CellDraw& cell) {
        if (!IsEditing() || cell.row.kind != kvui::RowRef::Data || !cell.column || !cell.column->isEditable()
            || !IsCellEditable(cell.row.node, cell.column))
            return;
        cell.background = cell.selected ? TColorToQColor(UIColor3) : TColorToQColor(UIColor2);
        if (cell.selected)
            cell.textColor = Qt::black;
    });
    connect(grdDetail, &kvui::BandedView::cellEdited, this,
            [this](int row, kvui::Column* c, const QVariant&, const QVariant& value) {
                if (kvui::TreeNode* node = grdDetail->nodeAtRow(row))
                    AfterCellChanged(node, c, value);
            });
    connect(grdDetail, &kvui::TreeList::focusedNodeChanged, this, [this] { UpdateRecordInfo(); });
    connect(grdDetail, &kvui::BandedView::layoutChanged, this, [this] { UpdateRecordInfo(); });
    grdDetail->installEventFilter(this);
    column->addWidget(grdDetail, 1);

    // The navigator: the append button and the position among the lines.
    auto* navigator = new QHBoxLayout;
    btnAppendRow = new QToolButton(body);
    btnAppendRow->setObjectName(QStringLiteral("btnAppendRow"));
    btnAppendRow->setText(QStringLiteral("+"));
    btnAppendRow->setToolTip(QStringLiteral("添加行"));
    connect(btnAppendRow, &QToolButton::clicked, this, [this] {
        if (kvui::TreeNode* node = AppendRow())
            FocusCell(node, colItmNo);
    });
    lblRecordInfo = new QLabel(body);
    lblRecordInfo->setObjectName(QStringLiteral("lblRecordInfo"));
    navigator->addWidget(btnAppendRow);
    navigator->addWidget(lblRecordInfo);
    navigator->addStretch(1);
    column->addLayout(navigator);

    // Foot: creator, checker and check date, read-only.
    auto* foot = new QHBoxLayout;
    auto footEdit = [body, foot](QLabel*& label, QLineEdit*& edit, const QString& caption, const QString& name) {
        label = new QLabel(caption, body);
        edit = new QLineEdit(body);
        edit->setObjectName(name);
        edit->setReadOnly(true);
        edit->setEnabled(false);
        edit->setFixedWidth(130);
        label->setBuddy(edit);
        foot->addWidget(label);
        foot->addWidget(edit);
        foot->addSpacing(20);
    };
    footEdit(lblCreater, edtCreater, QStringLiteral("制单人(&B):"), QStringLiteral("edtCreater"));
    footEdit(lblChecker, edtChecker, QStringLiteral("审核人(&C):"), QStringLiteral("edtChecker"));
    footEdit(lblCheckDate, edtCheckDate, QStringLiteral("审核日期(&T):"), QStringLiteral("edtCheckDate"));
    foot->addStretch(1);
    column->addLayout(foot);

    connect(edtBillNo, &QLineEdit::textChanged, this, [this] { HeadChanged(); });
    connect(dteDate, &QDateEdit::dateChanged, this, [this] { HeadChanged(); });

    ApplyEditState();
}

void TForcastEditor::HeadChanged()
{
    if (!FLoading && IsEditing())
        Modified = true;
}

kvui::Column* TForcastEditor::PropertyColumn(int AProperty) const
{
    return AProperty >= 1 && AProperty <= 10 ? FindFieldColumn(QStringLiteral("ItmProp%1").arg(AProperty)) : nullptr;
}

void TForcastEditor::OpenData(const QString& AKeyValues, const QString& AActionID)
{
    if (Modified)
        return;
    PInfoActionDef action = AActionID.isEmpty() || !ObjectDef ? nullptr : ObjectDef->GetActionDef(AActionID);
    const bool isNewAction = action && action->ActType == atNew;
    // The identity travels as a quoted literal whatever form the key text has.
    const QString billKey = unquotedKey(ReadDelimitedValue(AKeyValues, QStringLiteral("ForID"), kLineBreak));
    const QString sql = BuildFieldSelectList(kOpenFields,
                                             QStringLiteral("s.ForItmID, s.ForCustID, s.ForUntID, u.UntFactor, ") + kPropMaskSQL,
                                             isNewAction ? QStringLiteral("1=0") : QStringLiteral("s.ForID=") + QuotedStr(billKey),
                                             QStringLiteral("s.ForEntry"));
    ExecSQLText(qryMain, sql, true, false, true);
    if (!qryMain->Active())
        return;

    FLoading = true;
    grdDetail->beginUpdate();
    grdDetail->cancelEdit();
    if (isNewAction) {
        if (dteDate->date() < kEarliestBillDate)
            dteDate->setDate(QDate::currentDate());
        grdDetail->clear();
        grdDetail->addNode();
        EditMode = emNew;
        lblState->clear();
    } else {
        KeyValues = AKeyValues;
        FBillID = billKey.trimmed();
        const bool empty = qryMain->IsEmpty();
        bool checked = false;
        if (!empty) {
            qryMain->First();
            edtBillNo->setText(qryMain->FieldByName(QStringLiteral("ForNo"))->AsString());
            const QDateTime date = qryMain->FieldByName(QStringLiteral("ForDate"))->AsDateTime();
            dteDate->setDate(date.isValid() ? date.date() : dteDate->minimumDate());
            edtCreater->setText(qryMain->FieldByName(QStringLiteral("Creater"))->AsString());
            edtChecker->setText(qryMain->FieldByName(QStringLiteral("Checker"))->AsString());
            const QDateTime checkDate = qryMain->FieldByName(QStringLiteral("CheckDate"))->AsDateTime();
            edtCheckDate->setText(checkDate.isValid() ? DateToStr(checkDate.date()) : QString());
            checked = qryMain->FieldByName(QStringLiteral("Checked"))->AsBoolean();
        } else {
            edtBillNo->clear();
            edtCreater->clear();
            edtChecker->clear();
            edtCheckDate->clear();
        }
        LoadDetailRows(grdDetail, qryMain);
        if (!action)
            EditMode = emNone;
        else if (action->ActType == atCopy)
            EditMode = emNew;
        else if (action->ActType == atUpdate)
            EditMode = emModify;
        else
            EditMode = emNone;
        if (empty) {
            ShowWarning(kCannotOpen);
            if (EditMode == emModify)
                EditMode = emNone;
        } else if (EditMode == emModify && checked) {
            ShowWarning(kStateChanged);
            EditMode = emNone;
        }
        lblState->setText(EditMode == emNone && checked ? u'(' + kChecked + u')' : QString());
    }
    if (EditMode == emNew) {
        edtCreater->setText(InfoApplication ? InfoApplication->LoginInfo.UserName : QString());
        edtChecker->clear();
        edtCheckDate->clear();
    }

    // The number: proposed by the ERP library for a bill being edited; the
    // user may change it only when the library says so.
    qint16 flag = -1;
    if (EditMode != emNone && InfoApplication && InfoApplication->ERPAccess) {
        if (!FBill) {
            FBill = InfoApplication->ERPAccess->NewBill(kForecastBillKind);
            FBill->Head()->SetValue(QStringLiteral("UserID"), InfoApplication->LoginInfo.UserID);
        }
        const QString proposal = InfoApplication->ERPAccess->GetNewBillNo(FBill, flag).trimmed();
        if (EditMode == emNew) {
            FNewBillNo = proposal;
            edtBillNo->setText(proposal);
        }
    }
    edtBillNo->setReadOnly(flag != 0);
    grdDetail->endUpdate();
    FLoading = false;

    Modified = action && action->ActType == atCopy;
    ApplyEditState();
}

void TForcastEditor::ApplyEditState()
{
    const bool editing = IsEditing();
    QPalette state = lblState->palette();
    state.setColor(QPalette::WindowText, kReadOnlyStateColor);
    lblState->setPalette(state);
    const QColor readOnlyColor = QApplication::palette().color(QPalette::Window);
    // The number box has only its bottom edge.
    edtBillNo->setStyleSheet(QStringLiteral("QLineEdit { border: none; border-bottom: 1px solid gray; background: %1; }")
                                 .arg((editing && !edtBillNo->isReadOnly() ? kEditableColor : readOnlyColor).name()));
    QPalette datePalette = dteDate->palette();
    datePalette.setColor(QPalette::Base, editing ? kEditableColor : readOnlyColor);
    dteDate->setPalette(datePalette);
    dteDate->setReadOnly(!editing);

    grdDetail->setSortingEnabled(!editing);
    if (editing)
        grdDetail->clearSorting();
    grdDetail->setEditingEnabled(editing);
    btnAppendRow->setEnabled(editing);

    grdDetail->setFocus();
    if (grdDetail->topCount() > 0) {
        kvui::TreeNode* focus = grdDetail->topNode(0);
        if (!editing) {
            const QString entry = ReadDelimitedValue(KeyValues, QStringLiteral("ForEntry"), kLineBreak).trimmed();
            for (kvui::TreeNode* node : grdDetail->topNodes())
                if (!entry.isEmpty() && node->value(colForEntry).toString().trimmed() == entry) {
                    focus = node;
                    break;
                }
        }
        grdDetail->clearSelection();
        grdDetail->setFocusedNode(focus);
        grdDetail->selectNode(focus, true);
        grdDetail->makeRowVisible(grdDetail->rowOfNode(focus));
    }
    if (editing)
        grdDetail->setFocusedColumn(colItmNo);
    grdDetail->viewport()->update();
    UpdateRecordInfo();
}

void TForcastEditor::UpdateRecordInfo()
{
    if (!lblRecordInfo || !grdDetail)
        return;
    kvui::TreeNode* node = grdDetail->focusedNode();
    const int index = node ? grdDetail->topNodes().indexOf(node) + 1 : 0;
    lblRecordInfo->setText(QStringLiteral("%1 / %2").arg(index).arg(grdDetail->topCount()));
}

bool TForcastEditor::IsCellEditable(kvui::TreeNode* ANode, kvui::Column* AColumn) const
{
    if (!ANode || !AColumn)
        return false;
    if (AColumn == colForGroupNo)
        return numberOf(ANode->value(colForGroupType)) != 0;
    const int tag = AColumn->tag();
    if (tag <= -101 && tag >= -110) {
        const QString mask = ANode->value(colItmPropMask).toString();
        const int n = -tag - 100;
        return mask.size() >= n && mask.at(n - 1) == u'1';
    }
    return AColumn->isEditable();
}

bool TForcastEditor::BeforeCellEdit(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode || !IsEditing())
        return false;
    // A new line starts without group and takes customer and delivery date from
    // the nearest line above, else below, that has them.
    if (isEmptyValue(ANode->value(colForEntry))) {
        ANode->setValue(colForEntry, -1);
        ANode->setValue(colForGroupType, 0);
        const QList<kvui::TreeNode*> nodes = grdDetail->topNodes();
        const qsizetype at = nodes.indexOf(ANode);
        auto copyFromNeighbour = [&](const QList<kvui::Column*>& columns, kvui::Column* condition) {
            // The nearest numbered line on a side, taken when it has the value.
            auto nearest = [&](qsizetype from, int step) -> kvui::TreeNode* {
                for (qsizetype i = from; i >= 0 && i < nodes.size(); i += step)
                    if (!isEmptyValue(nodes[i]->value(colForEntry)))
                        return isEmptyValue(nodes[i]->value(condition)) ? nullptr : nodes[i];
                return nullptr;
            };
            kvui::TreeNode* source = nearest(at - 1, -1);
            if (!source)
                source = nearest(at + 1, 1);
            if (source)
                for (kvui::Column* c : columns)
                    ANode->setValue(c, source->value(c));
        };
        copyFromNeighbour({colForCustID, colCustName}, colForCustID);
        copyFromNeighbour({colForDelivDate}, colForDelivDate);
    }
    if (!IsCellEditable(ANode, AColumn))
        return false;
    FOldValue = ANode->value(AColumn);
    return true;
}

void TForcastEditor::AfterCellChanged(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AValue)
{
    if (!IsEditing() || !ANode)
        return;
    if (AValue == FOldValue && AValue.typeId() == FOldValue.typeId())
        return;
    FOldValue = AValue;
    Modified = true;
    const double factor = numberOf(ANode->value(colUnitFactor));
    if (AColumn == colItmNo) {
        LookupItem(ANode, AValue.toString().trimmed());
        const double newFactor = numberOf(ANode->value(colUnitFactor));
        if (newFactor == 0)
            ANode->setValue(colForBillQty, ANode->value(colForUBillQty));
        else
            ANode->setValue(colForBillQty, roundQty(numberOf(ANode->value(colForUBillQty)) * newFactor));
        const QString mask = ANode->value(colItmPropMask).toString();
        for (int n = 1; n <= 10; ++n) {
            kvui::Column* c = colItmProp[n - 1];
            if (c->isVisible() && !(mask.size() >= n && mask.at(n - 1) == u'1'))
                ANode->setValue(c, QVariant());
        }
    } else if (AColumn == colCustName) {
        LookupCustomer(ANode, AValue.toString().trimmed());
    } else if (AColumn == colForUBillQty) {
        ANode->setValue(colForBillQty, factor != 0 ? QVariant(roundQty(numberOf(AValue) * factor)) : AValue);
    } else if (AColumn == colForBillQty) {
        ANode->setValue(colForUBillQty, factor != 0 ? QVariant(roundQty(numberOf(AValue) / factor)) : AValue);
    }
    grdDetail->viewport()->update();
}

void TForcastEditor::LookupItem(kvui::TreeNode* ANode, const QString& AItemNo)
{
    const QString sql =
        QStringLiteral("select i.ItmID, ItmNo, ItmName, ItmSpec, u.UntID, u.UntName, u.UntFactor, ItmUntName=iu.UntName,")
        + kPropMaskSQL
        + QStringLiteral(" from QZ_Base_ItemMaster as i with(nolock) join QZ_Base_Unit as u with(nolock) on "
                         "ItmProdUnitID=u.UntID join QZ_Base_Unit as iu with(nolock) on ItmUnitID=iu.UntID where ItmNo=")
        + QuotedStr(AItemNo) + QStringLiteral(" and ItmDisabled=0");
    const bool found = ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->IsEmpty();
    auto field = [found](const char* name) {
        return found ? GlobalADOQuery->FieldByName(QLatin1String(name))->Value() : QVariant();
    };
    ANode->setValue(colForItmID, field("ItmID"));
    ANode->setValue(colItmNo, field("ItmNo"));
    ANode->setValue(colItmName, field("ItmName"));
    ANode->setValue(colItmSpec, field("ItmSpec"));
    ANode->setValue(colForUnitID, field("UntID"));
    ANode->setValue(colUnitName, field("UntName"));
    ANode->setValue(colUnitFactor, field("UntFactor"));
    ANode->setValue(colUnitBase, field("ItmUntName"));
    ANode->setValue(colItmPropMask, field("PropMask"));
    GlobalADOQuery->Close();
}

void TForcastEditor::LookupCustomer(kvui::TreeNode* ANode, const QString& AText)
{
    const QString value = QuotedStr(AText);
    const QString sql = QStringLiteral("select CustID, CustName from QZ_Base_Customer with(nolock) where CustDisabled=0 and "
                                       "(CustName=")
        + value + QStringLiteral(" or CustNo=") + value + QStringLiteral(") order by CustNo");
    const bool found = ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->IsEmpty();
    ANode->setValue(colForCustID, found ? GlobalADOQuery->FieldByName(QStringLiteral("CustID"))->Value() : QVariant());
    ANode->setValue(colCustName, found ? GlobalADOQuery->FieldByName(QStringLiteral("CustName"))->Value() : QVariant());
    GlobalADOQuery->Close();
}

kvui::TreeNode* TForcastEditor::AppendRow()
{
    if (!IsEditing())
        return nullptr;
    grdDetail->postEdit();
    kvui::TreeNode* node = grdDetail->addNode();
    UpdateRecordInfo();
    return node;
}

void TForcastEditor::FocusCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (AColumn)
        grdDetail->setFocusedColumn(AColumn);
    if (ANode) {
        grdDetail->makeRowVisible(grdDetail->rowOfNode(ANode));
        grdDetail->clearSelection();
        grdDetail->setFocusedNode(ANode);
        grdDetail->selectNode(ANode, true);
    }
    grdDetail->setFocus();
}

bool TForcastEditor::eventFilter(QObject* AWatched, QEvent* AEvent)
{
    if (AWatched == grdDetail && AEvent->type() == QEvent::KeyPress && DetailKeyPress(static_cast<QKeyEvent*>(AEvent)))
        return true;
    return TCustomInfoEdit::eventFilter(AWatched, AEvent);
}

bool TForcastEditor::DetailKeyPress(QKeyEvent* AEvent)
{
    if (!IsEditing() || grdDetail->isEditing())
        return false;
    // Insert adds a line before the focused one, Ctrl+Delete removes the
    // selected lines at once, Down on the last line appends one.
    kvui::TreeNode* focused = grdDetail->focusedNode();
    if (AEvent->key() == Qt::Key_Insert && AEvent->modifiers() == Qt::NoModifier) {
        kvui::TreeNode* node = focused ? grdDetail->insertNode(nullptr, grdDetail->topNodes().indexOf(focused))
                                       : grdDetail->addNode();
        FocusCell(node, colItmNo);
        UpdateRecordInfo();
        return true;
    }
    if (AEvent->key() == Qt::Key_Delete && AEvent->modifiers() == Qt::ControlModifier) {
        const QList<kvui::TreeNode*> selected = grdDetail->selectedNodes();
        if (selected.isEmpty())
            return true;
        for (kvui::TreeNode* node : selected)
            grdDetail->deleteNode(node);
        Modified = true;
        if (grdDetail->topCount() > 0)
            FocusCell(grdDetail->topNode(0), nullptr);
        UpdateRecordInfo();
        return true;
    }
    if (AEvent->key() == Qt::Key_Down && AEvent->modifiers() == Qt::NoModifier && focused
        && focused == grdDetail->topNode(grdDetail->topCount() - 1) && !isEmptyValue(focused->value(colItmNo))) {
        FocusCell(AppendRow(), colItmNo);
        return true;
    }
    return false;
}

bool TForcastEditor::DataInEdit(const QString& AKeyValues)
{
    if (EditMode == emNew)
        return AKeyValues.isEmpty() && !Modified;
    const QString wanted = unquotedKey(ReadDelimitedValue(AKeyValues, QStringLiteral("ForID"), kLineBreak));
    const QString shown = unquotedKey(ReadDelimitedValue(KeyValues, QStringLiteral("ForID"), kLineBreak));
    return wanted.compare(shown, Qt::CaseInsensitive) == 0;
}

bool TForcastEditor::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex == Commands::Fill) {
        if (grdDetail->editingEnabled() && !grdDetail->isReadOnly() && grdDetail->selectedCount() > 0)
            AState |= csEnabled;
        return true;
    }
    return TCustomInfoEdit::QueryCommandState(ACommandIndex, AState);
}

bool TForcastEditor::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex == Commands::Fill) {
        if (ShowFillValuesDlgProc())
            ShowFillValuesDlgProc()(grdDetail);
        return true;
    }
    if (ACommandIndex < Commands::FirstAction || !ObjectDef)
        return TCustomInfoEdit::ExecCommand(ACommandIndex);
    const auto index = size_t(ACommandIndex - Commands::FirstAction);
    if (index >= ObjectDef->Actions.size())
        return false;
    const TInfoActionDef action = ObjectDef->Actions[index];
    if (action.ActType == atNew || action.ActType == atUpdate || action.ActType == atCopy)
        return TCustomInfoEdit::ExecCommand(ACommandIndex);
    const bool check = action.ID.compare(QStringLiteral("Check"), Qt::CaseInsensitive) == 0;
    const bool uncheck = action.ID.compare(QStringLiteral("UnCheck"), Qt::CaseInsensitive) == 0;
    if (!check && !uncheck)
        return true;
    const QString billID = unquotedKey(ReadDelimitedValue(KeyValues, QStringLiteral("ForID"), kLineBreak));
    if (UpdateForcastState(billID, QStringLiteral("0"), check ? 0 : 1))
        ShowInfo(u'[' + action.Name + u']' + UCommonText::Finished);
    else
        ShowError(FormatMessage(kActionFailed, {action.Name}));
    OpenData(KeyValues, QString());
    return true;
}

bool TForcastEditor::SaveData()
{
    grdDetail->postEdit();
    if (grdDetail->isEditing())
        return false;

    WaitState wait;
    struct ReleaseBill {
        IBillPtr& bill;
        ~ReleaseBill() { bill.reset(); }
    } release{FBill};

    auto stopAt = [this](const QString& message, kvui::TreeNode* node, kvui::Column* c) {
        ShowWarning(message);
        FocusCell(node, c);
        return false;
    };
    auto stopAtBox = [](const QString& message, QWidget* box) {
        ShowWarning(message);
        box->setFocus();
        return false;
    };
    const QString dateCaption = captionWithoutHotKey(lblDate->text());

    // Head
    if (!edtBillNo->isReadOnly())
        edtBillNo->setText(edtBillNo->text().trimmed());
    if (edtBillNo->text().trimmed().isEmpty())
        return stopAtBox(FormatMessage(kEmptyValue, {captionWithoutHotKey(lblBillNo->text())}), edtBillNo);
    const QDate billDate = dteDate->date();
    if (billDate < kEarliestBillDate)
        return stopAtBox(FormatMessage(kNotGreater, {dateCaption, billDate == dteDate->minimumDate() ? QString() : DateToStr(billDate),
                                                     DateToStr(kEarliestBillDate)}),
                         dteDate);

    // Lines
    grdDetail->postEdit();
    const QList<kvui::TreeNode*> nodes = grdDetail->topNodes();
    if (nodes.isEmpty()) {
        ShowInfo(kNoLines);
        FocusCell(grdDetail->addNode(), colItmNo);
        UpdateRecordInfo();
        return false;
    }
    IERPAccess* erp = InfoApplication ? InfoApplication->ERPAccess.get() : nullptr;
    if (!erp) {
        ShowError(FormatMessage(kSaveFailed, {kNoERPAccess}));
        return false;
    }
    // One row per bill at least: a cap of 0 would refuse every forecast.
    const int limit = qMax(1, int(erp->GetMaxBillRows(kForecastBillKind)));
    if (nodes.size() > limit) {
        ShowInfo(FormatMessage(kTooManyLines, {limit}));
        FocusCell(nodes[limit], colItmNo);
        return false;
    }
    try {
        FBill = erp->NewBill(kForecastBillKind);
    } catch (const std::exception& e) {
        ShowError(FormatMessage(kSaveFailed, {QString::fromUtf8(e.what())}));
        return false;
    }
    IRowListPtr rows = FBill->Details(QStringLiteral("Rows"));

    for (qsizetype i = 0; i < nodes.size(); ++i) {
        kvui::TreeNode* node = nodes[i];
        // a. b. the item
        const QString itemNo = textOf(node, colItmNo).trimmed();
        if (itemNo.isEmpty())
            return stopAt(FormatMessage(kEmptyValue, {colItmNo->caption()}), node, colItmNo);
        const QString itemID = textOf(node, colForItmID).trimmed();
        if (itemID.isEmpty())
            return stopAt(FormatMessage(kNotFound, {colItmNo->caption(), itemNo}), node, colItmNo);
        // c. its properties
        const QString mask = textOf(node, colItmPropMask);
        if (!mask.contains(u'1')) {
            node->setValue(colItmProps, QString());
        } else {
            for (int n = 1; n <= 10; ++n) {
                kvui::Column* c = PropertyColumn(n);
                if (mask.size() >= n && mask.at(n - 1) == u'1' && c && textOf(node, c).trimmed().isEmpty())
                    return stopAt(FormatMessage(kEmptyValue, {c->caption()}), node, c);
            }
            QStringList args{QuotedStr(itemID)};
            for (int n = 1; n <= 10; ++n)
                args << QuotedStr(textOf(node, PropertyColumn(n)));
            QString propsID;
            int errNum = 0;
            bool found = false;
            if (ExecSQLText(GlobalADOQuery, QStringLiteral("exec QZ_MRP_GetItemPropsID ") + args.join(QStringLiteral(", ")), true,
                            false, true)
                && GlobalADOQuery->Active() && !GlobalADOQuery->IsEmpty()) {
                found = true;
                propsID = GlobalADOQuery->FieldByName(QStringLiteral("ID"))->AsString().trimmed();
                errNum = GlobalADOQuery->FieldByName(QStringLiteral("ErrNum"))->AsInteger();
            }
            GlobalADOQuery->Close();
            if (!found || (propsID.isEmpty() && errNum <= 0))
                return stopAt(FormatMessage(kEmptyValue, {colItmProps->caption()}), node, colItmNo);
            if (errNum > 0) {
                kvui::Column* c = PropertyColumn(errNum);
                return stopAt(FormatMessage(UCommonText::InvalidFieldValue,
                                            {c ? c->caption() : colItmProps->caption(), textOf(node, c)}),
                              node, c ? c : colItmNo);
            }
            node->setValue(colItmProps, propsID);
        }
        // d. the MRP group
        const int groupType = int(numberOf(node->value(colForGroupType)));
        if (groupType == 0) {
            node->setValue(colForGroupNo, QString());
        } else {
            const QString groupNo = textOf(node, colForGroupNo).trimmed();
            node->setValue(colForGroupNo, groupNo);
            if (groupNo.isEmpty())
                return stopAt(FormatMessage(kEmptyValue, {colForGroupNo->caption()}), node, colForGroupNo);
            if (!colForOrigTag->isVisible())
                node->setValue(colForOrigTag, groupNo);
        }
        // e. the customer
        const QString customer = textOf(node, colCustName).trimmed();
        if (!customer.isEmpty() && textOf(node, colForCustID).trimmed().isEmpty())
            return stopAt(FormatMessage(kNotFound, {colCustName->caption(), customer}), node, colCustName);
        // f. the quantity
        if (numberOf(node->value(colForBillQty)) <= 0)
            return stopAt(FormatMessage(kNotGreater, {colForBillQty->caption(), textOf(node, colForBillQty), QStringLiteral("0")}),
                          node, colForBillQty);
        // g. the delivery date
        const QVariant delivery = node->value(colForDelivDate);
        if (isEmptyValue(delivery))
            return stopAt(FormatMessage(kEmptyValue, {colForDelivDate->caption()}), node, colForDelivDate);
        const QDateTime deliveryDate = dateTimeOf(delivery);
        if (!deliveryDate.isValid())
            return stopAt(FormatMessage(UCommonText::InvalidFieldValue, {colForDelivDate->caption(), delivery.toString()}), node,
                          colForDelivDate);
        if (deliveryDate.date() < billDate)
            return stopAt(FormatMessage(kNotLater, {colForDelivDate->caption(), dateCaption}), node, colForDelivDate);
        // h. the document row
        IValueListPtr row = rows->Add();
        row->SetValue(QStringLiteral("Index"), int(i) + 1);
        row->SetValue(QStringLiteral("ItemID"), itemID);
        row->SetValue(QStringLiteral("ItemProps"), textOf(node, colItmProps));
        for (int n = 1; n <= 10; ++n)
            row->SetValue(QStringLiteral("ItemProp%1").arg(n), textOf(node, PropertyColumn(n)));
        row->SetValue(QStringLiteral("CustID"), textOf(node, colForCustID));
        row->SetValue(QStringLiteral("UnitID"), textOf(node, colForUnitID));
        row->SetValue(QStringLiteral("UnitRate"), node->value(colUnitFactor));
        row->SetValue(QStringLiteral("Qty"), node->value(colForUBillQty));
        row->SetValue(QStringLiteral("StdQty"), node->value(colForBillQty));
        row->SetValue(QStringLiteral("Date"), deliveryDate);
        row->SetValue(QStringLiteral("Note"), textOf(node, colForNote));
        row->SetValue(QStringLiteral("OrigTag"), textOf(node, colForOrigTag));
        row->SetValue(QStringLiteral("OrigSubTag"), textOf(node, colForOrigSubTag));
        row->SetValue(QStringLiteral("MRPGroupType"), groupType);
        row->SetValue(QStringLiteral("MRPGroupNo"), textOf(node, colForGroupNo));
    }

    grdDetail->postEdit();
    IValueListPtr head = FBill->Head();
    head->SetValue(QStringLiteral("BillID"), EditMode == emNew ? QString() : FBillID);
    head->SetValue(QStringLiteral("Date"), QDateTime(billDate, QTime(0, 0)));
    head->SetValue(QStringLiteral("UserID"), InfoApplication->LoginInfo.UserID);

    // The number: the ERP numbers a new bill that keeps its proposal; a number
    // typed in must not be another bill's.
    const QString number = edtBillNo->text();
    if (EditMode == emNew && number.compare(FNewBillNo, Qt::CaseInsensitive) == 0) {
        head->SetValue(QStringLiteral("BillNo"), QString());
    } else {
        head->SetValue(QStringLiteral("BillNo"), number);
        if (!edtBillNo->isReadOnly()) {
            QString sql = QStringLiteral("select ForID from QZ_MRP_ForcastHead with(nolock) where ForNo=") + QuotedStr(number);
            if (EditMode == emModify)
                sql += QStringLiteral(" and ForID<>") + QuotedStr(FBillID);
            if (OpenSQLCount(GlobalADOQuery, sql, false, true) > 0) {
                GlobalADOQuery->Close();
                if (ShowWarning(FormatMessage(kNumberExists, {number}), int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2))
                    != kvos::IDOK) {
                    edtBillNo->setFocus();
                    return false;
                }
                head->SetValue(QStringLiteral("BillNo"), QString());
            }
            GlobalADOQuery->Close();
        }
    }

    QString error;
    bool saved = false;
    try {
        saved = FBill->Save(error);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (!saved) {
        ShowError(FormatMessage(kSaveFailed, {error}));
        grdDetail->setFocus();
        return false;
    }
    FBillID = head->GetValue(QStringLiteral("BillID")).toString();
    FNewBillNo = head->GetValue(QStringLiteral("BillNo")).toString();
    if (edtBillNo->text().compare(FNewBillNo, Qt::CaseInsensitive) != 0) {
        ShowInfo(FormatMessage(kNumberAssigned, {FNewBillNo}));
        FLoading = true;
        edtBillNo->setText(FNewBillNo);
        FLoading = false;
    }
    if (EditMode == emNew)
        KeyValues = QStringLiteral("ForID=") + QuotedStr(FBillID);
    Modified = false;
    EditMode = emNone;
    ApplyEditState();
    return true;
}
