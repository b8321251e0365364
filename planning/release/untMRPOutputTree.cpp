#include "untMRPOutputTree.h"

#include "UCommon.h"
#include "untMRPOutputQty.h"
#include "untMRPUtils.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

const QString OutputMsgZeroUnitRate = QStringLiteral("换算单位的换算率为0, 不能换算拟投放数!");
const QString OutputMsgZeroPlanQty = QStringLiteral("计划数量为0, 拟投放数不能折算到上级!");
const QString OutputMsgZeroSubQty = QStringLiteral("替代比例中有0, 不能计算替代料的计划数量!");

bool OutputIsNone(const QVariant& AValue)
{
    return !AValue.isValid() || AValue.isNull();
}

double OutputNumber(const QVariant& AValue)
{
    if (OutputIsNone(AValue))
        return 0;
    bool ok = false;
    const double d = AValue.toDouble(&ok);
    return ok ? d : 0;
}

namespace {

double get(const TMRPOutputTreeAccess& A, const void* n, TMRPOutputQtyField f)
{
    return OutputNumber(A.Get(n, f));
}

// Sets the converted quantity of a row from its stock-unit quantity; a row
// whose unit has no rate says so instead.
void setConverted(TMRPOutputTreeAccess& A, const void* n, double AQty)
{
    QVariant u;
    const bool ok = OutputQtyInUnit(AQty, A.Get(n, oqUnitRate), u);
    A.Set(n, oqDoDestQtyU, u);
    A.SetMessage(n, ok ? QString() : OutputMsgZeroUnitRate);
}

double openQty(const TMRPOutputTreeAccess& A, const void* n)
{
    return get(A, n, oqQty) - get(A, n, oqDestQty);
}

} // namespace

double OutputRound8(double AValue)
{
    return untMRPUtils::RoundTo(AValue, 8);
}

bool OutputQtyGreater(double A, double B)
{
    const double tolerance = std::max(std::min(std::fabs(A), std::fabs(B)) * 1e-12, 1e-12);
    return A - B > tolerance;
}

bool IsOutputRowOpen(const TMRPOutputTreeAccess& A, const void* ANode)
{
    for (const void* n = ANode; n; n = A.Parent(n))
        if (!OutputQtyGreater(get(A, n, oqQty), get(A, n, oqDestQty)))
            return false;
    return true;
}

bool OutputQtyInUnit(double AQty, const QVariant& ARate, QVariant& AResult)
{
    const double rate = OutputNumber(ARate);
    if (rate == 0) {
        AResult = QVariant();
        return false;
    }
    AResult = OutputRound8(AQty / rate);
    return true;
}

void EditOutputQty(TMRPOutputTreeAccess& A, const void* ANode, const QVariant& AValue, bool AInStockUnit)
{
    double qty = OutputNumber(AValue);
    if (AInStockUnit) {
        A.Set(ANode, oqDoDestQty, qty);
        setConverted(A, ANode, qty);
    } else {
        qty = OutputRound8(qty * get(A, ANode, oqUnitRate));
        A.Set(ANode, oqDoDestQty, qty);
        A.Set(ANode, oqDoDestQtyU, OutputNumber(AValue));
        A.SetMessage(ANode, OutputNumber(A.Get(ANode, oqUnitRate)) == 0 ? OutputMsgZeroUnitRate : QString());
    }
    A.Set(ANode, oqUnDestQty, OutputRound8(openQty(A, ANode) - qty));
    if (A.Level(ANode) > 0)
        RecalcOutputFromChildren(A, A.Parent(ANode));
}

