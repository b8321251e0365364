// The main-demand view's due-date adjustment: quantities moved into a period
// or taken from an import of per-period quantities, saved in one
// transaction, and the view reloaded where it was.
#include "famMRPMain.h"
#include "famMRPMainShared.h"

#include "EscapeKey.h"
#include "untMRPViewUtils.h"
#include "DataSetSource.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "dlgMRPMainAdj.h"
#include "untMRPCalendar.h"

using untMRPUtils::FloatToText;
using untMRPUtils::PeriodKey;
using untMRPUtils::PeriodKeyToIndex;
using untMRPUtils::QuoteSQL;
using namespace famMRPMainShared;

void TMRPMainFrame::ReloadKeepingPosition()
{
    const QString position = GetViewPosition();
    RefreshData(false);
    SetViewPosition(position);
}

bool TMRPMainFrame::AdjustRowHints(const TPlanPeriods& APeriods, int APeriod, bool AOnlyPast, TDateTime ADate, double AQty,
                                   QString& AHints)
{
    const int d = FindPlanPeriodIndex(APeriods, ADate);
    const QString h = AHints.trimmed();
    const QString allIn = PeriodKey(APeriod) + u'=' + FloatToText(AQty) + CRLF;
    if (h.isEmpty()) {
        if (APeriod > d || (APeriod < d && !AOnlyPast)) {
            AHints = allIn;
            return true;
        }
        return false;
    }
    if (!AOnlyPast) {
        AHints = APeriod == d ? QString() : allIn;
        return true;
    }
    std::map<QString, double> rebuilt;
    bool changed = false;
    for (const QString& line : h.split(CRLF, Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toUpper();
        const double qty = untMRPUtils::TextToFloat(line.mid(eq + 1));
        if (PeriodKeyToIndex(key) < APeriod) {
            rebuilt[PeriodKey(APeriod)] += qty;
            changed = true;
        } else {
            rebuilt[key] += qty;
        }
    }
    if (!changed)
        return false;
    AHints = d >= 0 && sameQty(hintValue(rebuilt, PeriodKey(d)), AQty) ? QString() : writeHints(rebuilt);
    return true;
}

void TMRPMainFrame::AdjustDueDates()
{
    if (!FPlanScheme || !CheckSchemeState(true))
        return;
    int flags = RowCount() > 0 ? mafAdjPeriod : 0;
    if (!ShowMRPMainAdjustDlg(FPlanScheme, flags, FAdjPeriod) || !CheckSchemeState(true))
        return;
    bool changed = false;
    const int sch = FPlanScheme->SchemeIID;
    {
        TMRPWaitCursor hourglass;
        if (flags & mafAdjPeriod) {
            const QString caption = BuildPlanPeriodCaptions(FPlanScheme->MpsPeriods, FAdjPeriod);
            InfoApplication->ShowStatusMessage(
                (flags & mafSelection ? QStringLiteral("正在调整当前所选内容的交期信息至期间\"%1\", 按[Esc]键可以中止...")
                                      : QStringLiteral("正在调整当前视图内容的交期信息至期间\"%1\", 按[Esc]键可以中止..."))
                    .arg(caption),
                mkHint);
            kvos::startEscapeKeyWatch(); // only an Esc pressed during the walk counts
            QList<int> records;
            if (flags & mafSelection) {
                for (int r : grdMain->selectedRows())
                    if (grdMain->row(r).kind == kvui::RowRef::Data)
                        records << grdMain->row(r).record;
            } else {
                for (int r = 0; r < RowCount(); ++r)
                    records << r;
            }
            try {
                QString batch;
                for (int record : records) {
                    if (InfoApplication->CheckEscapeKeyPress(false))
                        break;
                    QString hints = RowValue(record, QStringLiteral("ManHints")).toString();
                    if (!AdjustRowHints(FPlanScheme->MpsPeriods, FAdjPeriod, flags & mafOnlyPast,
                                        dayOf(RowValue(record, QStringLiteral("ManDate"))),
                                        qtyOf(RowValue(record, QStringLiteral("ManQty"))), hints))
                        continue;
                    batch += QStringLiteral("update QZ_MRP_Main set ManHints=%1 where ManSchIID=%2 and ManIID=%3\r")
                                 .arg(QuoteSQL(hints))
                                 .arg(sch)
                                 .arg(RowValue(record, QStringLiteral("ManIID")).toInt());
                    if (batch.size() > 65000) {
                        ExecSQLText(GlobalADOQuery, batch, false, true, false);
                        batch.clear();
                    }
                }
                if (!batch.isEmpty())
                    ExecSQLText(GlobalADOQuery, batch, false, true, false);
            } catch (const std::exception& e) {
                ShowError(errorText(e));
                changed = true;
                flags &= ~mafImport;
            }
        }
        if (flags & mafImport) {
            InfoApplication->ShowStatusMessage(QStringLiteral("正在从外部数据源导入交期调整信息, 按[Esc]键可以中止..."), mkHint);
            FImportQtys.clear();
            changed = InfoApplication->ShowImportData(
                ImportFieldRecs(),
                [this](const TVariantArray& ARecord, TMessageKind& AKind, QString& AText, int& AField) {
                    ImportAdjustments(ARecord, AKind, AText, AField);
                },
                [this](int) { FImportQtys.clear(); }, TNotifyEvent());
        }
        FImportQtys.clear();
        InfoApplication->ShowStatusMessage(QString(), mkHint);
    }
    if (changed || (flags & mafAdjPeriod)) {
        ExecSQLText(GlobalADOQuery,
                    QStringLiteral("update QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null then %1 else %2 end), "
                                   "SchMpsUpdTime=getdate(), SchMaxTime=getdate() where SchIID=%3")
                        .arg(2)
                        .arg(3)
                        .arg(sch),
                    false, false, true);
        RefreshSchemeState();
        // The grid shows what the table holds, also after a stop by Esc.
        ReloadKeepingPosition();
    }
}

TExchangeFieldRecs TMRPMainFrame::ImportFieldRecs() const
{
    const auto cap = [this](const char* f) { return FieldColumn(QString::fromLatin1(f))->caption(); };
    TExchangeFieldRecs recs = {
        {cap("ManBillNo"), 256, fkNormal, 1, QString()}, {cap("ManBillEntry"), 3, fkNormal, 0, QString()},
        {cap("ItmNo"), 256, fkNormal, 1, QString()},     {cap("ManDate"), 7, fkPivotH, 1, QString()},
        {cap("ManQty"), 5, fkPivotH, 1, QString()}};
    const TPlanPeriods periods = FPlanScheme ? FPlanScheme->MpsPeriods : TPlanPeriods();
    for (int i = 0; i < int(periods.size()); ++i)
        recs.append({BuildPlanPeriodCaptions(periods, i), 5, fkPivotV, 2, QString()});
    return recs;
}

void TMRPMainFrame::ImportAdjustments(const TVariantArray& ARecord, TMessageKind& AMessageKind, QString& AMessageText, int&)
{
    AMessageKind = mkNone;
    AMessageText.clear();
    const auto field = [&](int i) { return i < ARecord.size() ? ARecord[i] : QVariant(); };
    const auto mapped = [&](int i) { return field(i).isValid(); };
    const auto cap = [this](const char* f) { return FieldColumn(QString::fromLatin1(f))->caption(); };
    const QString billNo = field(0).isNull() ? QString() : field(0).toString().trimmed();
    const QString itmNo = field(2).isNull() ? QString() : field(2).toString().trimmed();
    QString empty;
    if (billNo.isEmpty())
        empty += u'[' + cap("ManBillNo") + u']';
    if (itmNo.isEmpty())
        empty += u'[' + cap("ItmNo") + u']';
    if (field(3).isValid() && field(3).isNull())
        empty += u'[' + cap("ManDate") + u']';
    if (!empty.isEmpty()) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("字段%1导入内容为空, 忽略导入!").arg(empty);
        return;
    }
    const QString entry = mapped(1) ? QString::number(intOf(field(1))) : QString();
    const int sch = FPlanScheme->SchemeIID;
    ExecSQLText(GlobalADOQuery,
                QStringLiteral("select ManIID, ManDate, ManQty, ManHints from QZ_MRP_Main join QZ_Base_ItemMaster with(nolock) on ManItmID=ItmID")
                    + QStringLiteral(" where ManSchIID=%1 and ManBillNo=%2 and ItmNo=%3 %4 and ManQty>0 order by ManBillType, ManDate, ManBillEntry")
                          .arg(QString::number(sch), QuoteSQL(billNo), QuoteSQL(itmNo),
                               entry.isEmpty() ? QString() : QStringLiteral(" and ManBillEntry=") + entry),
                true, true, false);
    struct Row {
        int iid;
        int due;
        double qty;
        std::vector<std::pair<QString, double>> src;  // source lines with what is left
        std::map<QString, double> spread;
        bool received = false;
    };
    std::vector<Row> rows;
    const TPlanPeriods& periods = FPlanScheme->MpsPeriods;
    for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
        Row r;
        r.iid = GlobalADOQuery->FieldValues(QStringLiteral("ManIID")).toInt();
        r.due = FindPlanPeriodIndex(periods, dayOf(GlobalADOQuery->FieldValues(QStringLiteral("ManDate"))));
        r.qty = qtyOf(GlobalADOQuery->FieldValues(QStringLiteral("ManQty")));
        const QString hints = GlobalADOQuery->FieldValues(QStringLiteral("ManHints")).toString().trimmed();
        if (hints.isEmpty())
            r.src.push_back({PeriodKey(r.due), r.qty});
        else
            for (const auto& [k, q] : readHints(hints))
                r.src.push_back({k, q});
        rows.push_back(std::move(r));
    }
    if (rows.empty()) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("当前计划方案中不存在此需求记录, 或此需求无计划数量!\r\r需求单号: %1\r需求行: %2\r物料代码: %3")
                           .arg(billNo, entry, itmNo);
        return;
    }
    QString key = billNo + QChar(0xF8F5) + entry + QChar(0xF8F5) + itmNo;
    key.replace(u'=', QChar(0x20AC));
    std::map<QString, double> a = FImportQtys[key];
    bool any = false;
    if (!mapped(3)) {
        for (int i = 0; i < int(periods.size()); ++i) {
            const double v = qtyOf(field(5 + i));
            if (v > 0) {
                a[PeriodKey(i)] += v;
                any = true;
            }
        }
    } else {
        const double v = qtyOf(field(4));
        const int p = FindPlanPeriodIndex(periods, dayOf(field(3)));
        if (v > 0 && p >= 0) {
            a[PeriodKey(p)] += v;
            any = true;
        }
    }
    if (!any) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("导入内容无计划数量, 或计划数量不大于0, 忽略导入。");
        return;
    }
    FImportQtys[key] = a;

    QString batch;
    const auto queue = [&](Row& r) {
        if (r.due >= 0 && sameQty(hintValue(r.spread, PeriodKey(r.due)), r.qty))
            r.spread.clear();
        batch += QStringLiteral("update QZ_MRP_Main set ManHints=%1 where ManSchIID=%2 and ManIID=%3\r")
                     .arg(QuoteSQL(writeHints(r.spread)))
                     .arg(sch)
                     .arg(r.iid);
    };
    size_t rowIdx = 0, srcIdx = 0;
    double excess = 0;
    QString lastKey;
    for (const auto& [k, qty] : a) {
        double r = qty;
        while (r > 1e-12) {
            if (rowIdx >= rows.size()) {
                excess += r;
                break;
            }
            Row& row = rows[rowIdx];
            if (srcIdx >= row.src.size()) {
                queue(row);
                ++rowIdx;
                srcIdx = 0;
                continue;
            }
            const double m = std::min(r, row.src[srcIdx].second);
            row.spread[k] += m;
            row.received = true;
            row.src[srcIdx].second -= m;
            r -= m;
            lastKey = k;
            if (row.src[srcIdx].second <= 1e-12)
                ++srcIdx;
        }
    }
    if (rowIdx < rows.size()) {
        Row& row = rows[rowIdx];
        bool left = false;
        for (size_t i = srcIdx; i < row.src.size(); ++i) {
            if (row.src[i].second <= 1e-12)
                continue;
            left = true;
            row.spread[row.src[i].first < lastKey ? lastKey : row.src[i].first] += row.src[i].second;
        }
        if (row.received || !left)
            if (row.received)
                queue(row);
    }
    if (!batch.isEmpty())
        ExecSQLText(GlobalADOQuery, batch, false, true, false);
    if (excess > 1e-9) {
        AMessageKind = mkWarning;
        AMessageText = QStringLiteral("导入的计划数量大于相应需求单实际的计划数量, 超出的计划数量(%1)忽略导入。")
                           .arg(QString::asprintf("%f", excess));
    }
}
