#include "dlgAddItemSubs.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "famItemSetting.h"
#include "untApplication.h"
#include "untDllCommon.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString EmptyValue = QStringLiteral("[%s]的内容不能为空!");
const QString InvalidValue = QStringLiteral("[%s]的值(%s)无效!");
const QString NotAbove = QStringLiteral("[%s]的值(%s)没有大于%s !");
const QString DateOrder = QStringLiteral("[%s]的值没有大于[%s]的值!");

// A label's caption without its hot-key mark and closing colon.
QString captionOf(const QLabel* label)
{
    QString text = label->text();
    const qsizetype amp = text.indexOf(QStringLiteral("(&"));
    if (amp >= 0)
        text = text.left(amp);
    text.remove(u'&');
    if (text.endsWith(u':'))
        text.chop(1);
    return text;
}

QDateEdit* dateEdit(QWidget* parent, const QDate& value)
{
    auto* e = new QDateEdit(parent);
    e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    e->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    e->setButtonSymbols(QAbstractSpinBox::NoButtons);
    e->setDate(value);
    return e;
}

} // namespace

TAddItemSubsDlg::TAddItemSubsDlg(QWidget* parent, const QString& AItemFields)
    : TDialog(parent)
{
    setWindowTitle(QStringLiteral("批量新增替代物料"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* form = new QFormLayout(ClientArea());
    const auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), ClientArea()); };

    cboInsPos = new QComboBox(ClientArea());
    cboInsPos->setObjectName(QStringLiteral("cboInsPos"));
    cboInsPos->addItems({QStringLiteral("插入在最后面"), QStringLiteral("插入在最前面"), QStringLiteral("插入在选择项之后"),
                         QStringLiteral("插入在选择项之前")});
    form->addRow(label("新增项位置(&P):"), cboInsPos);

    FPick = std::make_shared<TPickEditProperties>();
    FPick->RefQuery = GlobalADOQuery;
    const QString number = ItemPickColumn(QStringLiteral("ItmNo"), QStringLiteral("物料代码"));
    FPick->SQL = BuildItemPickSQL(QStringLiteral("UntName") + (AItemFields.startsWith(u'|') ? AItemFields : u'|' + AItemFields),
                                  QStringLiteral("i.ItmType<>4 and i.ItmDisabled=0 and (i.ItmNo like '%%'+%0:s+'%%' or "
                                                 "i.ItmName like '%%'+%0:s+'%%' or i.ItmSpec like '%%'+%0:s+'%%')"),
                                  QStringLiteral("[#ItmID]=i.ItmID"));
    FPick->TextField = number;
    FPick->FixedFields = u'|' + number + u'|';
    edtItmNo = new TPickEdit(kvui::ButtonEditProperties(), ClientArea());   // the dialog's own handler picks
    edtItmNo->setObjectName(QStringLiteral("edtItmNo"));
    lblItmNo = label("替代物料代码(&I):");
    form->addRow(lblItmNo, edtItmNo);
    edtItmName = new QLineEdit(ClientArea());
    edtItmSpec = new QLineEdit(ClientArea());
    for (QLineEdit* e : {edtItmName, edtItmSpec}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setStyleSheet(QStringLiteral("background: palette(window)"));
    }
    form->addRow(label("替代物料名称(&N):"), edtItmName);
    form->addRow(label("替代规格型号(&S):"), edtItmSpec);

    const auto spin = [this]() {
        auto* s = new QDoubleSpinBox(ClientArea());
        s->setDecimals(8);
        s->setRange(0, 999999);
        s->setSingleStep(1);
        s->setValue(1);
        return s;
    };
    spnCurrQty = spin();
    spnCurrQty->setObjectName(QStringLiteral("spnCurrQty"));
    lblCurrUnit = new QLabel(ClientArea());
    auto* currRow = new QHBoxLayout;
    currRow->addWidget(spnCurrQty, 1);
    currRow->addWidget(lblCurrUnit, 1);
    lblCurrQty = label("替代用量(&Q):");
    form->addRow(lblCurrQty, currRow);
    spnBaseQty = spin();
    spnBaseQty->setObjectName(QStringLiteral("spnBaseQty"));
    lblBaseUnit = new QLabel(QStringLiteral("(即: 被替代物料的基本单位用量)"), ClientArea());
    lblBaseUnit->setStyleSheet(QStringLiteral("color: blue"));
    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(spnBaseQty, 1);
    baseRow->addWidget(lblBaseUnit, 1);
    lblBaseQty = label("用量基数(&B):");
    form->addRow(lblBaseQty, baseRow);
    dteDateBegin = dateEdit(ClientArea(), QDate(1900, 1, 1));
    dteDateBegin->setObjectName(QStringLiteral("dteDateBegin"));
    lblDateBegin = label("生效日期(&D):");
    form->addRow(lblDateBegin, dteDateBegin);
    dteDateEnd = dateEdit(ClientArea(), QDate(9999, 12, 31));
    dteDateEnd->setObjectName(QStringLiteral("dteDateEnd"));
    lblDateEnd = label("失效日期(&E):");
    form->addRow(lblDateEnd, dteDateEnd);
    edtNote = new QLineEdit(ClientArea());
    edtNote->setMaxLength(80);
    form->addRow(label("备注(&M):"), edtNote);
    resize(514, 304);

    FPick->AfterDataPicked = [this, number](TCustomADODataSet* data, const TBookmarks&) {
        FItemID = GetFieldValue(data, QStringLiteral("#ItmID")).toString();
        FItemNo = GetFieldValue(data, number).toString();
        edtItmNo->setText(FItemNo);
        edtItmName->setText(GetFieldValue(data, ItemPickColumn(QStringLiteral("ItmName"), QStringLiteral("物料名称"))).toString());
        edtItmSpec->setText(GetFieldValue(data, ItemPickColumn(QStringLiteral("ItmSpec"), QStringLiteral("规格型号"))).toString());
        lblCurrUnit->setText(GetFieldValue(data, ItemPickColumn(QStringLiteral("UntName"), QStringLiteral("单位"))).toString());
    };
    connect(edtItmNo, &kvui::ButtonEdit::buttonClicked, this, [this](int) {
        FPick->Text = edtItmNo->text().trimmed();
        try {
            FPick->ShowPicker(true);
        } catch (const Exception& e) {
            ShowADOError(e, GlobalADOQuery);
        }
    });
    edtItmNo->installEventFilter(this);
}

