#pragma once
// The definition of an info object (data sources, access groups, fields,
// actions, relations and the user's row permissions) and the view scheme, a
// saved layout of one view of such an object, with its load, save and delete
// operations on QZ_SYS_ViewSchemes and QZ_SYS_ViewMasks.
//
// The host's definition loader fills TInfoObjectDef and keeps it in its cache;
// the planning library reads the host's definitions in place, so both sides
// are built from these declarations.
#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

class TADOQuery;
class TSystemEnumList;

enum TInfoDataDourceType { dsTable, dsSelect, dsStoredProc, dsFunction };
enum TInfoFieldValueType { vtNormal, vtCreater, vtUser, vtSysEnum, vtInnerEnum, vtLookup, vtObject };
enum TInfoFieldLayout { flNormal, flFixedLeft, flFixedRight, flDefaultHide };
enum TInfoFieldViewSign { vsNormal, vsBizClosed, vsBizToDo, vsBizWarning, vsBizError };
enum TInfoActionType { atNew, atUpdate, atDelete, atCopy, atPrint, atExport, atCustom, atImport, atCheck, atUnCheck };
enum TInfoActionKind { akSimple, akSingle, akView, akGlobal };
enum TViewSchemeKind { vkLastUsed = 0, vkPrivate = 1, vkPublic = 2 };

enum TViewSupport {
    voSupportFilter = 0x01,
    voSupportFields = 0x02,
    voSupportSort = 0x04,
    voSupportGroup = 0x08,
    voSupportTotal = 0x10,
    voSupportSubTotal = 0x20,
};
// A set of TViewSupport flags.
using TViewSupports = unsigned;
inline constexpr TViewSupports voSupportAll = voSupportFilter | voSupportFields | voSupportSort | voSupportGroup
    | voSupportTotal | voSupportSubTotal;

// Stored field-type codes (FldDataType, TInfoFieldDef::DataType): the ordinals
// of the data-access layer's field types, as the metadata tables keep them.
namespace FieldTypes {
enum Code : quint8 {
    ftUnknown = 0, ftString = 1, ftSmallint = 2, ftInteger = 3, ftWord = 4, ftBoolean = 5, ftFloat = 6,
    ftCurrency = 7, ftBCD = 8, ftDate = 9, ftTime = 10, ftDateTime = 11, ftBytes = 12, ftVarBytes = 13,
    ftAutoInc = 14, ftBlob = 15, ftMemo = 16, ftGraphic = 17, ftFmtMemo = 18, ftParadoxOle = 19,
    ftDBaseOle = 20, ftTypedBinary = 21, ftCursor = 22, ftFixedChar = 23, ftWideString = 24,
    ftLargeint = 25, ftADT = 26, ftArray = 27, ftReference = 28, ftDataSet = 29, ftOraBlob = 30,
    ftOraClob = 31, ftVariant = 32, ftInterface = 33, ftIDispatch = 34, ftGuid = 35, ftTimeStamp = 36,
    ftFMTBcd = 37, ftFixedWideChar = 38, ftWideMemo = 39, ftOraTimeStamp = 40, ftOraInterval = 41,
    ftLongWord = 42, ftShortint = 43, ftByte = 44, ftExtended = 45, ftConnection = 46, ftParams = 47,
    ftStream = 48, ftTimeStampOffset = 49, ftObject = 50, ftSingle = 51,
};
// Text kinds: string, memo, formatted memo, fixed char, wide string, fixed wide char, wide memo.
bool IsStringType(int code);
// Whole and fractional numbers (auto-increment included).
bool IsNumericType(int code);
// Numbers without fraction: small/large integers, word, long word, byte, auto-increment.
bool IsOrdinalType(int code);
// Dates with or without time.
bool IsDateType(int code);
// Types whose values carry a time of day (a date-time, a time stamp).
bool IsDateTimeType(int code);
} // namespace FieldTypes

// The separator of the items of a view-scheme parameter text: two U+F8F5.
inline const QString ViewSchemeParamSeparator = QString(2, QChar(0xF8F5));
// The single block separator character U+F8F5.
inline constexpr QChar BlockSeparatorChar = QChar(0xF8F5);

// The sections of a view scheme's parameter text, one home for every unit
// that reads or writes them.
inline const QString FilterSection = QStringLiteral("[Filter]");
inline const QString FieldsSection = QStringLiteral("[Fields]");
inline const QString SortsSection = QStringLiteral("[Sorts]");
inline const QString SummariesSection = QStringLiteral("[Summaries]");
inline const QString TotalSection = QStringLiteral("[Total]");
inline const QString PositionsSection = QStringLiteral("[Positions]");

// Reads and writes one "[Section]" item of a view-scheme parameter text.
QString ReadViewSchemeParam(const QString& params, const QString& section);
// The items "name=value" of a "|"-separated section value, in order (an item
// without "=" has an empty value).
QList<QPair<QString, QString>> ViewSchemeNamedItems(const QString& text);
// The value of the first item of that name (letter case ignored); False when there is none.
bool FindViewSchemeItem(const QList<QPair<QString, QString>>& items, const QString& name, QString& value);
QString WriteViewSchemeParam(const QString& params, const QString& section, const QString& value);

