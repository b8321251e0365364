#include "untMRPViewUtils.h"

#include "UCommon.h"
#include "untCommonUI.h"
#include "untMRP.h"
#include "untMRPCalendar.h"

#include <QDate>
#include <QDateTime>
#include <QLabel>

QString FillPositionalArgs(const QString& APattern, const QStringList& AArgs)
{
    QString out;
    out.reserve(APattern.size() + 256);
    for (qsizetype i = 0; i < APattern.size(); ++i) {
        const QChar c = APattern[i];
        if (c == u'%') {
            qsizetype j = i + 1;
            int n = 0;
            bool digits = false;
            while (j < APattern.size() && APattern[j].isDigit()) {
                n = n * 10 + APattern[j].digitValue();
                digits = true;
                ++j;
            }
            if (digits && j + 1 < APattern.size() && APattern[j] == u':'
                && (APattern[j + 1] == u'd' || APattern[j + 1] == u's') && n < AArgs.size()) {
                out += AArgs[n];
                i = j + 1;
                continue;
            }
        }
        out += c;
    }
    return out;
}

double VariantToDayNumber(const QVariant& AValue)
{
    if (!AValue.isValid() || AValue.isNull())
        return 0;
    QDateTime dt;
    if (AValue.typeId() == QMetaType::QDateTime || AValue.typeId() == QMetaType::QDate)
        dt = AValue.toDateTime();
    else if (AValue.typeId() == QMetaType::QString)
        dt = StrToDateTime(AValue.toString());
    if (!dt.isValid())
        return AValue.toDouble();
    static const QDate base(1899, 12, 30);
    return double(base.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

void ShowPlanStateLabel(QLabel* ALabel, const TPlanScheme* AScheme)
{
    if (!ALabel)
        return;
    if (!AScheme || AScheme->SchemeIID == 0) {
        ALabel->clear();
        return;
    }
    ALabel->setText(u'(' + AScheme->GetPlanStateText() + u')');
    const int state = AScheme->PlanState;
    const bool changed = state == psSchemeChangedRefetch || state == psMainDemandChanged || state == psSchemeChangedRerun
        || state == psMRPResultChanged;
    QPalette p = ALabel->palette();
    p.setColor(QPalette::WindowText, changed ? QColor(0xFF, 0x00, 0x00) : TColorToQColor(ContentTextColor()));
    ALabel->setPalette(p);
}

void RebuildPeriodColumns(kvui::BandedGrid* AGrid, int ABand, const TPlanPeriods& APeriods, const QString& ANamePrefix,
                          const QString& AFieldName, TPlanPeriodCols& ACols,
                          const std::function<QVariant(int ARecord, int APeriod)>& AValue,
                          const std::function<QString(const QVariant& AValue)>& AText)
{
    AGrid->beginUpdate();
    for (auto it = ACols.rbegin(); it != ACols.rend(); ++it)
        if (auto* column = qobject_cast<kvui::Column*>(it->Column))
            AGrid->removeColumn(column);
    ACols.clear();
    ACols.resize(APeriods.size());
    for (int i = 0; i < int(APeriods.size()); ++i) {
        kvui::Column* column = AGrid->addColumn(BuildPlanPeriodCaptions(APeriods, i), AFieldName, ABand);
        column->setObjectName(ANamePrefix + QString::number(i));
        column->setEditable(false);
        column->setMovable(false);
        column->setFilterable(false);
        column->setWidth(70);
        column->setTag(i + 1);
        column->setEditor(RightAlignedTextItem());
        column->valueHook = [AValue, i](const kvui::RowRef& row) {
            return row.kind == kvui::RowRef::Data ? AValue(row.record, i) : QVariant();
        };
        column->displayTextHook = [AText](const kvui::RowRef&, const QVariant& value, QString& text) { text = AText(value); };
        ACols[size_t(i)] = TPlanPeriodCol{i, column};
    }
    AGrid->endUpdate();
}

bool CopyPeriodSummaries(const kvui::Column* AQtyColumn, const TPlanPeriodCols& ACols)
{
    const kvui::SummaryItem footer = AQtyColumn->footerSummary();
    const kvui::SummaryItem group = AQtyColumn->groupSummary();
    const bool summed = footer.kind != kvui::SummaryKind::None;
    for (const TPlanPeriodCol& pc : ACols) {
        auto* column = qobject_cast<kvui::Column*>(pc.Column);
        if (!column)
            continue;
        if (!summed) {
            column->setFooterSummary(kvui::SummaryKind::None);
            column->setGroupSummary(kvui::SummaryKind::None);
            continue;
        }
        column->setFooterSummary(footer.kind, footer.format);
        column->setGroupSummary(group.kind, group.kind == kvui::SummaryKind::None ? QString() : group.format);
    }
    return summed;
}

int AddPeriodGridBands(kvui::BandedGrid* AGrid)
{
    AGrid->addBand(QString(), kvui::BandFixed::Left);
    AGrid->addBand(QString(), kvui::BandFixed::None);
    const int periodBand = AGrid->addBand(QString(), kvui::BandFixed::None);
    AGrid->band(periodBand).ownColumnsOnly = true;
    AGrid->addBand(QString(), kvui::BandFixed::Right);
    for (int i = 0; i < AGrid->bandCount(); ++i) {
        AGrid->band(i).id = i;
        AGrid->band(i).movable = false;
    }
    return periodBand;
}
