#include "dlgDeductAuto.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace {

const QString SettingClass = QStringLiteral("QZ_MRP");
const QString KeyOptions = QStringLiteral("AutoDeductOptions");
const QString DefaultScope = QStringLiteral("(默认范围)");
const QString EmptyValue = QStringLiteral("[%s]的内容不能为空!");
const QString DateCaption = QStringLiteral("日期");
const QString DateFormat = QStringLiteral("yyyy-MM-dd");

const QDate DayZero(1899, 12, 30);
// The date edit's lowest date stands for "no date" and shows as a blank.
const QDate NoDate(1900, 1, 1);

struct FilterKeys {
    const char* objectID;
    const char* codeKey;
    const char* textKey;
};
const FilterKeys ForcastKeys{"QZ_MRP.Forcast", "AutoDeductForFilterCode", "AutoDeductForFilterText"};
const FilterKeys SOKeys{"QZ_MRP.SO", "AutoDeductSOFilterCode", "AutoDeductSOFilterText"};
const FilterKeys SIKeys{"QZ_MRP.SI", "AutoDeductSIFilterCode", "AutoDeductSIFilterText"};

QString readSetting(const QString& AKey)
{
    return InfoApplication ? InfoApplication->ReadSystemSettingAsString(SettingClass, AKey, QString(), false)
                           : QString();
}

void writeSetting(const QString& AKey, const QString& AValue)
{
    if (InfoApplication)
        InfoApplication->WriteSystemSettingAsString(SettingClass, AKey, AValue, false);
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

int itemInt(const QStringList& AItems, int AIndex)
{
    bool ok = false;
    const int v = AItems.value(AIndex).trimmed().toInt(&ok);
    return ok ? v : 0;
}

bool itemFlag(const QStringList& AItems, int AIndex)
{
    return AItems.value(AIndex).trimmed() == QLatin1String("1");
}

QDate dayToDate(double ADay) { return DayZero.addDays(qint64(std::floor(ADay))); }

} // namespace

void ReadAutoDeductOptionsText(const QString& AText, TAuotDeductOptions& AOptions)
{
    if (AText.trimmed().isEmpty()) {
        AOptions.SpanDeduct = true;
        AOptions.Span1Week = true;
        AOptions.Span2Month = false;
        AOptions.Span2Date = 0;
        AOptions.DaysBefore = 0;
        AOptions.DaysAfter = 30;
        AOptions.KeepLast = true;
        return;
    }
    const QStringList items = AText.split(u',');
    AOptions.SpanDeduct = itemFlag(items, 0);
    AOptions.Span1Week = itemFlag(items, 1);
    AOptions.Span2Month = itemFlag(items, 2);
    QDate date = QDate::fromString(items.value(3).trimmed(), DateFormat);
    if (!date.isValid())
        date = QDate::fromString(items.value(3).trimmed(), QStringLiteral("yyyyMMdd"));
    AOptions.Span2Date = date.isValid() ? double(DayZero.daysTo(date)) : 0;
    AOptions.DaysBefore = itemInt(items, 4);
    AOptions.DaysAfter = itemInt(items, 5);
    AOptions.KeepLast = itemFlag(items, 6);
}

QString AutoDeductOptionsText(const TAuotDeductOptions& AOptions)
{
    const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
    return QStringList{flag(AOptions.SpanDeduct), flag(AOptions.Span1Week), flag(AOptions.Span2Month),
                       dayToDate(AOptions.Span2Date).toString(DateFormat), QString::number(AOptions.DaysBefore),
                       QString::number(AOptions.DaysAfter), flag(AOptions.KeepLast)}
        .join(u',');
}

std::function<int(TDeductAutoDlg&)> TDeductAutoDlg::ExecHook;

