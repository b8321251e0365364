#include "famMRPReplaces.h"

#include "untMRPViewUtils.h"
#include "DataSetSource.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"
#include "untMRP.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString DivertTypeKey = QStringLiteral("[DivertType]");

// Origin types of the supplies and demands (the value list "MrpBillType").
constexpr int otSalesOrder = 2;
constexpr int otExportOrder = 4;
constexpr int otForecast = 8;

} // namespace

QString BuildReplacesCondition(int ASchemeIID, int ADivertType)
{
    const QString orders = QStringLiteral("s.SupOrigType in (%1, %2)").arg(otSalesOrder).arg(otExportOrder);
    QString divert;
    switch (ADivertType) {
    case 1:
        divert = QStringLiteral(" or ") + orders
            + QStringLiteral(" and (s.SupOrigType<>isnull(d.DmdOrigType,0) or s.SupOrigID<>d.DmdOrigID or "
                             "isnull(s.SupOrigEntry,0)<>0 and s.SupOrigEntry<>isnull(d.DmdOrigEntry,0))");
        break;
    case 2:
        divert = QStringLiteral(" or ") + orders
            + QStringLiteral(" and (s.SupOrigType<>isnull(d.DmdOrigType,0) or s.SupOrigID<>d.DmdOrigID)");
        break;
    case 3:
        divert = QStringLiteral(" or ") + orders
            + QStringLiteral(" and (s.SupOrigType<>isnull(d.DmdOrigType,0) or s.SupOrigCustID<>isnull(d.DmdOrigCustID,''))");
        break;
    case 4:
        divert = QStringLiteral(" or s.SupOrigType=%1 and s.SupOrigCustID<>'' and s.SupOrigCustID<>isnull(d.DmdOrigCustID,'')")
                     .arg(otForecast);
        break;
    default:
        break;
    }
    return QStringLiteral("a.AltSchIID=") + QString::number(ASchemeIID) + QStringLiteral(" and (a.AltIsRepl=1") + divert
        + u')';
}

