#include "dlgLossRate.h"

#include "DisplayFormat.h"
#include "TreeList.h"
#include "UCommon.h"
#include "untLossRate.h"

#include <QApplication>
#include <QRegularExpression>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString QtyFormat = QStringLiteral("###,###,##0.########");
const QString LossFormat = QStringLiteral("###,###,###,##0.########");
const QString MultiplyCaption = QStringLiteral("当前系统公式: 投料数=标准用量×(1+损耗率%)");
const QString DivideCaption = QStringLiteral("当前系统公式: 投料数=标准用量÷(1-损耗率%)");
const QString NotAtLeast = QStringLiteral("[%s]的值(%s)没有大于或等于%s !");
const QString NotEmpty = QStringLiteral("[%s]的内容不能为空!");
const QString TestQtyZero = QStringLiteral("[%s]的值不能为零!");

constexpr int ModalAbort = 3;

bool isEmpty(const QVariant& v)
{
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty());
}

double number(const QVariant& v)
{
    if (isEmpty(v))
        return 0;
    if (kvui::isNumeric(v))
        return v.toDouble();
    bool ok = false;
    const QVariant n = kvui::convertEditedValue(v, QMetaType::Double, &ok);
    return ok && !n.isNull() ? n.toDouble() : 0;
}

QString qtyText(const QVariant& v)
{
    return isEmpty(v) ? QString() : kvui::formatFloat(QtyFormat, number(v));
}

// The kind and value of a step's value part.
void readValuePart(const QString& APart, TLossRateStepRow& ARow)
{
    if (!APart.contains(u'%')) {
        ARow.Type = 2;
        ARow.Value = LossTextToFloat(APart);
    } else if (!APart.contains(u'+') && !APart.contains(u'-')) {
        ARow.Type = 0;
        ARow.Value = LossTextToFloat(APart.left(APart.size() - 1));
    } else {
        ARow.Type = 1;
        ARow.Value = LossTextToFloat(APart.left(APart.size() - 2));
    }
}

} // namespace

QList<TLossRateStepRow> LossRateTextToRows(const QString& AText)
{
    QList<TLossRateStepRow> rows;
    QString text = AText.trimmed();
    if (text.isEmpty())
        return rows;
    text.remove(u' ');
    if (!text.endsWith(u'|'))
        text += u'|';
    QStringList steps = text.split(u'|');
    steps.removeLast();
    for (const QString& step : std::as_const(steps)) {
        TLossRateStepRow row;
        QString value = step;
        const qsizetype colon = step.indexOf(u':');
        if (colon >= 0) {
            row.Qty = LossTextToFloat(step.left(colon));
            value = step.mid(colon + 1);
        } else {
            row.Qty = 0.0;
        }
        readValuePart(value, row);
        rows << row;
    }
    return rows;
}

QStringList LossRateRangeTexts(const QList<TLossRateStepRow>& ARows)
{
    QStringList texts;
    for (int i = 0; i < ARows.size(); ++i) {
        const double q = number(ARows[i].Qty);
        const bool hasPrev = i > 0 && number(ARows[i - 1].Qty) != 0;
        const QString qText = qtyText(ARows[i].Qty);
        const QString pText = i > 0 ? qtyText(ARows[i - 1].Qty) : QString();
        if (q != 0 && hasPrev)
            texts << FormatMessage(QStringLiteral("%s < 标准用量 ≤ %s"), {pText, qText});
        else if (q != 0)
            texts << FormatMessage(QStringLiteral("标准用量 ≤ %s"), {qText});
        else if (hasPrev)
            texts << FormatMessage(QStringLiteral("%s < 标准用量"), {pText});
        else
            texts << QStringLiteral("任意标准用量");
    }
    return texts;
}

