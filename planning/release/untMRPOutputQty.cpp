#include "untMRPOutputQty.h"

#include "untMRPUtils.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int Precision = 38;

int clampScale(int AScale)
{
    return AScale < 0 ? 0 : (AScale > 8 ? 8 : AScale);
}

} // namespace

TOutputQty::TOutputQty() : FValue(kvdec::Decimal::fromInt(0, Precision, 0)), FScale(0) {}

TOutputQty TOutputQty::FromNumber(double AValue, int AScale)
{
    const int s = clampScale(AScale);
    if (!std::isfinite(AValue))
        return TOutputQty(kvdec::Decimal::fromInt(0, Precision, s), s);
    return TOutputQty(kvdec::Decimal::fromDouble(AValue, Precision, s), s);
}

TOutputQty TOutputQty::FromValue(const QVariant& AValue, int AScale)
{
    if (!AValue.isValid() || AValue.isNull())
        return FromNumber(0, AScale);
    TOutputQty q;
    if (AValue.typeId() == QMetaType::QString && FromText(AValue.toString(), AScale, q))
        return q;
    bool ok = false;
    const double d = AValue.toDouble(&ok);
    return FromNumber(ok ? d : 0, AScale);
}

bool TOutputQty::FromText(QStringView AText, int AScale, TOutputQty& AResult)
{
    const int s = clampScale(AScale);
    const QByteArray text = AText.toLatin1();
    kvdec::Decimal d;
    if (text.trimmed().isEmpty() || !kvdec::Decimal::tryParse(std::string_view(text.constData(), size_t(text.size())), d))
        return false;
    try {
        AResult = TOutputQty(d.cast(Precision, s), s);
    } catch (const kvdec::DecimalError&) {
        return false;
    }
    return true;
}

QString TOutputQty::ToText() const
{
    return QString::fromStdString(FValue.toString());
}

TOutputQty TOutputQty::Rounded(int AScale) const
{
    const int s = clampScale(AScale);
    return TOutputQty(FValue.cast(Precision, s), s);
}

TOutputQty TOutputQty::Times(std::int64_t AWhole) const
{
    return TOutputQty(kvdec::Decimal::apply(kvdec::Op::Mul, FValue, kvdec::Decimal::fromInt(AWhole), {Precision, FScale}), FScale);
}

TOutputQty TOutputQty::operator+(const TOutputQty& B) const
{
    const int s = std::max(FScale, B.FScale);
    return TOutputQty(kvdec::Decimal::apply(kvdec::Op::Add, FValue, B.FValue, {Precision, s}), s);
}

TOutputQty TOutputQty::operator-(const TOutputQty& B) const
{
    const int s = std::max(FScale, B.FScale);
    return TOutputQty(kvdec::Decimal::apply(kvdec::Op::Sub, FValue, B.FValue, {Precision, s}), s);
}

int OutputQtyScale(const QVariant& AItmPutInteger, const QVariant& AItmDecimal)
{
    const bool hasPut = AItmPutInteger.isValid() && !AItmPutInteger.isNull();
    const bool hasDecimal = AItmDecimal.isValid() && !AItmDecimal.isNull();
    if (hasPut && AItmPutInteger.toInt() == 1)
        return 0;
    if (!hasDecimal)
        return 8;
    return untMRPUtils::EffectiveDecimals(AItmDecimal.toInt());
}

double OutputTextUnit(double AValue)
{
    const double a = std::fabs(AValue);
    if (!(a > 0) || !std::isfinite(a))
        return 0;
    return std::pow(10.0, std::floor(std::log10(a)) - 14);
}