TDeductAutoDlg::TDeductAutoDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("DeductAutoDlg"));
    setWindowTitle(QStringLiteral("自动冲销"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    QWidget* area = ClientArea();
    auto* box = new QVBoxLayout(area);
    box->setContentsMargins(0, 0, 0, 0);

    lblTips = new QLabel(QStringLiteral("提示：自动冲销只针对未业务关闭的产品预测进行！"), area);
    lblTips->setAutoFillBackground(true);
    {
        QPalette pal = lblTips->palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
        lblTips->setPalette(pal);
    }
    lblTips->setContentsMargins(8, 6, 8, 6);
    box->addWidget(lblTips);

    auto* scopes = new QGridLayout;
    scopes->setContentsMargins(10, 4, 10, 4);
    const auto scopeRow = [&](int row, const QString& label, const QString& button, QLabel*& lbl, QPlainTextEdit*& memo,
                              QPushButton*& btn) {
        lbl = new QLabel(label, area);
        memo = new QPlainTextEdit(area);
        memo->setReadOnly(true);
        memo->setFixedHeight(42);
        memo->viewport()->installEventFilter(this);
        btn = new QPushButton(button, area);
        lbl->setBuddy(btn);
        scopes->addWidget(lbl, row, 0, Qt::AlignTop);
        scopes->addWidget(memo, row, 1);
        scopes->addWidget(btn, row, 2, Qt::AlignTop);
    };
    scopeRow(0, QStringLiteral("产品预测范围(&F):"), QStringLiteral(" 设置(&A)..."), lblForcast, memForcast, btnForcast);
    scopeRow(1, QStringLiteral("销售订单范围(&S):"), QStringLiteral(" 设置(&B)..."), lblSO, memSO, btnSO);
    scopeRow(2, QStringLiteral("出口订单范围(&E):"), QStringLiteral(" 设置(&C)..."), lblSI, memSI, btnSI);
    box->addLayout(scopes);

    rdbSpan = new QRadioButton(QStringLiteral("按交期时间段对齐冲销(&1)"), area);
    box->addWidget(rdbSpan);
    gbxSpan = new QGroupBox(area);
    auto* span = new QGridLayout(gbxSpan);
    lblSpan1 = new QLabel(QStringLiteral("相同"), gbxSpan);
    cboSpan = new QComboBox(gbxSpan);
    cboSpan->addItems({QStringLiteral("周次"), QStringLiteral("月份")});
    lblSpan2 = new QLabel(QStringLiteral("的预测与订单进行冲销，"), gbxSpan);
    chkDate = new QCheckBox(QStringLiteral("从"), gbxSpan);
    edtDate = new QDateEdit(gbxSpan);
    edtDate->setCalendarPopup(true);
    edtDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edtDate->setMinimumDate(NoDate);
    edtDate->setSpecialValueText(QStringLiteral(" "));
    lblSpan3 = new QLabel(QStringLiteral("开始，相同月份的预测与订单进行冲销。"), gbxSpan);
    auto* spanLine1 = new QHBoxLayout;
    spanLine1->addWidget(lblSpan1);
    spanLine1->addWidget(cboSpan);
    spanLine1->addWidget(lblSpan2);
    spanLine1->addStretch();
    auto* spanLine2 = new QHBoxLayout;
    spanLine2->addWidget(chkDate);
    spanLine2->addWidget(edtDate);
    spanLine2->addWidget(lblSpan3);
    spanLine2->addStretch();
    span->addLayout(spanLine1, 0, 0);
    span->addLayout(spanLine2, 1, 0);
    box->addWidget(gbxSpan);

    rdbOrder = new QRadioButton(QStringLiteral("按交期顺序先后冲销(&2)"), area);
    box->addWidget(rdbOrder);
    gbxOrder = new QGroupBox(area);
    auto* order = new QGridLayout(gbxOrder);
    lblOrder1 = new QLabel(QStringLiteral("订单交期早于预测交期不超过"), gbxOrder);
    edtBefore = new QSpinBox(gbxOrder);
    edtBefore->setRange(0, 3650);
    lblOrder2 = new QLabel(QStringLiteral("天，"), gbxOrder);
    lblOrder3 = new QLabel(QStringLiteral("\u3000\u3000\u3000\u3000晚于预测交期不超过"), gbxOrder);
    edtAfter = new QSpinBox(gbxOrder);
    edtAfter->setRange(0, 3650);
    lblOrder4 = new QLabel(QStringLiteral("天。"), gbxOrder);
    auto* orderLine1 = new QHBoxLayout;
    orderLine1->addWidget(lblOrder1);
    orderLine1->addWidget(edtBefore);
    orderLine1->addWidget(lblOrder2);
    orderLine1->addStretch();
    auto* orderLine2 = new QHBoxLayout;
    orderLine2->addWidget(lblOrder3);
    orderLine2->addWidget(edtAfter);
    orderLine2->addWidget(lblOrder4);
    orderLine2->addStretch();
    order->addLayout(orderLine1, 0, 0);
    order->addLayout(orderLine2, 1, 0);
    box->addWidget(gbxOrder);

    chkKeep = new QCheckBox(QStringLiteral("保留以前自动冲销的相关结果(&K)"), area);
    chkKeep->setChecked(true);
    box->addWidget(chkKeep);
    box->addStretch();

    connect(btnForcast, &QPushButton::clicked, this, &TDeductAutoDlg::btnForcastClick);
    connect(btnSO, &QPushButton::clicked, this, &TDeductAutoDlg::btnSOClick);
    connect(btnSI, &QPushButton::clicked, this, &TDeductAutoDlg::btnSIClick);
    connect(rdbSpan, &QRadioButton::toggled, this, &TDeductAutoDlg::OnDeductKindClick);
    connect(rdbOrder, &QRadioButton::toggled, this, &TDeductAutoDlg::OnDeductKindClick);
    connect(cboSpan, &QComboBox::currentIndexChanged, this, &TDeductAutoDlg::cboSpanPropertiesChange);
    connect(chkDate, &QCheckBox::toggled, this, &TDeductAutoDlg::chkDatePropertiesChange);
    resize(470, 520);
}

bool TDeductAutoDlg::DateIsEmpty() const
{
    return !edtDate->date().isValid() || edtDate->date() <= NoDate;
}

void TDeductAutoDlg::SetDateEmpty()
{
    edtDate->setDate(NoDate);
}

void TDeductAutoDlg::OnDeductKindClick()
{
    const bool span = rdbSpan->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(cboSpan), static_cast<QWidget*>(lblSpan1), static_cast<QWidget*>(lblSpan2),
                       static_cast<QWidget*>(lblSpan3)})
        w->setEnabled(span);
    const bool byOrder = rdbOrder->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(edtBefore), static_cast<QWidget*>(edtAfter), static_cast<QWidget*>(lblOrder1),
                       static_cast<QWidget*>(lblOrder2), static_cast<QWidget*>(lblOrder3), static_cast<QWidget*>(lblOrder4)})
        w->setEnabled(byOrder);
    cboSpanPropertiesChange();
}

