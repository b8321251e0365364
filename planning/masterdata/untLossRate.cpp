#include "untLossRate.h"

#include "UCommon.h"
#include "UDBComm.h"

#include <QLocale>
#include <cfenv>
#include <cmath>
#include <limits>

namespace {

// The formula, read once per process.
bool LossRateTypeLoaded = false;
bool LossRateTypeValue = false;

// Eight decimals, a half going to the even neighbour.
double roundLoss(double AValue)
{
    if (!std::isfinite(AValue))
        return AValue;
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(AValue * 1e8) / 1e8;
    std::fesetround(mode);
    return r == 0 ? 0.0 : r;
}

} // namespace

bool GetLossRateType()
{
    if (LossRateTypeLoaded)
        return LossRateTypeValue;
    // A failure is shown by the runner and raised; the mode stays unread.
    ExecSQLText(GlobalADOQuery, QStringLiteral("select * from QZ_MRP_LossRateType with(nolock)"), true, true, true);
    bool value = false;
    if (!GlobalADOQuery->IsEmpty())
        if (TField* field = GlobalADOQuery->FindField(QStringLiteral("LosType")))
            value = field->AsBoolean();
    GlobalADOQuery->Close();
    LossRateTypeValue = value;
    LossRateTypeLoaded = true;
    return value;
}

void ResetLossRateType()
{
    LossRateTypeLoaded = false;
    LossRateTypeValue = false;
}

void SetLossRateTypeForTest(bool ADivide)
{
    LossRateTypeValue = ADivide;
    LossRateTypeLoaded = true;
}

double CalcStepLossRateQty(double AQty, double ARate)
{
    if (!(ARate > 0))
        return 0;
    if (GetLossRateType()) {
        if (ARate >= 100)
            return 0;
        return roundLoss(AQty * 100 / (100 - ARate) - AQty);
    }
    return roundLoss(AQty * ARate / 100);
}

double CalcLossRateQty(double AQty, double ALossQty)
{
    if (!(ALossQty > 0))
        return 0;
    // The divide mode's denominator is the issued quantity, never 0 here.
    const double base = GetLossRateType() ? AQty + ALossQty : AQty;
    if (!(base > 0))
        return 0;
    return roundLoss(ALossQty * 100 / base);
}

double LossTextToFloat(const QString& AText)
{
    const QString text = AText.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(QString(text).replace(u',', u'.'), &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString LossFloatToText(double AValue)
{
    return FloatToLiteralText(AValue);
}

double ParseLossRateSteps(const QString& AText, double AQty, double ADefaultRate)
{
    QString text = AText.trimmed();
    if (text.isEmpty())
        return CalcStepLossRateQty(AQty, ADefaultRate);
    text.remove(u' ');
    if (!text.endsWith(u'|'))
        text += u'|';
    // Steps between bars; the text ends with a bar, so the last part is empty.
    QStringList steps = text.split(u'|');
    steps.removeLast();

    double total = 0;
    double done = 0;
    double prevRate = 0;
    double remaining = AQty;
    for (int i = 0; i < steps.size(); ++i) {
        const QString& step = steps[i];
        const bool last = i == steps.size() - 1;
        double bound = 0;
        QString value = step;
        const qsizetype colon = step.indexOf(u':');
        if (colon >= 0) {
            bound = LossTextToFloat(step.left(colon));
            value = step.mid(colon + 1);
        } else if (last) {
            bound = std::numeric_limits<double>::max();
        }
        const double width = bound >= done ? bound - done : 0;
        const double part = std::min(width, remaining);

        double loss = 0;
        double rate = -1;
        if (!value.contains(u'%')) {
            loss = LossTextToFloat(value);
        } else if (!value.contains(u'+') && !value.contains(u'-')) {
            rate = LossTextToFloat(value.left(value.size() - 1));
            loss = CalcStepLossRateQty(part, rate);
        } else {
            rate = LossTextToFloat(value.left(value.size() - 2));
            if (part < width)
                rate = (rate - prevRate) * part / width + prevRate;
            loss = CalcStepLossRateQty(part, rate);
        }
        total += loss;
        remaining -= width;
        if (!(remaining > 0))
            break;
        done += width;
        if (rate >= 0)
            prevRate = rate;
    }
    return total;
}