bool TAddItemSubsDlg::eventFilter(QObject* o, QEvent* e)
{
    if (o == edtItmNo && e->type() == QEvent::FocusOut)
        edtItmNoExit();
    return TDialog::eventFilter(o, e);
}

void TAddItemSubsDlg::edtItmNoExit()
{
    const QString number = edtItmNo->text().trimmed();
    if (number.compare(FItemNo, Qt::CaseInsensitive) == 0)
        return;
    FItemNo = number;
    FItemID.clear();
    edtItmName->clear();
    edtItmSpec->clear();
    lblCurrUnit->clear();
    if (number.isEmpty())
        return;
    if (!ExecSQLText(GlobalADOQuery,
                     QStringLiteral("select ItmID, ItmName, ItmSpec, UntName from QZ_Base_ItemMaster with(nolock) left join QZ_Base_Unit "
                                    "as ub with(nolock) on ItmUnitID=UntID where ItmType<>4 and ItmDisabled=0 and ItmNo=") +
                         QuotedStr(number),
                     true, false, true))
        return;
    if (!GlobalADOQuery->Eof()) {
        FItemID = GetFieldValue(GlobalADOQuery, QStringLiteral("ItmID")).toString();
        edtItmName->setText(GetFieldValue(GlobalADOQuery, QStringLiteral("ItmName")).toString());
        edtItmSpec->setText(GetFieldValue(GlobalADOQuery, QStringLiteral("ItmSpec")).toString());
        lblCurrUnit->setText(GetFieldValue(GlobalADOQuery, QStringLiteral("UntName")).toString());
    }
    GlobalADOQuery->Close();
}

void TAddItemSubsDlg::done(int r)
{
    if (r == QDialog::Accepted) {
        edtItmNoExit();
        const auto refuse = [](QWidget* w, const QString& text) {
            ShowWarning(text);
            w->setFocus();
        };
        const QString number = edtItmNo->text().trimmed();
        if (number.isEmpty())
            return refuse(edtItmNo, FormatMessage(EmptyValue, {captionOf(lblItmNo)}));
        if (FItemID.isEmpty())
            return refuse(edtItmNo, FormatMessage(InvalidValue, {captionOf(lblItmNo), number}));
        if (!(spnCurrQty->value() > 0))
            return refuse(spnCurrQty, FormatMessage(NotAbove, {captionOf(lblCurrQty), spnCurrQty->text(), QStringLiteral("0")}));
        if (!(spnBaseQty->value() > 0))
            return refuse(spnBaseQty, FormatMessage(NotAbove, {captionOf(lblBaseQty), spnBaseQty->text(), QStringLiteral("0")}));
        if (dteDateBegin->date() >= dteDateEnd->date())
            return refuse(dteDateEnd, FormatMessage(DateOrder, {captionOf(lblDateEnd), captionOf(lblDateBegin)}));
    }
    TDialog::done(r);
}

bool ShowAddItemSubsDlg(quint8& APosition, QString& AItemID, QString& ANote, double& ASubQty, double& ABaseQty,
                        QDate& ABeginDate, QDate& AEndDate, bool AOnlyEnds, const QString& AItemFields)
{
    AItemID.clear();
    ANote.clear();
    TAddItemSubsDlg dlg(QApplication::activeWindow(), AItemFields);
    if (AOnlyEnds) {
        dlg.cboInsPos->removeItem(3);
        dlg.cboInsPos->removeItem(2);
    }
    if (dlg.exec() != QDialog::Accepted)
        return false;
    APosition = quint8(dlg.cboInsPos->currentIndex());
    AItemID = dlg.ItemID();
    ANote = dlg.edtNote->text();
    ASubQty = dlg.spnCurrQty->value();
    ABaseQty = dlg.spnBaseQty->value();
    ABeginDate = dlg.dteDateBegin->date();
    AEndDate = dlg.dteDateEnd->date();
    return true;
}