TLossRateCheck CheckLossRateRows(const QList<TLossRateStepRow>& ARows, bool ADivide)
{
    TLossRateCheck r;
    const int n = int(ARows.size());
    QString text;
    const auto fail = [&r](int row, int column, const QString& message) {
        r.Row = row;
        r.Column = column;
        r.Message = message;
        return r;
    };
    for (int i = 0; i < n; ++i) {
        const TLossRateStepRow& row = ARows[i];
        const bool first = i == 0;
        const bool last = i == n - 1;
        const double q = number(row.Qty);
        const double v = number(row.Value);
        const double p = first ? 0 : number(ARows[i - 1].Qty);
        const double pv = first ? 0 : number(ARows[i - 1].Value);
        const int prevType = first ? -1 : (isEmpty(ARows[i - 1].Type) ? -1 : int(number(ARows[i - 1].Type)));
        const QString qText = qtyText(row.Qty).isEmpty() ? QStringLiteral("0") : qtyText(row.Qty);
        const QString pText = first ? QString() : (qtyText(ARows[i - 1].Qty).isEmpty() ? QStringLiteral("0") : qtyText(ARows[i - 1].Qty));
        if (q < 0)
            return fail(i, 0, FormatMessage(NotAtLeast, {QStringLiteral("标准用量"), qText, QStringLiteral("0")}));
        if (!first && (!last || q > 0) && q < p)
            return fail(i, 0, FormatMessage(QStringLiteral("分段的标准用量(%s)不能小于前面分段的值(%s)!"), {qText, pText}));
        if (isEmpty(row.Type))
            return fail(i, 1, FormatMessage(NotEmpty, {QStringLiteral("类型")}));
        const int t = int(number(row.Type));
        if (t == 1 && (first || prevType == 2))
            return fail(i, 1, QStringLiteral("[平滑至百分比]类型分段只能出现在[百分比]或[平滑至百分比]类型分段之后!"));
        if (t == 1 && q <= p)
            return fail(i, 0, FormatMessage(QStringLiteral("[平滑至百分比]类型分段的标准用量(%s)没有大于前面分段的值(%s)!"),
                                            {qText, pText}));
        if (q == 0 && !first && !last)
            return fail(i, 0, QStringLiteral("中间分段的标准用量不能等于0 !"));
        if (q == 0 && last && t != 0)
            return fail(i, 1, QStringLiteral("尾分段的标准用量为0时(表示标准用量无上限), 只能设置[百分比]类型的损耗值!"));
        if (q == 0 && first && n > 1 && t != 2)
            return fail(i, 1, QStringLiteral("首分段的标准用量为0时(表示标准用量任意), 只能设置[固定数量]类型的损耗值!"));
        if (v < 0)
            return fail(i, 2, FormatMessage(NotAtLeast, {QStringLiteral("损耗值"), kvui::formatFloat(QtyFormat, v), QStringLiteral("0")}));
        if (v == 0 && t == 2)
            return fail(i, 2, QStringLiteral("[固定数量]类型的损耗值不能等于0 !"));
        // In the divide formula a rate of 100 % leaves nothing to divide by.
        if (v >= 100 && t != 2 && ADivide)
            return fail(i, 2, QStringLiteral("当前系统损耗率模式下[公式: 投料数=标准用量÷(1-损耗率%)], 损耗值必须小于100% !"));
        if (t == 1 && v == pv)
            return fail(i, 2, QStringLiteral("[平滑至百分比]类型的损耗值不能与前面分段的值相同!"));
        text += u'|';
        if (q != 0)
            text += LossFloatToText(q) + u':';
        text += LossFloatToText(v);
        if (t == 0)
            text += u'%';
        else if (t == 1)
            text += v > pv ? QStringLiteral("%-") : QStringLiteral("%+");
    }
    r.Ok = true;
    r.Text = text.mid(1);
    return r;
}

// ---- TLossRateDlg ---------------------------------------------------------------