TMRPReplacesFrame::TMRPReplacesFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoGridView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("MRPReplacesFrame"));

    qryReplaces = new TADOQuery(this);
    qryReplaces->setObjectName(QStringLiteral("qryReplaces"));
    SetupADOQuery(qryReplaces);
    qryReplaces->SetConnection(GlobalADOConnection);
    qryReplaces->CommandTimeout = 600;

    grdReplaces = new kvui::BandedGrid(this);
    grdReplaces->setObjectName(QStringLiteral("grdReplaces"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(grdReplaces);

    auto* source = new TLimitedDataSetSource(qryReplaces);
    source->setReadOnly(true);
    FDataSource = source;

    kvui::BandedGrid* g = grdReplaces;
    g->beginUpdate();
    g->setDataSource(FDataSource);
    g->setShowIndicator(true);
    g->setShowGroupByBox(true); // the diversion combo and the state label sit over it
    g->setEditingEnabled(false);
    g->setReadOnly(true);
    g->setShowBandHeaders(true);
    g->addBand(QString(), kvui::BandFixed::Left);
    g->addBand(QString(), kvui::BandFixed::None);
    g->addBand(QString(), kvui::BandFixed::Right);
    for (int i = 0; i < g->bandCount(); ++i) {
        g->band(i).id = i;
        g->band(i).movable = false;
    }
    const auto add = [g](kvui::Column*& column, const char* name, const QString& caption, const char* field, int band,
                         int width) {
        column = g->addColumn(caption, QString::fromLatin1(field), band);
        column->setObjectName(QString::fromLatin1(name));
        column->setEditable(false);
        column->setWidth(width);
    };
    // The fields bound are the table's, not always the components' names.
    add(colDmdBillNo, "colDmdBillNo", QStringLiteral("需求单据编号"), "DmdBillNo", 0, 80);
    add(colDmdItmNo, "colDmdItmNo", QStringLiteral("需求物料代码"), "DmdItmNo", 0, 84);
    add(colDmdDate, "colDmdDate", QStringLiteral("需求日期"), "AltDate", 0, 62);
    add(colDmdBillType, "colDmdBillType", QStringLiteral("需求类型"), "DmdBillType", 1, 58);
    add(colDmdItmName, "colDmdItmName", QStringLiteral("需求物料名称"), "DmdItmName", 1, 89);
    add(colDmdItmSpec, "colDmdItmSpec", QStringLiteral("需求规格型号"), "DmdItmSpec", 1, 87);
    add(colDmdReplQty, "colDmdReplQty", QStringLiteral("需求数量"), "AltReplQty", 1, 58);
    add(colSupBillType, "colSupBillType", QStringLiteral("供应类型"), "SupBillType", 1, 58);
    add(colSupItmName, "colSupItmName", QStringLiteral("供应物料名称"), "SupItmName", 1, 104);
    add(colSupItmSpec, "colSupItmSpec", QStringLiteral("供应规格型号"), "SupItmSpec", 1, 97);
    add(colSupAdjDays, "colSupAdjDays", QStringLiteral("供应调整天数"), "AltAdjDays", 1, 79);
    add(colSupIsRepl, "colSupIsRepl", QStringLiteral("替代"), "AltIsRepl", 2, 30);
    add(colSupBillNo, "colSupBillNo", QStringLiteral("供应单据编号"), "SupBillNo", 2, 82);
    add(colSupItmNo, "colSupItmNo", QStringLiteral("供应物料代码"), "SupItmNo", 2, 85);
    add(colSupQty, "colSupQty", QStringLiteral("供应数量"), "AltQty", 2, 58);
    g->endUpdate();

    // The option and the state label lie above the grid's top right corner.
    cboDivertType = new QComboBox(this);
    cboDivertType->setObjectName(QStringLiteral("cboDivertType"));
    cboDivertType->setEditable(false);
    cboDivertType->setFrame(false);
    cboDivertType->addItems({QStringLiteral("(不显示同料挪用)"), QStringLiteral("显示跨销售订单行挪用"),
                             QStringLiteral("显示跨销售订单挪用"), QStringLiteral("显示跨销售客户挪用"),
                             QStringLiteral("显示跨预测客户挪用")});
    cboDivertType->setCurrentIndex(0);
    cboDivertType->setFixedWidth(138);
    connect(cboDivertType, &QComboBox::currentIndexChanged, this, [this](int) {
        if (FDivertHandlerOn)
            cboDivertTypePropertiesChange();
    });
    lblPlanState = new QLabel(this);
    lblPlanState->setObjectName(QStringLiteral("lblPlanState"));
    lblPlanState->setAttribute(Qt::WA_TranslucentBackground);
    lblPlanState->clear();
    QPalette p = lblPlanState->palette();
    p.setColor(QPalette::WindowText, TColorToQColor(ContentTextColor()));
    lblPlanState->setPalette(p);
    PlaceControls();

    ViewComponent = grdReplaces;
}

TMRPReplacesFrame::~TMRPReplacesFrame()
{
    ++FFocusEventLock;
    if (grdReplaces) {
        grdReplaces->disconnect(this);
        grdReplaces->setDataSource(nullptr);
    }
    delete FDataSource;
}

void TMRPReplacesFrame::PlaceControls()
{
    cboDivertType->move(width() - cboDivertType->width() - 25, 9);
    cboDivertType->raise();
    lblPlanState->adjustSize();
    lblPlanState->move(cboDivertType->x() - lblPlanState->width() - 12, 11);
    lblPlanState->raise();
}

void TMRPReplacesFrame::resizeEvent(QResizeEvent* AEvent)
{
    TInfoGridView::resizeEvent(AEvent);
    PlaceControls();
}

void TMRPReplacesFrame::SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection, const TPlanSchemeUIEvents&)
{
    FPlanScheme = APlanScheme;
    qryReplaces->Close();
    FDataSource->reset();
    qryReplaces->SetConnection(AConnection ? AConnection : GlobalADOConnection);
    DataIsFresh = false;
}

void TMRPReplacesFrame::RefreshPlanState()
{
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0) {
        lblPlanState->clear();
    } else {
        lblPlanState->setText(u'(' + FPlanScheme->GetPlanStateText() + u')');
        const int state = FPlanScheme->PlanState;
        const bool changed = state == psSchemeChangedRefetch || state == psMainDemandChanged
            || state == psSchemeChangedRerun || state == psMRPResultChanged;
        QPalette p = lblPlanState->palette();
        p.setColor(QPalette::WindowText, changed ? QColor(0xFF, 0x00, 0x00) : TColorToQColor(ContentTextColor()));
        lblPlanState->setPalette(p);
    }
    PlaceControls();
}