struct TInfoDataSourceDef {
    QString ID;
    bool IsMain = false;
    TInfoDataDourceType DataType = dsTable;
    QString SQLData;
    QString Filter;
    QString Join;
};
using TInfoDataSourceDefs = std::vector<TInfoDataSourceDef>;

struct TInfoAccessGroup {
    QString ID;
    QString Name;
};
using TInfoAccessGroups = std::vector<TInfoAccessGroup>;
using PInfoAccessGroup = TInfoAccessGroup*;

struct TInfoFieldDef {
    QString ID;
    QString Name;
    bool IsPrimary = false;
    quint8 DataType = FieldTypes::ftUnknown;
    int Precision = 0;
    QString SQLExpress;
    TInfoFieldValueType ValueType = vtNormal;
    QString ValueSource;
    // For vtSysEnum the application's cached class list: owned by that cache,
    // never freed with the definition.
    TSystemEnumList* EnumValues = nullptr;
    bool HideList = false;
    bool HideSort = false;
    bool HideFilter = false;
    bool HideTotal = false;
    TInfoFieldLayout Layout = flNormal;
    TInfoFieldViewSign ViewSign = vsNormal;
};
using TInfoFieldDefs = std::vector<TInfoFieldDef>;
using PInfoFieldDef = TInfoFieldDef*;

struct TInfoActionDef {
    QString ID;
    QString Name;
    TInfoActionType ActType = atCustom;
    TInfoActionKind Kind = akSimple;
    int Group = 0;
    bool InEditor = false;
    QString Context;
    QString Filter;
    QString DllName;
};
using TInfoActionDefs = std::vector<TInfoActionDef>;
using PInfoActionDef = TInfoActionDef*;

struct TInfoRelationDef {
    QString ID;
    QString Name;
    bool AsBody = false;
    QString RelObjID;
    QString FieldMaps;
};
using TInfoRelationDefs = std::vector<TInfoRelationDef>;
using PInfoRelationDef = TInfoRelationDef*;

class TInfoObjectDef {
public:
    QString ID;
    QString Name;
    int ObjType = 0;
    bool Internal = false;
    bool HasEditor = false;
    bool CanPrint = false;
    bool CanExport = false;
    QString DllName;
    QString SID;
    // The user's row filters: empty = every row, "1=0" = none, otherwise
    // filter codes each followed by "|".
    QString PermitCodes;
    TInfoDataSourceDefs DataSources;
    TInfoAccessGroups AccessGroups;
    TInfoFieldDefs Fields;
    // The fields the user's access groups hide (loaded only where row
    // permissions apply): the administrator's row condition is built on their
    // real columns; they are never offered, shown or selected.
    TInfoFieldDefs HiddenFields;
    TInfoActionDefs Actions;
    TInfoRelationDefs Relations;

    // The SQL condition of the user's row permissions: the translated filter
    // codes joined by " or ", each in brackets; translated on the user's
    // fields and the hidden ones, so that a condition on a hidden field applies in full.
    QString GetPermitFilter(TADOQuery* AByQuery);
    // The same walk with a translator of one filter code to SQL.
    QString GetPermitFilter(const std::function<QString(const QString&)>& translate) const;

    // Case-insensitive lookups from the last element to the first, so with
    // repeated IDs the last one wins; nullptr when absent. The pointer stays
    // valid while the definition lives and its arrays keep their size.
    PInfoAccessGroup GetAccessGroup(const QString& AID);
    PInfoFieldDef GetFieldDef(const QString& AID);
    PInfoActionDef GetActionDef(const QString& AID);
    PInfoRelationDef GetRelationDef(const QString& AID);
    int IndexOfField(const QString& AID) const;
    int IndexOfAction(const QString& AID) const;
};

struct TViewScheme {
    int IID = 0;
    QString ID;
    QString Name;
    TViewSchemeKind Kind = vkLastUsed;
    QString Mask;
    QString Params;
    QString PrintSetting;
    TViewSupports Supports = 0;
    bool SQLParsed = false;
    QString FieldsSQL;
    QString FilterSQL;
    QString OrderBySQL;
};
using PViewScheme = TViewScheme*;

// The statements the view-scheme operations run (userID: the logged-in user).
QString ViewSchemeLoadSQL(const TViewScheme& scheme, const QString& userID);
QString ViewSchemeMaskSQL(const TViewScheme& scheme);
QString ViewSchemeDeleteSQL(const TViewScheme& scheme, const QString& userID);
// A new row: replaces the user's last-used row (kind 0) or the user's
// scheme of the same name (other kinds), then reads the new identity back.
QString ViewSchemeInsertSQL(const TViewScheme& scheme, const QString& userID, bool savePrintSetting);
// An update of the user's own stored row.
QString ViewSchemeUpdateSQL(const TViewScheme& scheme, const QString& userID, bool savePrintSetting);
// "|a|b|" from a stored mask "a | b".
QString ViewMaskFromStored(const QString& stored);

// Run on GlobalADOQuery for InfoApplication's logged-in user; database errors
// are shown and give False.
bool LoadViewScheme(TViewScheme& AScheme);
bool DeleteViewScheme(TViewScheme& AScheme);
bool SaveViewScheme(TViewScheme& AScheme, bool ASavePrintSetting);