TLossRateDlg::TLossRateDlg(QWidget* parent) : TDialog(parent)
{
    setWindowTitle(QStringLiteral("投料损耗率设置"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);
    btnOk->setText(QStringLiteral("确定(&O)"));
    btnCancel->setText(QStringLiteral("取消"));

    lblLossRate = new QLabel(QStringLiteral("超额累进损耗参数表(&R):"));
    lblFormula = new QLabel(MultiplyCaption);
    lblFormula->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblFormula->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));

    trlLossRate = new kvui::TreeList;
    trlLossRate->setObjectName(QStringLiteral("trlLossRate"));
    trlLossRate->setShowRoot(false);
    trlLossRate->setShowTreeLines(false);
    trlLossRate->setSortingEnabled(false);
    trlLossRate->setEnterMovesToNextCell(true);
    trlLossRate->setShowIndicator(true);
    lblLossRate->setBuddy(trlLossRate);
    colQty = trlLossRate->addColumn(QStringLiteral("标准用量"));
    colQty->setValueType(QStringLiteral("Float"));
    colQty->setWidth(110);
    colText = trlLossRate->addColumn(QStringLiteral("分段说明"));
    colText->setEditable(false);
    colText->setWidth(190);
    colType = trlLossRate->addColumn(QStringLiteral("类型"));
    colType->setValueType(QStringLiteral("Integer"));
    colType->setWidth(110);
    auto types = std::make_shared<kvui::ImageComboProperties>();
    types->addItem(0, QStringLiteral("百分比(%)"));
    types->addItem(1, QStringLiteral("平滑至百分比(%)"));
    types->addItem(2, QStringLiteral("固定数量"));
    colType->setEditor(types);
    colValue = trlLossRate->addColumn(QStringLiteral("损耗值"));
    colValue->setValueType(QStringLiteral("Float"));
    colValue->setWidth(90);
    for (kvui::Column* c : {colQty, colValue}) {
        c->setEditor(RightAlignedTextItem());
        c->displayTextHook = [](const kvui::RowRef&, const QVariant& value, QString& text) { text = qtyText(value); };
    }
    for (kvui::Column* c : trlLossRate->columns()) {
        c->setSortable(false);
        c->setMovable(false);
    }
    // the range column is drawn as read-only
    trlLossRate->setCustomDrawHook([this](kvui::CellDraw& cell) {
        if (cell.column == colText && !cell.selected)
            cell.background = QColor(0xF0, 0xF0, 0xF0);
    });

    btnAdd = new QPushButton(QStringLiteral("插入行(&A)"));
    btnRemove = new QPushButton(QStringLiteral("移除行(&D)"));
    gbxTest = new QGroupBox(QStringLiteral(" 数量试算: "));
    lblTestQty = new QLabel(QStringLiteral("标准用量(&Q):"));
    edtTestQty = new QLineEdit;
    edtTestQty->setObjectName(QStringLiteral("edtTestQty"));
    edtTestQty->setAlignment(Qt::AlignRight);
    lblTestQty->setBuddy(edtTestQty);
    btnTest = new QPushButton(QStringLiteral("计算(&T)"));
    cxLabel2 = new QLabel(QStringLiteral("损耗数(&L):"));
    edtTestLoss = new QLineEdit;
    edtTestLoss->setObjectName(QStringLiteral("edtTestLoss"));
    edtTestLoss->setReadOnly(true);
    edtTestLoss->setAlignment(Qt::AlignRight);
    cxLabel2->setBuddy(edtTestLoss);
    btnClear = new QPushButton(QStringLiteral("清除设置(&C)"));

    auto* test = new QHBoxLayout(gbxTest);
    test->addWidget(lblTestQty);
    test->addWidget(edtTestQty, 1);
    test->addWidget(btnTest);
    test->addWidget(cxLabel2);
    test->addWidget(edtTestLoss, 1);
    auto* rowButtons = new QVBoxLayout;
    rowButtons->addWidget(btnAdd);
    rowButtons->addWidget(btnRemove);
    rowButtons->addStretch();
    auto* head = new QHBoxLayout;
    head->addWidget(lblLossRate);
    head->addStretch();
    head->addWidget(lblFormula);
    auto* table = new QHBoxLayout;
    table->addWidget(trlLossRate, 1);
    table->addLayout(rowButtons);
    auto* main = new QVBoxLayout(ClientArea());
    main->setContentsMargins(0, 0, 0, 0);
    main->addLayout(head);
    main->addLayout(table, 1);
    main->addWidget(gbxTest);
    if (auto* buttons = qobject_cast<QBoxLayout*>(layout()->itemAt(1)->layout()))
        buttons->insertWidget(0, btnClear);
    resize(600, 380);

    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(true); });
    connect(btnRemove, &QPushButton::clicked, this, [this] { btnRemoveClick(); });
    connect(btnTest, &QPushButton::clicked, this, [this] { btnTestClick(); });
    connect(btnClear, &QPushButton::clicked, this, [this] { btnClearClick(); });
    connect(edtTestQty, &QLineEdit::textChanged, edtTestLoss, &QLineEdit::clear);
    connect(trlLossRate, &kvui::BandedView::cellEdited, this, [this](int, kvui::Column* column, const QVariant&, const QVariant&) {
        if (column == colQty)
            RebuildRangeTexts();
    });
    connect(trlLossRate, &kvui::TreeList::focusedNodeChanged, this, [this](kvui::TreeNode*, kvui::TreeNode* node) {
        if (node && isEmpty(node->value(colType)))
            node->setValue(colType, 0);
    });
}

QList<TLossRateStepRow> TLossRateDlg::Rows() const
{
    QList<TLossRateStepRow> rows;
    for (kvui::TreeNode* node : trlLossRate->topNodes())
        rows << TLossRateStepRow{node->value(colQty), node->value(colType), node->value(colValue)};
    return rows;
}