void TMRPReplacesFrame::ApplyViewScheme()
{
    grdReplaces->beginUpdate();
    FDivertHandlerOn = false;
    struct Restore {
        TMRPReplacesFrame* view;
        ~Restore()
        {
            view->FDivertHandlerOn = true;
            view->grdReplaces->endUpdate();
        }
    } restore{this};
    TInfoGridView::ApplyViewScheme();
    bool ok = false;
    const int index = ReadDelimitedValue(ViewScheme.Params, DivertTypeKey, ViewSchemeParamSeparator).trimmed().toInt(&ok);
    cboDivertType->setCurrentIndex(ok && index >= 0 && index < cboDivertType->count() ? index : 0);
}

void TMRPReplacesFrame::StoreViewScheme()
{
    TInfoGridView::StoreViewScheme();
    ViewScheme.Params = WriteDelimitedValue(ViewScheme.Params, DivertTypeKey, QString::number(cboDivertType->currentIndex()),
                                            ViewSchemeParamSeparator);
}

void TMRPReplacesFrame::cboDivertTypePropertiesChange()
{
    ViewScheme.Params = WriteDelimitedValue(ViewScheme.Params, DivertTypeKey, QString::number(cboDivertType->currentIndex()),
                                            ViewSchemeParamSeparator);
    RefreshData(true);
    grdReplaces->setFocus();
}

void TMRPReplacesFrame::RefreshData(bool ARebuild)
{
    // Without a scheme there is nothing this view could show.
    if (!FPlanScheme)
        return;
    try {
        if (FPlanScheme->PlanType != 0)
            InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
        TInfoGridView::RefreshData(ARebuild);
        if (!ViewScheme.SQLParsed)
            return;
        int rows = -1;
        {
            TMRPWaitCursor hourglass;
            ++FFocusEventLock;
            struct Unlock {
                TMRPReplacesFrame* view;
                ~Unlock()
                {
                    view->FDataSource->reset();
                    --view->FFocusEventLock;
                }
            } unlock{this};
            RefreshPlanState();
            qryReplaces->Close();
            // A scheme without identity has no rows at all.
            if (FPlanScheme->SchemeIID != 0) {
                TRowCapForQuery cap;
                BuiltSQL = BuildSelectSQL(QString(), QString(),
                                          BuildReplacesCondition(FPlanScheme->SchemeIID, cboDivertType->currentIndex()),
                                          QString(), true);
                ExecSQLText(qryReplaces, BuiltSQL, true, true, false);
                rows = qryReplaces->RecordCount();
            }
        }
        if (rows >= 0)
            CheckResultRowLimit(rows);
    } catch (const std::exception& e) {
        qryReplaces->Close();
        FDataSource->reset();
        QApplication::restoreOverrideCursor();
        QString reason;
        if (const auto* ex = dynamic_cast<const Exception*>(&e))
            reason = ex->Message;
        else
            reason = QString::fromUtf8(e.what());
        ShowError(FormatMessage(DataLoadFailed, {reason}));
    }
}

int TMRPReplacesFrame::RowCount() const
{
    return qryReplaces->Active() ? FDataSource->recordCount() : 0;
}

QVariant TMRPReplacesFrame::RowValue(int ARecord, const QString& AFieldName) const
{
    if (ARecord < 0 || ARecord >= RowCount())
        return QVariant();
    const int field = FDataSource->fieldIndex(AFieldName);
    return field < 0 ? QVariant() : FDataSource->value(ARecord, field);
}

void TMRPReplacesFrame::FetchCustomDrawFormat(const kvui::RowRef&, kvui::Column* AItem, bool ASelected, bool, QColor&,
                                              QFont&, QColor& AOutTextColor)
{
    if (ASelected || !AItem)
        return;
    const QString field = AItem->fieldName();
    if (AItem->objectName().left(6).compare(QStringLiteral("colSup"), Qt::CaseInsensitive) == 0
        || field.left(3).compare(QStringLiteral("Sup"), Qt::CaseInsensitive) == 0)
        AOutTextColor = QColor(0x00, 0x00, 0xFF);
}
