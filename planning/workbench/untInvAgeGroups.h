#pragma once
// The age groups of the inventory-age analysis: a text of day widths, each
// followed by "|", becomes up to 19 groups of those widths counted from the
// cut-off plus the open group of everything older.
#include <QList>
#include <QString>

struct TAgeGroup {
    QString Name;    // caption, "0 - 29天" or "120天以上"
    int Offset = 0;  // days from the cut-off at which the group begins
    int Days = 0;    // width in days; 0 for the closing open group
};
using TAgeGroups = QList<TAgeGroup>;

// The most groups an analysis keeps, the closing group included.
inline constexpr int MaxAgeGroups = 20;

// The caption of a group of ADays days beginning AOffset days back, and of the
// closing group beginning there.
QString AgeGroupCaption(int AOffset, int ADays);
QString AgeGroupClosingCaption(int AOffset);

// Reads the widths of AText: only items ending with "|" count, at most 19 of
// them; an item that is no number counts as 0 and the first width below 1
// ends the list. When a width was read, the closing group follows; no group
// at all when none was.
void ParseAgeGroups(const QString& AText, TAgeGroups& AGroups);
