#include "untMRPminiSet.h"

#include "BandedGrid.h"
#include "DataSetSource.h"
#include "TreeList.h"
#include "untMRPFilters.h"

#include "MessageBox.h"
#include "UDBComm.h"
#include "UCommon.h"
#include "untApplication.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

using untMRPUtils::QuoteSQL;
using untMRPUtils::SQLQty;

namespace {

const QDate DayZero(1899, 12, 30);
// A batch is sent as soon as it grows beyond this many characters.
constexpr int MaxBatchChars = 65000;
const QString ErrorGuard = QStringLiteral("\rif @@error<>0\rreturn\r");

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, bool checked)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    return c;
}

QComboBox* makeCombo(QWidget* parent, const char* name, const QStringList& items)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->addItems(items);
    c->setCurrentIndex(items.isEmpty() ? -1 : 0);
    return c;
}

int indexOrZero(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

QString quoted(const QVariant& v)
{
    return QuoteSQL(v.isNull() ? QString() : v.toString());
}

QString intOrNull(const QVariant& v)
{
    return v.isNull() || v.toString().trimmed().isEmpty() ? QStringLiteral("null") : QString::number(v.toInt());
}

QString dayText(const QVariant& v)
{
    const QDate d = v.toDate();
    return d.isValid() ? QuoteSQL(d.toString(QStringLiteral("yyyyMMdd"))) : QStringLiteral("null");
}

} // namespace

QString MiniCaptionText(QString ACaption)
{
    const int amp = ACaption.indexOf(QStringLiteral("(&"));
    if (amp >= 0)
        ACaption = ACaption.left(amp);
    return ACaption.remove(u'&').remove(u':').trimmed();
}

QDate MiniValueToDate(const QVariant& AValue)
{
    if (AValue.typeId() == QMetaType::QDateTime)
        return AValue.toDateTime().date();
    if (AValue.typeId() == QMetaType::QDate)
        return AValue.toDate();
    const QString text = AValue.toString().trimmed();
    if (text.isEmpty())
        return QDate();
    QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid())
        d = StrToDateTime(text).date();
    return d;
}

QString MiniFieldItemsSQL(const QString& AObjectID, std::initializer_list<const char*> AFields)
{
    QString out;
    for (const char* f : AFields) {
        QString item;
        if (BuildFieldValueCaseSQL(AObjectID, QLatin1String(f), item) && !item.isEmpty()) {
            if (!item.endsWith(u','))
                item += u',';
            out += u' ' + item;
        }
    }
    return out;
}

TDateTime MiniDateToDateTime(const QDate& ADate)
{
    return TDateTime(DayZero.daysTo(ADate));
}

QDate MiniDateTimeToDate(TDateTime ADateTime)
{
    return DayZero.addDays(untMRPUtils::DateToDay(ADateTime));
}

TPlanPeriods BuildMiniPlanPeriods(const QDate& AToday, const QDate& AMaxDate)
{
    const QDate start = AToday.addDays(-1);
    const QDate maxDate = AMaxDate < AToday ? AToday : AMaxDate;
    qint64 days = std::max<qint64>(1, start.daysTo(maxDate));
    const bool tail = days > 30;
    if (tail)
        days = 30;
    TPlanPeriods periods;
    periods.push_back({ppkDelay, 0, MiniDateToDateTime(start)});
    for (qint64 i = 1; i <= days; ++i) {
        const TDateTime d = MiniDateToDateTime(start.addDays(i));
        periods.push_back({ppkNormal, d, d});
    }
    if (tail)
        periods.push_back({ppkNormal, MiniDateToDateTime(start.addDays(31)), MiniDateToDateTime(maxDate)});
    periods.push_back({ppkExceed, MiniDateToDateTime(maxDate.addDays(1)), TDateTime(untMRPUtils::MaxDay)});
    return periods;
}

// ---- Filter tree ---------------------------------------------------------