void TDeductAutoDlg::cboSpanPropertiesChange()
{
    chkDate->setEnabled(cboSpan->isEnabled() && cboSpan->currentIndex() == 0);
    chkDatePropertiesChange();
}

void TDeductAutoDlg::chkDatePropertiesChange()
{
    edtDate->setEnabled(chkDate->isEnabled() && chkDate->isChecked());
}

void TDeductAutoDlg::pickFilter(const QString& AObjectID, QString& ACode, QPlainTextEdit* AMemo)
{
    if (!InfoApplication)
        return;
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(AObjectID);
    if (!def)
        return;
    QString text;
    QString code = ACode;
    if (!InfoApplication->ShowFilterDlg(def, text, code, GlobalADOQuery, QString(), false))
        return;
    ACode = code;
    AMemo->setPlainText(text.isEmpty() ? DefaultScope : text);
}

void TDeductAutoDlg::btnForcastClick()
{
    pickFilter(QLatin1String(ForcastKeys.objectID), FForcastFilterCode, memForcast);
}

void TDeductAutoDlg::btnSOClick()
{
    pickFilter(QLatin1String(SOKeys.objectID), FSOFilterCode, memSO);
}

void TDeductAutoDlg::btnSIClick()
{
    pickFilter(QLatin1String(SIKeys.objectID), FSIFilterCode, memSI);
}

