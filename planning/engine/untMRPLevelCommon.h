#pragma once
// What both units of the level planner share (untMRPLevel.cpp plans the
// allotments, untMRPLevelWrite.cpp writes them out): the stock bill type and
// a day number as 'yyyymmdd' text. Included by those two units only.
#include "untMRPUtils.h"
#include <QString>
#include <cstdint>

namespace {

constexpr int btStock = 16;

inline QString DateText(std::int64_t day) { return untMRPUtils::DayToDateStr(day); }

} // namespace