void LoadMiniMRPFilters(kvui::TreeList* ATree, const QString& ADataFilters)
{
    TMRPFilterTree::TUpdateGuard guard(ATree);
    ATree->clear();
    struct Node {
        int type;
        const char* id;
        bool onlyWhenListed;
    };
    static const Node nodes[] = {{34, "QZ_MRP.MR", true},  {22, "QZ_MRP.MO", false}, {80, "QZ_MRP.MOScrap", true},
                                 {36, "QZ_MRP.OR", true},  {24, "QZ_MRP.OO", false}, {38, "QZ_MRP.PR", false},
                                 {26, "QZ_MRP.PO", false}, {28, "QZ_MRP.PI", true},  {16, "QZ_MRP.Inventory", false}};
    for (const Node& n : nodes)
        if (!n.onlyWhenListed || InfoApplication->SystemEnumExists(QStringLiteral("MrpBillType"), n.type))
            TMRPFilterTree::MRPFiltersAddItem(ATree, n.type, QString::fromLatin1(n.id), ADataFilters);
    if (ATree->topCount() > 0)
        ATree->setFocusedNode(ATree->topNode(0));
}

void MiniMRPFiltersChecked(const kvui::TreeList* ATree, bool& AAnySource, bool& AOrders)
{
    AAnySource = false;
    AOrders = false;
    for (int i = 0; i < ATree->topCount(); ++i) {
        const kvui::TreeNode* node = ATree->topNode(i);
        if (!TMRPFilterTree::IsBillTypeNode(node) || node->imageIndex() == MRPBillTypes::Inventory || !node->isChecked())
            continue;
        AAnySource = true;
        if (node->imageIndex() == 22 || node->imageIndex() == 24)
            AOrders = true;
    }
}

// ---- Options -------------------------------------------------------------

TMiniOptionsPage BuildMiniOptionsPage(QWidget* ATab, QObject* AOwner, bool AWithMainGross)
{
    TMiniOptionsPage page;
    auto* lblFilters = new QLabel(QStringLiteral("参与范围(&C):"), ATab);
    page.Filters = new kvui::TreeList(ATab);
    page.Filters->setObjectName(QStringLiteral("trlMRPFilters"));
    lblFilters->setBuddy(page.Filters);
    TMRPFilterTree::MRPFiltersSetupTree(page.Filters);
    page.Filters->setShowIndicator(false);
    if (kvui::Column* caption = page.Filters->columns().value(0))
        caption->setWidth(300);
    QAction* action = page.SetFilter = new QAction(QStringLiteral(" 条件(&L)..."), AOwner);
    action->setObjectName(QStringLiteral("actSetMRPFilter"));
    auto* btnSetMRPFilter = new QPushButton(action->text(), ATab);
    btnSetMRPFilter->setObjectName(QStringLiteral("btnSetMRPFilter"));
    QObject::connect(btnSetMRPFilter, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, btnSetMRPFilter,
                     [action, btnSetMRPFilter] { btnSetMRPFilter->setEnabled(action->isEnabled()); });
    auto* filterColumn = new QVBoxLayout;
    filterColumn->addWidget(lblFilters);
    filterColumn->addWidget(page.Filters, 1);
    auto* filterButtons = new QHBoxLayout;
    filterButtons->addStretch();
    filterButtons->addWidget(btnSetMRPFilter);
    filterColumn->addLayout(filterButtons);
    page.Options = new TMRPminiOptionsBox(AWithMainGross, ATab);
    auto* optBox = new QHBoxLayout(ATab);
    optBox->addLayout(filterColumn, 1);
    optBox->addWidget(page.Options, 1);
    return page;
}