void TLossRateDlg::RebuildRangeTexts()
{
    const QStringList texts = LossRateRangeTexts(Rows());
    const QList<kvui::TreeNode*> nodes = trlLossRate->topNodes();
    for (int i = 0; i < nodes.size(); ++i)
        nodes[i]->setValue(colText, texts.value(i));
}

void TLossRateDlg::LoadSteps()
{
    lblFormula->setText(GetLossRateType() ? DivideCaption : MultiplyCaption);
    trlLossRate->clear();
    const QList<TLossRateStepRow> rows = LossRateTextToRows(FLossRateStr);
    if (rows.isEmpty()) {
        btnAddClick(false);
        return;
    }
    for (const TLossRateStepRow& row : rows) {
        kvui::TreeNode* node = trlLossRate->addNode();
        node->setValue(colQty, row.Qty);
        node->setValue(colType, row.Type);
        node->setValue(colValue, row.Value);
    }
    trlLossRate->setFocusedNode(trlLossRate->topNode(0));
    RebuildRangeTexts();
}

void TLossRateDlg::btnAddClick(bool AByUser)
{
    kvui::TreeNode* focused = trlLossRate->focusedNode();
    kvui::TreeNode* node = focused ? trlLossRate->insertNode(nullptr, focused->index() + 1) : trlLossRate->addNode();
    node->setValue(colType, 0);
    trlLossRate->setFocusedNode(node);
    RebuildRangeTexts();
    if (AByUser) {
        trlLossRate->setFocusedColumn(colQty);
        trlLossRate->setFocus();
    }
}

void TLossRateDlg::btnRemoveClick()
{
    trlLossRate->cancelEdit();
    if (kvui::TreeNode* focused = trlLossRate->focusedNode())
        trlLossRate->deleteNode(focused);
    if (trlLossRate->topCount() == 0)
        btnAddClick(false);
    else
        RebuildRangeTexts();
    trlLossRate->setFocusedColumn(colText);
    trlLossRate->setFocus();
}

bool TLossRateDlg::CheckAndBuildText()
{
    trlLossRate->postEdit();
    FLossRateStr.clear();
    const TLossRateCheck check = CheckLossRateRows(Rows(), GetLossRateType());
    if (check.Ok) {
        FLossRateStr = check.Text;
        return true;
    }
    ShowWarning(check.Message);
    trlLossRate->setFocusedNode(trlLossRate->topNode(check.Row));
    trlLossRate->setFocusedColumn(check.Column == 0 ? colQty : check.Column == 1 ? colType : colValue);
    trlLossRate->setFocus();
    return false;
}

void TLossRateDlg::btnTestClick()
{
    if (!CheckAndBuildText())
        return;
    bool ok = false;
    const QVariant qty = kvui::convertEditedValue(edtTestQty->text(), QMetaType::Double, &ok);
    const double value = ok && !qty.isNull() ? qty.toDouble() : 0;
    if (!(value > 0)) {
        ShowWarning(FormatMessage(TestQtyZero, {lblTestQty->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|:$")))}));
        edtTestQty->setFocus();
        return;
    }
    edtTestLoss->setText(kvui::formatFloat(LossFormat, ParseLossRateSteps(FLossRateStr, value, 0)));
}

void TLossRateDlg::btnClearClick()
{
    done(ModalAbort);
}

void TLossRateDlg::done(int r)
{
    if (r == ModalAbort) {
        // An accepted empty text: the item or row then has no steps.
        FLossRateStr.clear();
        r = QDialog::Accepted;
    } else if (r == QDialog::Accepted && !CheckAndBuildText()) {
        return;
    }
    TDialog::done(r);
}

bool ShowLossRateDlg(QString& AText)
{
    TLossRateDlg dlg(QApplication::activeWindow());
    dlg.SetLossRateStr(AText);
    dlg.LoadSteps();
    if (dlg.exec() != QDialog::Accepted)
        return false;
    AText = dlg.LossRateStr();
    return true;
}

// ---- TLossRateEditProperties ------------------------------------------------------

TLossRateEditProperties::TLossRateEditProperties()
{
    SetNoKeyInput(true);
    onButtonClick = [](kvui::ButtonEdit* edit, int) {
        QString text = edit->text();
        if (!ShowLossRateDlg(text))
            return;
        edit->setValue(text);
        for (QWidget* w = edit->parentWidget(); w; w = w->parentWidget())
            if (auto* view = qobject_cast<kvui::BandedView*>(w)) {
                view->postEditValue();
                break;
            }
    };
}
