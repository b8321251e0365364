#pragma once
// What the workbench frame's units share (famMRP.cpp: the frame, its tabs and
// state display; famMRPScheme.cpp: the scheme list, maintenance and
// parameters): the year of a stored date-time. Included by those two only.
#include "untMRPDataTypes.h"

#include <QDate>

namespace {

inline int yearOf(TDateTime AValue)
{
    return QDate(1899, 12, 30).addDays(qint64(AValue)).year();
}

} // namespace
