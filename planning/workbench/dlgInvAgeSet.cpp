#include "dlgInvAgeSet.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untDllCommon.h"
#include "untMRP.h"
#include "untMRPCalendar.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {

const QString Sep = ViewSchemeParamSeparator;
const QString NoneText = QStringLiteral("(无)");
const QString AllStocksText = QStringLiteral("(全部)");
const QString NoGroupsText = QStringLiteral("(不分组)");
const QString EmptyValue = QStringLiteral("[%1]的内容不能为空!");
const QString NotOnOrBefore = QStringLiteral("[%1]的值没有小于或等于%2 !");
const QString NoStockChosen = QStringLiteral("请选择参与库龄分析的仓库!");
const QString TooManyGroups = QStringLiteral("库龄分组不能超过20个!");
const QString DateOutsidePlan =
    QStringLiteral("库龄分析的截止日期(%1)未与参考计划方案\"%2\"的展望期间(%3至%4)起始相连或不在其范围之内!");
const QString NoCommonStock = QStringLiteral("库龄分析的参与仓库和参考计划方案\"%1\"的参与仓库(%2)范围上不存在交集!");
const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %1");
constexpr int StockIDRole = Qt::UserRole;
constexpr int MergeTagRole = Qt::UserRole;
constexpr int colAgeGroup = 0;
constexpr int colAgeDays = 1;

// The merge items: the field of the view that offers each, and its option.
struct TMergeItem {
    const char* Field;
    const char* Key;
};
const TMergeItem MergeItems[] = {
    {"AgeBatch", "[MergeBatch]"}, {"StkName", "[MergeStock]"}, {"StpName", "[MergePlace]"}, {"AgeGroupNo", "[MergeTrack]"}};

struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QString read(const QString& AParams, const char* AName)
{
    return ReadDelimitedValue(AParams, QLatin1String(AName), Sep).trimmed();
}

QDate dayToDate(double ADay)
{
    return QDate(1899, 12, 30).addDays(qint64(std::floor(ADay)));
}

// The computed captions of the age groups take no typing.
class TCaptionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }
};

} // namespace

void TInitPopupComboBox::showPopup()
{
    emit initPopup();
    QComboBox::showPopup();
}

