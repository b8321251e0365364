#pragma once
// Exact quantities of a release. What goes into a bill row and into a
// supply's released total is counted in decimals at the item's precision
// (whole pieces for items kept in whole pieces, else the item's decimals), so
// the pieces of a supply add up to exactly what was released and never leave
// a trace such as 118242.00000001 behind.
#include "Decimal.h"

#include <QString>
#include <QVariant>

class TOutputQty {
public:
    // Zero without decimals: it adds none to what it is added to.
    TOutputQty();
    // A number rounded half away from zero to AScale decimals (0..8); none,
    // or a value that is no number, is 0.
    static TOutputQty FromNumber(double AValue, int AScale);
    static TOutputQty FromValue(const QVariant& AValue, int AScale);
    // A decimal text (C locale, blanks around it ignored) rounded to AScale
    // decimals; false when it is no number.
    static bool FromText(QStringView AText, int AScale, TOutputQty& AResult);

    int Scale() const { return FScale; }
    bool IsPositive() const { return !FValue.isZero() && !FValue.isNegative(); }
    bool IsZero() const { return FValue.isZero(); }
    double ToDouble() const { return FValue.toDouble(); }
    // The quantity as SQL text: its decimals, C locale ("118242", "0.125").
    QString ToText() const;
    // The same quantity rounded to AScale decimals.
    TOutputQty Rounded(int AScale) const;

    // The quantity times a whole number, at its decimals.
    TOutputQty Times(std::int64_t AWhole) const;
    TOutputQty operator+(const TOutputQty& B) const;
    TOutputQty operator-(const TOutputQty& B) const;
    TOutputQty& operator+=(const TOutputQty& B) { return *this = *this + B; }
    TOutputQty& operator-=(const TOutputQty& B) { return *this = *this - B; }
    friend bool operator==(const TOutputQty& A, const TOutputQty& B) { return kvdec::Decimal::compare(A.FValue, B.FValue) == 0; }
    friend auto operator<=>(const TOutputQty& A, const TOutputQty& B) { return kvdec::Decimal::compare(A.FValue, B.FValue) <=> 0; }

private:
    TOutputQty(const kvdec::Decimal& AValue, int AScale) : FValue(AValue), FScale(AScale) {}
    kvdec::Decimal FValue;
    int FScale = 0;
};

inline TOutputQty Min(const TOutputQty& A, const TOutputQty& B)
{
    return B < A ? B : A;
}

// The decimals an item's quantities carry in a release: 0 when the item is
// kept in whole pieces (ItmPutInteger 1, or ItmDecimal 0), else ItmDecimal
// (beyond 0..8 counts 8); an item without these values keeps 8.
int OutputQtyScale(const QVariant& AItmPutInteger, const QVariant& AItmDecimal);

// The unit the last digit of a quantity's shortest text with fifteen
// significant digits stands for (what a hints text can carry of it).
double OutputTextUnit(double AValue);