void RecalcOutputFromChildren(TMRPOutputTreeAccess& A, const void* ARow)
{
    if (!ARow)
        return;
    const int level = A.Level(ARow);
    const double rowQty = get(A, ARow, oqQty);
    double sum = 0;
    for (int i = 0; i < A.ChildCount(ARow); ++i) {
        const void* c = A.Child(ARow, i);
        const QVariant v = A.Get(c, oqDoDestQty);
        if (OutputIsNone(v))
            continue;
        if (level == 0) {
            sum += OutputNumber(v);
            continue;
        }
        const double childQty = get(A, c, oqQty);
        if (childQty == 0) {
            // Nothing planned gives no ratio back into the row's item.
            if (OutputNumber(v) != 0)
                A.SetMessage(c, OutputMsgZeroPlanQty);
            continue;
        }
        sum += OutputRound8(OutputNumber(v) * rowQty / childQty);
    }
    const double before = get(A, ARow, oqDoDestQty);
    if (level > 0) {
        const void* p = A.Parent(ARow);
        const double delta = sum - before;
        const double pQty = get(A, p, oqDoDestQty) + delta;
        A.Set(p, oqDoDestQty, pQty);
        setConverted(A, p, pQty);
        A.Set(p, oqUnDestQty, get(A, p, oqUnDestQty) - delta);
    }
    A.Set(ARow, oqDoDestQty, sum);
    setConverted(A, ARow, sum);
    A.Set(ARow, oqUnDestQty, OutputRound8(openQty(A, ARow) - sum));
}

void ToggleOutputRow(TMRPOutputTreeAccess& A, const void* ANode)
{
    if (get(A, ANode, oqDoDestQty) == 0) {
        const double open = get(A, ANode, oqUnDestQty);
        A.Set(ANode, oqDoDestQty, open);
        setConverted(A, ANode, open);
        A.Set(ANode, oqUnDestQty, 0.0);
    } else {
        A.Set(ANode, oqDoDestQty, 0.0);
        A.Set(ANode, oqDoDestQtyU, 0.0);
        A.SetMessage(ANode, QString());
        A.Set(ANode, oqUnDestQty, OutputRound8(openQty(A, ANode)));
    }
    RecalcOutputFromChildren(A, A.Parent(ANode));
}

TMRPPeriodSpread SpreadOutputPeriods(const QString& AHints, double AQty, int AOwnPeriod, int APeriodCount, int AEndPeriod)
{
    TMRPPeriodSpread spread;
    if (AHints.trimmed().isEmpty()) {
        if (AOwnPeriod >= 0 && AOwnPeriod < APeriodCount) {
            spread.Periods[AOwnPeriod] = AQty;
            if (AOwnPeriod <= AEndPeriod)
                spread.LimitedSum = AQty;
            else
                spread.BeyondEnd = true;
        } else {
            // A period without a column counts nothing up to the end period.
            spread.BeyondEnd = true;
        }
        return spread;
    }
    const QStringList lines = AHints.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    TOutputQty limited;
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const int eq = it->indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = it->left(eq).trimmed();
        bool okKey = key.size() <= 2;
        for (const QChar ch : key)
            okKey = okKey && (ch.isDigit() || (ch.toUpper() >= u'A' && ch.toUpper() <= u'Z'));
        bool okValue = false;
        const double value = it->mid(eq + 1).trimmed().toDouble(&okValue);
        if (!okKey || !okValue)
            continue;
        const int period = int(BaseTextToInt(key, 36));
        if (period < 0)
            continue;
        if (period >= APeriodCount) {
            // A period without a column lies after the end period too.
            spread.BeyondEnd = true;
            continue;
        }
        spread.Periods[period] = value;
        TOutputQty exact;
        if (period > AEndPeriod)
            spread.BeyondEnd = true;
        else if (TOutputQty::FromText(QStringView(*it).mid(eq + 1), 8, exact))
            limited += exact;
    }
    spread.LimitedSum = limited.ToDouble();
    return spread;
}

double OutputQtyToRelease(const TMRPPeriodSpread& ASpread, double AQty, double ADestQty, bool ALimitByPeriod, int AScale)
{
    const TOutputQty qty = TOutputQty::FromNumber(AQty, AScale);
    const TOutputQty upTo = ALimitByPeriod && ASpread.BeyondEnd ? Min(TOutputQty::FromNumber(ASpread.LimitedSum, AScale), qty) : qty;
    const TOutputQty r = upTo - TOutputQty::FromNumber(ADestQty, AScale);
    return r.IsPositive() ? r.ToDouble() : 0;
}