TInvAgeSetDlg::TInvAgeSetDlg(QWidget* parent)
    : TViewSettingDlg(parent)
    , Today(QDate::currentDate())
{
    setObjectName(QStringLiteral("InvAgeSetDlg"));
    setWindowTitle(QStringLiteral("物料库龄分析"));
    resize(620, 560);
    auto* grid = new QGridLayout(OptionsArea);
    const auto label = [this](const QString& text) { return new QLabel(text, OptionsArea); };

    lblInvType = label(QStringLiteral("库存类型(&T):"));
    rdbJustTime = new QRadioButton(OptionsArea);
    rdbJustTime->setObjectName(QStringLiteral("rdbJustTime"));
    rdbEndDate = new QRadioButton(QStringLiteral("截止日期库存(&D):"), OptionsArea);
    rdbEndDate->setObjectName(QStringLiteral("rdbEndDate"));
    rdbEndDate->setChecked(true);
    dteEndDate = new QDateEdit(OptionsArea);
    dteEndDate->setObjectName(QStringLiteral("dteEndDate"));
    dteEndDate->setCalendarPopup(true);
    dteEndDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    lblInvType->setBuddy(rdbJustTime);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(rdbJustTime);
    typeRow->addWidget(rdbEndDate);
    typeRow->addWidget(dteEndDate);
    typeRow->addStretch(1);
    grid->addWidget(lblInvType, 0, 0);
    grid->addLayout(typeRow, 0, 1, 1, 3);

    lblInvStocks = label(QStringLiteral("参与仓库(&C):"));
    trlInvStocks = new QTreeWidget(OptionsArea);
    trlInvStocks->setObjectName(QStringLiteral("trlInvStocks"));
    trlInvStocks->setHeaderHidden(true);
    trlInvStocks->setItemsExpandable(false);
    trlInvStocks->setRootIsDecorated(false);
    lblInvStocks->setBuddy(trlInvStocks);
    grid->addWidget(lblInvStocks, 1, 0, Qt::AlignTop);
    grid->addWidget(trlInvStocks, 1, 1, 3, 1);

    lblAgeGroups = label(QStringLiteral("库龄分组(&G):"));
    trlAgeGroups = new QTreeWidget(OptionsArea);
    trlAgeGroups->setObjectName(QStringLiteral("trlAgeGroups"));
    trlAgeGroups->setColumnCount(2);
    trlAgeGroups->setHeaderLabels({QStringLiteral("库龄分组"), QStringLiteral("间隔天数")});
    trlAgeGroups->setRootIsDecorated(false);
    trlAgeGroups->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    trlAgeGroups->setItemDelegateForColumn(colAgeGroup, new TCaptionDelegate(trlAgeGroups));
    trlAgeGroups->header()->setSectionResizeMode(colAgeGroup, QHeaderView::Stretch);
    lblAgeGroups->setBuddy(trlAgeGroups);
    grid->addWidget(lblAgeGroups, 1, 2, Qt::AlignTop);
    grid->addWidget(trlAgeGroups, 1, 3, 3, 1);

    lblInvFilter = label(QStringLiteral("数据条件(&M):"));
    memInvFilter = new QPlainTextEdit(OptionsArea);
    memInvFilter->setObjectName(QStringLiteral("memInvFilter"));
    memInvFilter->setReadOnly(true);
    memInvFilter->setMaximumHeight(60);
    QPalette grey = memInvFilter->palette();
    grey.setColor(QPalette::Text, palette().color(QPalette::Disabled, QPalette::Text));
    memInvFilter->setPalette(grey);
    btnSetInvFilter = new QPushButton(QStringLiteral(" 设定(&L)..."), OptionsArea);
    btnSetInvFilter->setObjectName(QStringLiteral("btnSetInvFilter"));
    lblInvFilter->setBuddy(btnSetInvFilter);
    grid->addWidget(lblInvFilter, 4, 0, Qt::AlignTop);
    grid->addWidget(memInvFilter, 4, 1, 1, 2);
    grid->addWidget(btnSetInvFilter, 4, 3, Qt::AlignTop | Qt::AlignLeft);

    lblMergeItems = label(QStringLiteral("合并项目(&M):"));
    chbMergeItems = new QListWidget(OptionsArea);
    chbMergeItems->setObjectName(QStringLiteral("chbMergeItems"));
    chbMergeItems->setFlow(QListView::LeftToRight);
    chbMergeItems->setMaximumHeight(28);
    lblMergeItems->setBuddy(chbMergeItems);
    grid->addWidget(lblMergeItems, 5, 0);
    grid->addWidget(chbMergeItems, 5, 1, 1, 3);

    lblAgeSumType = label(QStringLiteral("库龄统计(&S):"));
    cboAgeSumType = new QComboBox(OptionsArea);
    cboAgeSumType->setObjectName(QStringLiteral("cboAgeSumType"));
    cboAgeSumType->addItems({QStringLiteral("加权平均库龄"), QStringLiteral("最大库龄"), QStringLiteral("最小库龄")});
    lblAgeSumType->setBuddy(cboAgeSumType);
    grid->addWidget(lblAgeSumType, 6, 0);
    grid->addWidget(cboAgeSumType, 6, 1);

    lblPlanScheme = label(QStringLiteral("参考计划(&P):"));
    cboPlanScheme = new TInitPopupComboBox(OptionsArea);
    cboPlanScheme->setObjectName(QStringLiteral("cboPlanScheme"));
    cboPlanScheme->addItem(NoneText, 0);
    lblPlanScheme->setBuddy(cboPlanScheme);
    grid->addWidget(lblPlanScheme, 7, 0);
    grid->addWidget(cboPlanScheme, 7, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(rdbJustTime, &QRadioButton::toggled, this, [this] { InvTypeOnClick(); });
    connect(rdbEndDate, &QRadioButton::toggled, this, [this] { InvTypeOnClick(); });
    connect(btnSetInvFilter, &QPushButton::clicked, this, [this] { btnSetInvFilterClick(); });
    connect(cboPlanScheme, &TInitPopupComboBox::initPopup, this, [this] { cboPlanSchemePropertiesInitPopup(); });
    connect(trlAgeGroups, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
        if (!FRebuilding && column == colAgeDays)
            trlAgeGroupsEdited();
    });
    connect(trlAgeGroups, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == colAgeGroup)
            trlAgeGroups->editItem(item, colAgeDays);
    });
    connect(trlInvStocks, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) { item->setExpanded(true); });
    InvTypeOnClick();
}