bool TDeductAutoDlg::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        if (o == memForcast->viewport())
            btnForcastClick();
        else if (o == memSO->viewport())
            btnSOClick();
        else if (o == memSI->viewport())
            btnSIClick();
        else
            return TDialog::eventFilter(o, e);
        return true;
    }
    return TDialog::eventFilter(o, e);
}

void TDeductAutoDlg::done(int r)
{
    if (r == QDialog::Accepted && edtDate->isEnabled() && DateIsEmpty()) {
        ShowWarning(FormatMessage(EmptyValue, {DateCaption}));
        edtDate->setFocus();
        return;
    }
    TDialog::done(r);
}

int TDeductAutoDlg::Run()
{
    if (ExecHook)
        return ExecHook(*this);
    return exec();
}

bool ShowDeductAutoDlg(TAuotDeductOptions& AOptions)
{
    std::unique_ptr<TDeductAutoDlg> dlg;
    {
        WaitCursor wait;
        dlg = std::make_unique<TDeductAutoDlg>();
        ReadAutoDeductOptionsText(readSetting(KeyOptions), AOptions);
        (AOptions.SpanDeduct ? dlg->rdbSpan : dlg->rdbOrder)->setChecked(true);
        dlg->cboSpan->setCurrentIndex(AOptions.Span1Week ? 0 : 1);
        dlg->chkDate->setChecked(AOptions.Span2Month);
        const QDate switchDate = dayToDate(AOptions.Span2Date);
        dlg->edtDate->setDate(switchDate > QDate(2000, 1, 1) ? switchDate : QDate::currentDate().addMonths(1));
        dlg->edtBefore->setValue(AOptions.DaysBefore);
        dlg->edtAfter->setValue(AOptions.DaysAfter);
        dlg->chkKeep->setChecked(AOptions.KeepLast);
        dlg->OnDeductKindClick();

        const auto loadScope = [](const FilterKeys& keys, QString& code, QPlainTextEdit* memo) {
            code = readSetting(QLatin1String(keys.codeKey));
            const QString text = readSetting(QLatin1String(keys.textKey));
            memo->setPlainText(text.isEmpty() ? DefaultScope : text);
        };
        loadScope(ForcastKeys, dlg->FForcastFilterCode, dlg->memForcast);
        loadScope(SOKeys, dlg->FSOFilterCode, dlg->memSO);
        loadScope(SIKeys, dlg->FSIFilterCode, dlg->memSI);
    }
    if (dlg->Run() != QDialog::Accepted)
        return false;

    AOptions.SpanDeduct = dlg->rdbSpan->isChecked();
    AOptions.Span1Week = dlg->cboSpan->currentIndex() == 0;
    AOptions.Span2Month = dlg->chkDate->isChecked();
    AOptions.Span2Date = dlg->edtDate->isEnabled() && !dlg->DateIsEmpty() ? double(DayZero.daysTo(dlg->edtDate->date())) : 0;
    AOptions.DaysBefore = dlg->edtBefore->value();
    AOptions.DaysAfter = dlg->edtAfter->value();
    AOptions.KeepLast = dlg->chkKeep->isChecked();
    AOptions.ForcastFilterCode = dlg->FForcastFilterCode;
    AOptions.SOFilterCode = dlg->FSOFilterCode;
    AOptions.SIFilterCode = dlg->FSIFilterCode;

    writeSetting(KeyOptions, AutoDeductOptionsText(AOptions));
    const auto storeScope = [](const FilterKeys& keys, const QString& code, QPlainTextEdit* memo) {
        writeSetting(QLatin1String(keys.codeKey), code);
        writeSetting(QLatin1String(keys.textKey), memo->toPlainText());
    };
    storeScope(ForcastKeys, dlg->FForcastFilterCode, dlg->memForcast);
    storeScope(SOKeys, dlg->FSOFilterCode, dlg->memSO);
    storeScope(SIKeys, dlg->FSIFilterCode, dlg->memSI);
    return true;
}
