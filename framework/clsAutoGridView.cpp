#include "clsAutoGridView.h"

#include "DataSetSource.h"
#include "DisplayFormat.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QLocale>
#include <QVBoxLayout>

namespace {

const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");

} // namespace

int GetVariantSign(const QVariant& AValue)
{
    if (!AValue.isValid() || AValue.isNull())
        return 0;
    if (AValue.typeId() == QMetaType::Bool)
        return AValue.toBool() ? -1 : 0;
    double number = 0;
    if (kvui::isNumeric(AValue)) {
        number = AValue.toDouble();
    } else {
        const QString text = AValue.toString().trimmed();
        if (text.isEmpty())
            return 0;
        bool ok = false;
        number = QLocale::c().toDouble(text, &ok);
        if (!ok)
            return 0;
    }
    return number < 0 ? -1 : (number > 0 ? 1 : 0);
}

TAutoGridView::TAutoGridView(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TInfoGridView(AOwner, AObjectDef)
{
}

TAutoGridView::~TAutoGridView()
{
    // No event reaches the owner while the rows go.
    ++FFocusEventLock;
    if (kvui::BandedGrid* grid = GridView()) {
        grid->disconnect(this);
        grid->setDataSource(nullptr);
    }
    delete FDataSource;
}

void TAutoGridView::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    // 1. The query and no list of dynamic columns: every column is made by the scheme.
    FDefaultQuery = new TADOQuery(this);
    FDefaultQuery->SetConnection(GlobalADOConnection);
    SetupADOQuery(FDefaultQuery);
    FBizClosedCol = FBizToDoCol = FBizWarningCol = FBizErrorCol = -1;
    FDynamicColumns.reset();

    // 2. The grid fills the view.
    auto* grid = new kvui::BandedGrid(this);
    grid->setObjectName(QStringLiteral("cxGrid"));
    if (!layout()) {
        auto* box = new QVBoxLayout(this);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    layout()->addWidget(grid);
    ViewComponent = grid;
    grid->show();

    // 3.-5. Inside one update of the grid.
    grid->beginUpdate();
    try {
        grid->setShowBandHeaders(false);
        grid->setEditingEnabled(false);
        grid->setReadOnly(true);
        auto* source = new TLimitedDataSetSource(FDefaultQuery);
        source->setReadOnly(true);
        FDataSource = source;
        grid->setDataSource(FDataSource);
        grid->addBand(QString(), kvui::BandFixed::Left);
        grid->addBand(QString(), kvui::BandFixed::None);
        grid->addBand(QString(), kvui::BandFixed::Right);
        TInfoGridView::InitializeView(AViewAsDetailID, AMasterView);
        grid->setShowGroupByBox(!AsDetail);
    } catch (...) {
        grid->endUpdate();
        throw;
    }
    grid->endUpdate();
}

void TAutoGridView::ApplyViewScheme()
{
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return;
    grid->beginUpdate();
    try {
        grid->clearColumns();
        FBizClosedCol = FBizToDoCol = FBizWarningCol = FBizErrorCol = -1;
        const QString fieldList = GetSchemeFieldList();
        if (ObjectDef) {
            for (const TInfoFieldDef& field : ObjectDef->Fields) {
                if (!field.IsPrimary && !field.HideList && field.ViewSign == vsNormal
                    && !DelimitedListContains(fieldList, field.ID, QStringLiteral("|")))
                    continue;
                const int band = field.Layout == flFixedLeft ? 0 : (field.Layout == flFixedRight ? 2 : 1);
                kvui::Column* column = grid->addColumn(field.Name, field.ID, band);
                column->setEditable(false);
                column->setSortable(!field.HideSort);
                column->setFilterable(!field.HideList && !field.HideFilter);
                column->setWidth(70);
                SetupGridColumnEditor(field, column);
                switch (field.ViewSign) {
                case vsBizClosed:
                    FBizClosedCol = column->index();
                    break;
                case vsBizToDo:
                    FBizToDoCol = column->index();
                    break;
                case vsBizWarning:
                    FBizWarningCol = column->index();
                    break;
                case vsBizError:
                    FBizErrorCol = column->index();
                    break;
                default:
                    break;
                }
            }
            // One hidden column per action with a row filter: 1 where the action applies.
            for (auto i = ObjectDef->Actions.size(); i-- > 0;) {
                const TInfoActionDef& action = ObjectDef->Actions[i];
                if (action.Filter.isEmpty())
                    continue;
                kvui::Column* column = grid->addColumn(QString(), u'#' + action.ID, 1);
                column->setEditable(false);
                column->setVisible(false);
            }
        }
        TInfoGridView::ApplyViewScheme();
    } catch (...) {
        grid->endUpdate();
        throw;
    }
    grid->endUpdate();
}

void TAutoGridView::RefreshData(bool ARebuild)
{
    TInfoGridView::RefreshData(ARebuild);
    if (!ViewScheme.SQLParsed || !FDefaultQuery)
        return;
    bool loaded = false;
    QString failure;
    {
        // The focused-row event fires once below, not while the rows are replaced.
        ++FFocusEventLock;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            if (ARebuild || AsDetail || BuiltSQL.isEmpty()) {
                TRowCapForQuery cap;
                BuiltSQL = BuildSelectSQL(QString(), QString(), QString(), QString(), true);
            }
            FDefaultQuery->Close();
            ExecSQLText(FDefaultQuery, BuiltSQL, true, true, false);
            loaded = true;
        } catch (const Exception& e) {
            failure = e.Message;
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        if (!loaded)
            FDefaultQuery->Close();
        FDataSource->reset();
        QApplication::restoreOverrideCursor();
        --FFocusEventLock;
    }
    if (loaded)
        CheckResultRowLimit(FDefaultQuery->RecordCount());
    else
        ShowError(FormatMessage(DataLoadFailed, {failure}));
    // The focused row now holds a record of the new result, even at the same place.
    DoFocusedRecordChanged();
}

int TAutoGridView::signOf(int ARecord, int AColumnIndex) const
{
    kvui::BandedGrid* grid = GridView();
    if (!grid || AColumnIndex < 0 || AColumnIndex >= grid->columnCount())
        return 0;
    return GetVariantSign(grid->value(ARecord, grid->column(AColumnIndex)));
}

void TAutoGridView::FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column*, bool ASelected, bool, QColor& AOutBrush,
                                          QFont&, QColor& AOutTextColor)
{
    if (ASelected || ARecord.kind != kvui::RowRef::Data || ARecord.record < 0)
        return;
    const int record = ARecord.record;
    if (signOf(record, FBizErrorCol) == -1) {
        AOutBrush = TColorToQColor(BizErrorBackColor);
        return;
    }
    if (signOf(record, FBizWarningCol) == -1) {
        AOutTextColor = TColorToQColor(BizWarningTextColors[0]);
        return;
    }
    const bool closed = signOf(record, FBizClosedCol) == -1;
    if (closed)
        AOutTextColor = TColorToQColor(BizClosedTextColor);
    const int toDo = signOf(record, FBizToDoCol);
    if (toDo == -1)
        AOutTextColor = TColorToQColor(BizToDoTextColor);
    else if (toDo == 1 && closed)
        AOutTextColor = TColorToQColor(BizToDoClosedTextColor);
}
