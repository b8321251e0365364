#pragma once
// The four selects that feed the level planner, and the expressions they
// carry: the tracking key that lets demands share a planned supply, and the
// planned supply type and its department or supplier that a demand asks for.
// Column names match the fields of the planner's row records.
#include "untMRPLevel.h"
#include <QString>
#include <QVariant>
#include <functional>

namespace untMRPLevelSelects {

// "TrackKey=..." for the scheme's tracking mode; with careItemMRPTrack the
// item's own setting chooses, never finer than the scheme's mode.
QString BuildTrackKeySQL(int careMRPTrackMode, bool careItemMRPTrack);
// Planned supply type a demand asks for, by the item's MRP type.
QString BuildDmdSupTypeSQL();

// AChunk >= 0: only the rows of the items of that part of the level
// (#QZ_MRP_LevelChunks, see BuildLevelChunkCountSQL). AWithBomSetUp false:
// without the BOM set-up of the level's demands, which the caller has run.
QString BuildLevelDemandSelectSQL(int level, bool demandByOrigDate, const QString& trackKeySQL, int AChunk = -1,
                                  bool AWithBomSetUp = true);
QString BuildLevelSupplySelectSQL(int level, int AChunk = -1);
// The BOM set-up of the level's demands (what the whole level's select runs first).
QString BuildLevelDemandBomSQL(int level);
// The items of the level with their rows (ItmID, Rows, Dmds): each item that
// has demands or supplies the level's selects read, how many rows, how many
// of them demands (an item may come twice).
QString BuildLevelChunkCountSQL(int level);
// The table of the level's parts: each item with the number of its part.
QString BuildLevelChunkTableSQL();
QString BuildLevelAdjustSelectSQL(int level);
// Empties and refills the substitutes of the level's demands, then selects them.
QString BuildLevelSubstituteSQL(int level, int planNeedScope);

// Reading the rows of those selects: the getter returns a column of the
// current row by name (null when absent). Names are passed as the readers'
// own constant texts, so a getter may remember each name's column by its
// address.
using TFieldGetter = std::function<QVariant(const char* name)>;
TMRPLevelDemandRow ReadLevelDemandRow(const TFieldGetter& field);
TMRPLevelSupplyRow ReadLevelSupplyRow(const TFieldGetter& field);
TMRPLevelSubstituteRow ReadLevelSubstituteRow(const TFieldGetter& field);
TMRPLevelAdjustRow ReadLevelAdjustRow(const TFieldGetter& field);
// A date column as a date-time of the engine (days since 1899-12-30); 0 for null.
TDateTime VariantToDateTime(const QVariant& value);

} // namespace untMRPLevelSelects