std::vector<TMRPOutputDemand> ParseOutputDemands(const QString& APDmdIIDs)
{
    QStringList lines = QString(APDmdIIDs).remove(u'|').split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    lines.sort();
    std::vector<TMRPOutputDemand> out;
    for (const QString& line : lines) {
        const int colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        const QString iid = line.left(colon).trimmed();
        const QString hint = line.mid(colon + 1);
        if (out.empty() || out.back().IID != iid) {
            out.push_back({iid, 0, 0, QString()});
            out.back().Period = int(BaseTextToInt(hint.left(2), 36));
        }
        bool ok = false;
        const double qty = hint.mid(hint.indexOf(u'=') + 1).trimmed().toDouble(&ok);
        if (hint.contains(u'=') && ok)
            out.back().Qty += qty;
        out.back().Hints += hint + QStringLiteral("\r\n");
    }
    return out;
}

QString OutputDemandInsertSQL(const std::vector<TMRPOutputDemand>& ADemands)
{
    QString sql;
    for (const TMRPOutputDemand& d : ADemands) {
        bool ok = false;
        const qlonglong iid = d.IID.toLongLong(&ok);
        if (!ok)
            continue; // only numbers go into the statement
        sql += QStringLiteral("insert #QZ_MRP_OutputDmds (DmdIID, DmdQty, Period, Hints) values (%1, %2, %3, '%4')\r")
                   .arg(iid)
                   .arg(QString::asprintf("%8.8f", d.Qty).trimmed())
                   .arg(d.Period)
                   .arg(QString(d.Hints).replace(u'\'', QStringLiteral("''")));
    }
    return sql;
}

bool OutputSubstituteQty(double AQty, double ASubQty, double ASubRQty, double& AResult)
{
    if (ASubQty == 0 || ASubRQty == 0) {
        AResult = 0;
        return false;
    }
    AResult = OutputRound8(AQty * ASubRQty / ASubQty);
    return true;
}

QString OutputSubstituteGroupSQL(const TMRPOutputOrigin& O)
{
    const auto q = [](const QString& s) { return u'\'' + QString(s).replace(u'\'', QStringLiteral("''")) + u'\''; };
    const bool docOrigin = (O.OrigType == 2 || O.OrigType == 4) && !O.OrigID.isEmpty();
    const QString entry = O.OrigEntry != 0 ? u'/' + QString::number(O.OrigEntry) : QString();
    // Rule 1: the origin line, rule 2: the origin document.
    const int t1 = !docOrigin ? 0 : (O.OrigEntry == 0 ? (O.OrigType == 2 ? 2 : 4) : (O.OrigType == 2 ? 1 : 3));
    const QString n1 = docOrigin ? O.OrigNo + entry : QString();
    const int t2 = !docOrigin ? 0 : (O.OrigType == 2 ? 2 : 4);
    const QString n2 = docOrigin ? O.OrigNo : QString();
    // Rule 3: the demand classification.
    const bool tagged = !O.OrigTag.isEmpty() || !O.OrigSubTag.isEmpty();
    const QString n3 = !O.OrigSubTag.isEmpty() ? O.OrigSubTag : O.OrigTag;
    // Rules 4 and 5: the origin number as a group of its own.
    const bool numbered = (O.OrigType == 2 || O.OrigType == 4) && !O.OrigNo.isEmpty();
    const QString n4 = numbered ? O.OrigNo + entry : QString();
    const QString n5 = numbered ? O.OrigNo : QString();
    // Rule 6: the customer.
    const bool customer = !O.CustName.isEmpty();
    return QStringLiteral("SubGroupType=(case mt.ItmMrpGroup when 1 then %1 when 2 then %2 when 3 then %3 when 4 then %4 "
                          "when 5 then %4 when 6 then %5 when 9 then %6 else 0 end),SubGroupNo=(case mt.ItmMrpGroup when 1 "
                          "then %7 when 2 then %8 when 3 then %9 when 4 then %10 when 5 then %11 when 6 then %12 when 9 then "
                          "%13 else '' end)")
        .arg(t1)
        .arg(t2)
        .arg(tagged ? 9 : 0)
        .arg(numbered ? 9 : 0)
        .arg(customer ? 9 : 0)
        .arg(O.GroupType)
        .arg(q(n1), q(n2), q(n3), q(n4), q(n5), q(O.CustName), q(O.GroupNo));
}