TMRPminiOptionsBox::TMRPminiOptionsBox(bool AWithMainGross, QWidget* parent)
    : QGroupBox(QStringLiteral(" 选项: "), parent)
{
    setObjectName(QStringLiteral("gbxOptions"));
    if (AWithMainGross)
        chkMainGross = makeCheck(this, "chkMainGross", QStringLiteral("主需求自身只计算毛需求(&A)"), true);
    chkCurrentBOM = makeCheck(this, "chkCurrentBOM", QStringLiteral("仅展开单级物料清单(&D)"), false);
    chkCareSafety = makeCheck(this, "chkCareSafety", QStringLiteral("考虑安全库存(&S)"), true);
    chkCareAlloted = makeCheck(this, "chkCareAlloted", QStringLiteral("考虑目标需求之外的预计出库量(&W)"), true);
    lblCareItemReplace = new QLabel(QStringLiteral("物料替代(&R):"), this);
    cboCareItemReplace = makeCombo(this, "cboCareItemReplace",
                                   {QStringLiteral("(不考虑)"), QStringLiteral("即时库存"), QStringLiteral("即时库存+供应订单"),
                                    QStringLiteral("即时库存+供应订单+供应申请")});
    lblCareItemSuites = new QLabel(QStringLiteral("齐套计算(&T):"), this);
    cboCareItemSuites = makeCombo(this, "cboCareItemSuites",
                                  {QStringLiteral("即时库存"), QStringLiteral("即时库存+采购在检"), QStringLiteral("即时库存+采购订单"),
                                   QStringLiteral("即时库存+采购订单+采购申请")});
    lblCareMRPTrackMode = new QLabel(QStringLiteral("跟踪合并(&H):"), this);
    cboCareMRPTrackMode = makeCombo(this, "cboCareMRPTrackMode", {});
    if (InfoApplication)
        if (TSystemEnumList* tracks = InfoApplication->GetSystemEnumList(QStringLiteral("MrpTrackType")))
            for (int i = 0; i < tracks->Count(); ++i)
                cboCareMRPTrackMode->addItem(tracks->Strings(i), tracks->Objects(i));
    cboCareMRPTrackMode->setCurrentIndex(cboCareMRPTrackMode->count() > 0 ? 0 : -1);
    chkCareItemMRPTrack = makeCheck(this, "chkCareItemMRPTrack", QStringLiteral("考虑物料的计划跟踪合并参数(&I)"), true);
    chkCareLossRate = makeCheck(this, "chkCareLossRate", QStringLiteral("考虑BOM损耗率(&B)"), true);
    chkCareLotRule = makeCheck(this, "chkCareLotRule", QStringLiteral("考虑供应批量规则(&O)"), false);
    lblCareItemReplace->setBuddy(cboCareItemReplace);
    lblCareItemSuites->setBuddy(cboCareItemSuites);
    lblCareMRPTrackMode->setBuddy(cboCareMRPTrackMode);

    auto* grid = new QGridLayout(this);
    int row = 0;
    if (chkMainGross)
        grid->addWidget(chkMainGross, row++, 0, 1, 2);
    for (QCheckBox* c : {chkCurrentBOM, chkCareSafety, chkCareAlloted})
        grid->addWidget(c, row++, 0, 1, 2);
    grid->addWidget(lblCareItemReplace, row, 0);
    grid->addWidget(cboCareItemReplace, row++, 1);
    grid->addWidget(lblCareItemSuites, row, 0);
    grid->addWidget(cboCareItemSuites, row++, 1);
    grid->addWidget(lblCareMRPTrackMode, row, 0);
    grid->addWidget(cboCareMRPTrackMode, row++, 1);
    for (QCheckBox* c : {chkCareItemMRPTrack, chkCareLossRate, chkCareLotRule})
        grid->addWidget(c, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

void TMRPminiOptionsBox::LoadOptions(const QString& AParams)
{
    const QStringList words = ReadViewSchemeParam(AParams, QStringLiteral("[CareOptions]")).split(u'|');
    const auto has = [&words](const char* w) { return words.contains(QString::fromLatin1(w), Qt::CaseInsensitive); };
    if (chkMainGross)
        chkMainGross->setChecked(!has("NetMain"));
    chkCurrentBOM->setChecked(has("CurBom"));
    chkCareSafety->setChecked(has("Safety"));
    chkCareAlloted->setChecked(has("Alloted"));
    chkCareLossRate->setChecked(has("LossRate"));
    chkCareLotRule->setChecked(has("LotRule"));
    chkCareItemMRPTrack->setChecked(has("ItemTrack"));
    const auto pick = [](QComboBox* c, int index) { c->setCurrentIndex(index >= 0 && index < c->count() ? index : 0); };
    pick(cboCareItemReplace, indexOrZero(ReadViewSchemeParam(AParams, QStringLiteral("[CareReplace]"))));
    pick(cboCareItemSuites, indexOrZero(ReadViewSchemeParam(AParams, QStringLiteral("[CareSuites]"))));
    const int track = indexOrZero(ReadViewSchemeParam(AParams, QStringLiteral("[CareMRPTrack]")));
    cboCareMRPTrackMode->setCurrentIndex(cboCareMRPTrackMode->findData(track));
}

QString TMRPminiOptionsBox::SaveOptions(const QString& AParams) const
{
    QString words;
    if (chkMainGross && !chkMainGross->isChecked())
        words += QStringLiteral("NetMain|");
    const std::pair<QCheckBox*, const char*> boxes[] = {{chkCurrentBOM, "CurBom|"},   {chkCareSafety, "Safety|"},
                                                        {chkCareAlloted, "Alloted|"}, {chkCareLossRate, "LossRate|"},
                                                        {chkCareLotRule, "LotRule|"}, {chkCareItemMRPTrack, "ItemTrack|"}};
    for (const auto& [box, word] : boxes)
        if (box->isChecked())
            words += QString::fromLatin1(word);
    QString p = WriteViewSchemeParam(AParams, QStringLiteral("[CareOptions]"), words);
    p = WriteViewSchemeParam(p, QStringLiteral("[CareReplace]"), QString::number(cboCareItemReplace->currentIndex()));
    p = WriteViewSchemeParam(p, QStringLiteral("[CareSuites]"), QString::number(cboCareItemSuites->currentIndex()));
    return WriteViewSchemeParam(p, QStringLiteral("[CareMRPTrack]"), QString::number(TrackModeID()));
}

int TMRPminiOptionsBox::TrackModeID() const
{
    if (cboCareMRPTrackMode->count() == 0)
        return 0;
    const int index = std::max(0, cboCareMRPTrackMode->currentIndex());
    return cboCareMRPTrackMode->itemData(index).toInt();
}

void TMRPminiOptionsBox::ApplyToScheme(TPlanScheme& AScheme) const
{
    AScheme.CareItemSafety = chkCareSafety->isChecked() ? 1 : 0;
    AScheme.CareItemReplace = cboCareItemReplace->currentIndex();
    AScheme.CareItemSuites = cboCareItemSuites->currentIndex();
    AScheme.CareMRPTrackMode = TrackModeID();
    AScheme.CareItemMRPTrack = chkCareItemMRPTrack->isChecked();
    AScheme.CareItemLossRate = chkCareLossRate->isChecked();
    AScheme.CareItemLotRule = chkCareLotRule->isChecked();
}

// ---- Lines and main demand -----------------------------------------------

kvui::Column* MiniGridColumn(const kvui::BandedGrid* AGrid, const QString& AFieldName)
{
    for (kvui::Column* c : AGrid->columns())
        if (c->fieldName().compare(AFieldName, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

QString MiniMainFieldID(const QString& AField)
{
    if (AField == QLatin1String("ManGroupType"))
        return QStringLiteral("MRPGroupType");
    if (AField == QLatin1String("ManGroupNo"))
        return QStringLiteral("MRPGroupNo");
    return AField.mid(3);
}

void SetupMiniColumnFromDefinition(TInfoObjectDef* AMainDef, kvui::Column* AColumn, const QString& AFieldID)
{
    const TInfoFieldDef* f = AMainDef ? AMainDef->GetFieldDef(AFieldID) : nullptr;
    AColumn->setVisible(f && !f->HideList);
    if (f) {
        AColumn->setCaption(f->Name);
        SetupGridColumnEditor(*f, AColumn);
    }
}

void OpenMiniLines(TADOQuery* AQuery, const QString& ASQL, kvui::DataSetSource*& ASource, kvui::BandedGrid* AGrid)
{
    ExecSQLText(AQuery, ASQL, true, true, false);
    if (!ASource)
        ASource = new kvui::DataSetSource(AQuery);
    else
        ASource->reset();
    AGrid->setDataSource(ASource);
}

void ApplyMiniPeriods(TPlanScheme& AScheme, const QDate& AToday, const QDate& AMaxDate)
{
    AScheme.PlanPeriods = BuildMiniPlanPeriods(AToday, AMaxDate);
    AScheme.PlanCalIID = 1;
    AScheme.MpsCalIID = 1;
    AScheme.MpsPeriods = AScheme.PlanPeriods;
    AScheme.PlanState = psSchemeChangedRerun;
}

int MiniLinePeriod(const TPlanScheme& AScheme, const QVariant& ADate, const QDate& AToday)
{
    const QDate date = MiniValueToDate(ADate);
    return FindPlanPeriodIndex(AScheme.MpsPeriods, MiniDateToDateTime(date.isValid() ? date : AToday));
}

QString BuildMiniMainInsertSQL(int ASchemeIID, int AManIID, int APeriod, int ABillEntry, bool ABomFromLine,
                               const TMiniLineValue& AValue)
{
    const auto v = [&AValue](const char* f) { return AValue(QString::fromLatin1(f)); };
    const auto q = [&v](const char* f) { return quoted(v(f)); };
    QStringList values{QString::number(ASchemeIID),
                       QString::number(AManIID),
                       QString::number(APeriod),
                       QString::number(v("ManBillType").toInt()),
                       q("ManBillID"),
                       q("ManBillNo"),
                       QString::number(ABillEntry),
                       dayText(v("ManBillDate")),
                       SQLQty(v("ManBillQty").toDouble()),
                       q("ManDeptID"),
                       q("ManSuppID"),
                       intOrNull(v("ManOrigType")),
                       q("ManOrigID"),
                       q("ManOrigNo"),
                       intOrNull(v("ManOrigEntry")),
                       q("ManOrigItmID"),
                       q("ManOrigCustID"),
                       q("ManOrigCustPO"),
                       q("ManOrigTag"),
                       q("ManOrigSubTag"),
                       QString::number(v("ManGroupType").toInt()),
                       q("ManGroupNo"),
                       q("ManItmID"),
                       q("ManItmProps")};
    for (int k = 1; k <= 10; ++k)
        values << quoted(AValue(QStringLiteral("ManItmProp%1").arg(k)));
    values << dayText(v("ManDate")) << QString::number(v("ManPriority").toInt());
    if (ABomFromLine)
        values << QString::number(v("ManBomType").toInt()) << q("ManBomID");
    else
        values << QStringLiteral("0") << QStringLiteral("null");
    values << SQLQty(v("ManQty").toDouble()) << SQLQty(v("ManQty").toDouble()) << q("ManNote");
    return QStringLiteral(
               "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, "
               "ManBillDate, ManBillQty, ManDeptID, ManSuppID,ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, "
               "ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo,"
               "ManItmID, ManItmProps, ManItmProp1, ManItmProp2, ManItmProp3, ManItmProp4, ManItmProp5, ManItmProp6, "
               "ManItmProp7, ManItmProp8, ManItmProp9, ManItmProp10,ManDate, ManPriority, ManBomType, ManBomID, "
               "ManExeQty, ManDedQty, ManNeedQty, ManQty, ManNote)\r values (%1, 0, 0, %2, %3, %4)\r")
               .arg(values.mid(0, 38).join(QStringLiteral(", ")), values.at(38), values.at(39), values.at(40))
           + ErrorGuard;
}

bool SaveMiniSchemeAndMain(TPlanScheme& AScheme, const QStringList& AInserts)
{
    std::unique_ptr<TADOQuery> query(AScheme.NewSchemeQuery());
    kvado::ScopedTransaction tran(AScheme.Connection());
    if (!AScheme.Save())
        return false;
    const QString mps = QStringLiteral("update QZ_MRP_Schemes set SchMpsCalIID=%1, SchMpsPeriods=%2 where SchIID=%3")
                            .arg(QString::number(AScheme.MpsCalIID), QuoteSQL(PlanPeriodsToText(AScheme.MpsPeriods)),
                                 QString::number(AScheme.SchemeIID));
    if (!ExecSQLText(query.get(), mps, false, false, true))
        return false;
    QString batch = QStringLiteral("delete QZ_MRP_Main where ManSchIID=%1").arg(AScheme.SchemeIID) + ErrorGuard;
    for (const QString& insert : AInserts) {
        batch += insert;
        if (batch.size() > MaxBatchChars) {
            ExecSQLText(query.get(), batch, false, true, false);
            batch.clear();
        }
    }
    if (!batch.isEmpty())
        ExecSQLText(query.get(), batch, false, true, false);
    tran.Commit();
    return true;
}