void TInvAgeSetDlg::Prepare()
{
    TViewSettingDlg::Prepare();
    if (InfoApplication) {
        if (TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.AgeAnalyze")))
            for (int tag = 0; tag < 4; ++tag)
                if (PInfoFieldDef field = def->GetFieldDef(QLatin1String(MergeItems[tag].Field))) {
                    auto* item = new QListWidgetItem(field->Name, chbMergeItems);
                    item->setData(MergeTagRole, tag);
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(Qt::Checked);
                }
        rdbJustTime->setText(InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), 16) + QStringLiteral("(&J)"));
    }
    trlInvStocks->clear();
    FStockRoot = new QTreeWidgetItem(trlInvStocks, {AllStocksText});
    FStockRoot->setFlags(FStockRoot->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
    if (ExecSQLText(ByQuery,
                    QStringLiteral("select * from QZ_Base_Stock with(nolock) where StkVirtual=0 and StkDisabled=0 order by StkNo"),
                    true, false, true)) {
        for (; !ByQuery->Eof(); ByQuery->Next()) {
            auto* item = new QTreeWidgetItem(FStockRoot, {ByQuery->FieldByName(QStringLiteral("StkNo"))->AsString().trimmed() +
                                                          QStringLiteral(" - ") +
                                                          ByQuery->FieldByName(QStringLiteral("StkName"))->AsString().trimmed()});
            item->setData(0, StockIDRole, ByQuery->FieldByName(QStringLiteral("StkID"))->AsString().trimmed());
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Checked);
        }
        ByQuery->Close();
    }
    FStockRoot->setCheckState(0, Qt::Checked);
    FStockRoot->setExpanded(true);
    LoadScheme();
}

