// Helpers shared by the units of BandedView (BandedView*.cpp); not part of its
// interface.
#pragma once
#include <QVariant>

namespace kvui {

namespace {
constexpr int IndicatorWidth = 14;

inline bool isNullValue(const QVariant& v) { return !v.isValid() || v.isNull(); }
} // namespace

} // namespace kvui