void TInvAgeSetDlg::LoadScheme()
{
    if (!FStockRoot)
        return;  // the controls are filled by Prepare
    const QString params = ViewScheme.Params;
    const bool current = read(params, "[InvType]").toInt() != 0;
    rdbJustTime->setChecked(current);
    rdbEndDate->setChecked(!current);
    QDate date = StrToDateTime(read(params, "[InvDate]")).date();
    if (!date.isValid())
        date = QDate::fromString(read(params, "[InvDate]").left(10), Qt::ISODate);
    dteEndDate->setDate(date.isValid() ? date : Today.addDays(-1));
    cboAgeSumType->setCurrentIndex(std::clamp(read(params, "[AgeType]").toInt(), 0, 2));
    const int plan = read(params, "[PlanScheme]").toInt();
    if (!FPlanSchemesLoaded) {
        while (cboPlanScheme->count() > 1)
            cboPlanScheme->removeItem(1);
        if (plan > 0)
            cboPlanScheme->addItem(HexCodesToStr(read(params, "{PlanScheme}")), plan);
        cboPlanScheme->setCurrentIndex(plan > 0 ? 1 : 0);
    } else {
        const int index = cboPlanScheme->findData(plan);
        cboPlanScheme->setCurrentIndex(index < 0 ? 0 : index);
    }
    for (int i = 0; i < chbMergeItems->count(); ++i) {
        QListWidgetItem* item = chbMergeItems->item(i);
        const QString value = read(params, MergeItems[item->data(MergeTagRole).toInt()].Key);
        item->setCheckState(value.isEmpty() || value.toInt() == 1 ? Qt::Checked : Qt::Unchecked);
    }
    FCriteria = read(params, "[Criteria]");
    setFilterText(HexCodesToStr(read(params, "{Criteria}")));
    const QString all = read(params, "[AllStocks]");
    const bool allStocks = all.isEmpty() || all.toInt() == 1;
    const QStringList chosen = read(params, "[SelStocks]").split(u'|');
    for (int i = 0; i < FStockRoot->childCount(); ++i) {
        QTreeWidgetItem* stock = FStockRoot->child(i);
        const bool on = allStocks || chosen.contains(stock->data(0, StockIDRole).toString(), Qt::CaseInsensitive);
        stock->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    if (FStockRoot->childCount() == 0)
        FStockRoot->setCheckState(0, allStocks ? Qt::Checked : Qt::Unchecked);
    TAgeGroups groups;
    ParseAgeGroups(read(params, "[AgeGroups]"), groups);
    setAgeGroupRows(groups);
}

// A row of the age-group list: its caption on the button face, its width typed.
static QTreeWidgetItem* addAgeGroupRow(QTreeWidget* AList, const QString& ACaption, const QString& ADays)
{
    auto* row = new QTreeWidgetItem(AList, {ACaption, ADays});
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    row->setBackground(colAgeGroup, AList->palette().button());
    row->setForeground(colAgeGroup, AList->palette().windowText());
    return row;
}

void TInvAgeSetDlg::setAgeGroupRows(const TAgeGroups& AGroups)
{
    FRebuilding = true;
    trlAgeGroups->clear();
    for (const TAgeGroup& g : AGroups)
        addAgeGroupRow(trlAgeGroups, g.Name, g.Days > 0 ? QString::number(g.Days) : QString());
    if (AGroups.isEmpty())
        addAgeGroupRow(trlAgeGroups, NoGroupsText, QString());
    FRebuilding = false;
}

void TInvAgeSetDlg::trlAgeGroupsEdited()
{
    // Rows of a positive width keep their place and are captioned anew; every
    // other row (the closing row among them) goes; the closing row follows.
    FRebuilding = true;
    int offset = 0;
    for (int i = 0; i < trlAgeGroups->topLevelItemCount();) {
        QTreeWidgetItem* row = trlAgeGroups->topLevelItem(i);
        bool ok = false;
        const int days = row->text(colAgeDays).trimmed().toInt(&ok);
        if (ok && days > 0) {
            row->setText(colAgeGroup, AgeGroupCaption(offset, days));
            row->setText(colAgeDays, QString::number(days));
            offset += days;
            ++i;
        } else {
            delete trlAgeGroups->takeTopLevelItem(i);
        }
    }
    addAgeGroupRow(trlAgeGroups, trlAgeGroups->topLevelItemCount() > 0 ? AgeGroupClosingCaption(offset) : NoGroupsText,
                   QString());
    FRebuilding = false;
}

bool TInvAgeSetDlg::SaveScheme()
{
    if (rdbEndDate->isChecked() && !dteEndDate->date().isValid()) {
        ShowWarning(EmptyValue.arg(QStringLiteral("截止日期")));
        dteEndDate->setFocus();
        return false;
    }
    if (rdbEndDate->isChecked() && dteEndDate->date() > Today) {
        ShowWarning(NotOnOrBefore.arg(QStringLiteral("截止日期"), QStringLiteral("今天")));
        dteEndDate->setFocus();
        return false;
    }
    if (!FStockRoot || FStockRoot->checkState(0) == Qt::Unchecked) {
        ShowWarning(NoStockChosen);
        trlInvStocks->setFocus();
        return false;
    }
    if (trlAgeGroups->topLevelItemCount() > MaxAgeGroups) {
        ShowWarning(TooManyGroups);
        trlAgeGroups->setFocus();
        return false;
    }

    QString& p = ViewScheme.Params;
    const auto write = [&p](const char* key, const QString& value) { p = WriteDelimitedValue(p, QLatin1String(key), value, Sep); };
    write("[InvType]", rdbJustTime->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    write("[InvDate]", DateToStr(dteEndDate->date()));
    write("[AgeType]", QString::number(cboAgeSumType->currentIndex()));
    write("[PlanScheme]", QString::number(cboPlanScheme->currentData().toInt()));
    write("{PlanScheme}", StrToHexCodes(cboPlanScheme->currentText()));
    for (int i = 0; i < chbMergeItems->count(); ++i) {
        QListWidgetItem* item = chbMergeItems->item(i);
        write(MergeItems[item->data(MergeTagRole).toInt()].Key,
              item->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0"));
    }
    const bool all = FStockRoot->checkState(0) == Qt::Checked;
    write("[AllStocks]", all ? QStringLiteral("1") : QStringLiteral("0"));
    QString stocks;
    if (!all)
        for (int i = 0; i < FStockRoot->childCount(); ++i)
            if (FStockRoot->child(i)->checkState(0) == Qt::Checked)
                stocks += FStockRoot->child(i)->data(0, StockIDRole).toString() + u'|';
    write("[SelStocks]", stocks);
    QString widths;
    for (int i = 0; i < trlAgeGroups->topLevelItemCount() - 1; ++i)
        widths += trlAgeGroups->topLevelItem(i)->text(colAgeDays).trimmed() + u'|';
    write("[AgeGroups]", widths);
    write("[Criteria]", FCriteria);
    const QString filterText = memInvFilter->toPlainText() == NoneText ? QString() : memInvFilter->toPlainText();
    write("{Criteria}", StrToHexCodes(filterText));
    return true;
}

void TInvAgeSetDlg::setFilterText(const QString& AText)
{
    memInvFilter->setPlainText(AText.isEmpty() ? NoneText : AText);
}

void TInvAgeSetDlg::InvTypeOnClick()
{
    dteEndDate->setEnabled(rdbEndDate->isChecked());
}

void TInvAgeSetDlg::btnSetInvFilterClick()
{
    if (!InfoApplication)
        return;
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.InvFilter"));
    if (!def)
        return;
    QString text = memInvFilter->toPlainText() == NoneText ? QString() : memInvFilter->toPlainText();
    QString code = FCriteria;
    if (!InfoApplication->ShowFilterDlg(def, text, code, ByQuery, QString(), false))
        return;
    FCriteria = text.trimmed().isEmpty() ? QString() : code;
    setFilterText(text.trimmed());
}

void TInvAgeSetDlg::cboPlanSchemePropertiesInitPopup()
{
    if (FPlanSchemesLoaded || !InfoApplication)
        return;
    FPlanSchemesLoaded = true;
    WaitCursor hourglass;
    const QString shown = cboPlanScheme->currentText();
    cboPlanScheme->clear();
    cboPlanScheme->addItem(NoneText, 0);
    const QString user = QuotedStr(InfoApplication->LoginInfo.UserID);
    const QString sql =
        QStringLiteral("select SchIID, SchName, SchMrpRunTime, SchUsrID, UsrName from QZ_MRP_Schemes with(nolock) left join "
                       "QZ_SYS_Users with(nolock) on SchUsrID=UsrID where SchType=%1 and SchState>=%2 and (SchUsrID=%3 or "
                       "SchIID in (select distinct DpmDataID from QZ_SYS_DataPermissions with(nolock) where "
                       "DpmObjID='QZ_MRP.MRP' and (DpmUsrID=%3 and DpmIsGroup=0 or DpmUsrID in (%4) and DpmIsGroup=1))) "
                       "order by SchMrpRunTime desc")
            .arg(0)
            .arg(6)
            .arg(user, InfoApplication->LoginInfo.UserGroups);
    if (ExecSQLText(ByQuery, sql, true, false, true)) {
        for (; !ByQuery->Eof(); ByQuery->Next()) {
            const QString owner = ByQuery->FieldByName(QStringLiteral("SchUsrID"))->AsString().trimmed();
            const bool own = owner.compare(InfoApplication->LoginInfo.UserID, Qt::CaseInsensitive) == 0;
            const QString text =
                ByQuery->FieldByName(QStringLiteral("SchName"))->AsString().trimmed() + QStringLiteral(" (") +
                ByQuery->FieldByName(QStringLiteral("SchMrpRunTime"))->AsDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")) +
                (own ? QString() : u' ' + ByQuery->FieldByName(QStringLiteral("UsrName"))->AsString().trimmed()) + u')';
            cboPlanScheme->addItem(text, ByQuery->FieldByName(QStringLiteral("SchIID"))->AsInteger());
        }
        ByQuery->Close();
    }
    const int index = cboPlanScheme->findText(shown);
    cboPlanScheme->setCurrentIndex(index < 0 ? 0 : index);
}

bool TInvAgeSetDlg::CheckPlanScheme()
{
    const int iid = cboPlanScheme->currentData().toInt();
    if (cboPlanScheme->currentIndex() <= 0 || iid <= 0)
        return true;
    if (!ExecSQLText(ByQuery,
                     QStringLiteral("select SchName, SchMrpPeriods, SchFilters from QZ_MRP_Schemes with(nolock) where SchIID=%1").arg(iid),
                     true, false, true))
        return false;
    if (ByQuery->IsEmpty()) {
        ByQuery->Close();
        return true;
    }
    const QString name = ByQuery->FieldByName(QStringLiteral("SchName"))->AsString().trimmed();
    const QString periodsText = ByQuery->FieldByName(QStringLiteral("SchMrpPeriods"))->AsString();
    const QString filters = ByQuery->FieldByName(QStringLiteral("SchFilters"))->AsString();
    ByQuery->Close();

    const QDate cutOff = rdbJustTime->isChecked() ? Today : dteEndDate->date();
    TPlanPeriods periods;
    TextToPlanPeriods(periodsText, periods);
    const QDate first = dayToDate(GetPlanBeginDate(periods));
    const QDate last = dayToDate(GetPlanEndDate(periods));
    if (cutOff > last || (cutOff < Today && (cutOff < first.addDays(-1) || cutOff > last))) {
        ShowWarning(DateOutsidePlan.arg(DateToStr(cutOff), name, DateToStr(first), DateToStr(last)));
        cboPlanScheme->setFocus();
        return false;
    }

    QString stockText;
    if (IsObjectExcluded(filters, QStringLiteral("QZ_MRP.Inventory"))) {
        stockText = NoneText;
    } else {
        const QStringList planStocks = ReadSchemeFilter(filters, QStringLiteral("[QZ_MRP.Stocks]")).split(u'|', Qt::SkipEmptyParts);
        if (planStocks.isEmpty())
            return true;
        for (int i = 0; FStockRoot && i < FStockRoot->childCount(); ++i) {
            QTreeWidgetItem* stock = FStockRoot->child(i);
            bool listed = false;
            for (const QString& id : planStocks)
                listed = listed || id.trimmed().compare(stock->data(0, StockIDRole).toString(), Qt::CaseInsensitive) == 0;
            if (!listed)
                continue;
            if (stock->checkState(0) == Qt::Checked)
                return true;
            stockText += (stockText.isEmpty() ? QString() : QStringLiteral("、")) + stock->text(0);
        }
        if (stockText.isEmpty())
            return true;
    }
    ShowWarning(NoCommonStock.arg(name, stockText));
    cboPlanScheme->setFocus();
    return false;
}

void TInvAgeSetDlg::done(int r)
{
    if (r == QDialog::Accepted && (!SaveScheme() || !CheckPlanScheme()))
        return;
    TDialog::done(r);
}

bool ShowInvAgeSetDlg(PViewScheme AViewScheme)
{
    if (!AViewScheme)
        return false;
    try {
        TInvAgeSetDlg dlg;
        dlg.OrigScheme = AViewScheme;
        dlg.ViewScheme.ID = AViewScheme->ID;
        dlg.ViewScheme.Params = AViewScheme->Params;
        dlg.ViewScheme.Supports = AViewScheme->Supports;
        dlg.ByQuery->SetConnection(GlobalADOConnection);
        {
            WaitCursor hourglass;
            dlg.Prepare();
        }
        if (dlg.exec() != QDialog::Accepted)
            return false;
        AViewScheme->Params = dlg.ViewScheme.Params;
        return true;
    } catch (const std::exception& e) {
        ShowError(DataLoadFailed.arg(QString::fromUtf8(e.what())));
        return false;
    }
}
