#include "untMRPOutputOptions.h"

#include "UCommon.h"
#include "untApplication.h"
#include "untERPaccess.h"

namespace {

const QString kSection = QStringLiteral("QZ_MRP");

QString key(const char* AName, int ABillType)
{
    return QLatin1String(AName) + QString::number(ABillType);
}

int readInt(const char* AName, int ABillType, int ADefault)
{
    return InfoApplication->ReadSystemSettingAsInteger(kSection, key(AName, ABillType), ADefault, false);
}

// Reads three ordered keys, last first: a stored empty key clears those after it.
void readKeys(const char* A1, const char* A2, const char* A3, int ABillType, int& AKey1, int& AKey2, int& AKey3)
{
    int v = readInt(A3, ABillType, -1);
    if (v >= 0)
        AKey3 = v;
    v = readInt(A2, ABillType, -1);
    if (v >= 0) {
        AKey2 = v;
        if (v == 0)
            AKey3 = 0;
    }
    v = readInt(A1, ABillType, -1);
    if (v >= 0) {
        AKey1 = v;
        if (v == 0)
            AKey2 = AKey3 = 0;
    }
}

} // namespace

int BillTypeToOutputSlot(int ABillType)
{
    switch (ABillType) {
    case 2: return 2;
    case 4: return 3;
    case 8: return 1;
    case 22: return 10;
    case 24: return 8;
    case 26: return 5;
    case 28: return 6;
    case 34: return 9;
    case 36: return 7;
    case 38: return 4;
    default: return 0;
    }
}

bool GetOutputDirectOO()
{
    return InfoApplication->ReadSystemSettingAsBoolean(kSection, QStringLiteral("OutputDirectOO"), false, true);
}

void LoadMRPOutputOptions(int ABillType, TMRPOutputOptions& o)
{
    const int t = ABillType;
    auto preset = [&o](int s1, int s2, int s3) {
        o.SplitBy1 = s1;
        o.SplitBy2 = s2;
        o.SplitBy3 = s3;
        o.SortBy1 = okItemNo;
        o.SortBy2 = okDate;
        o.SortBy3 = okNone;
    };
    if (t == 22)
        preset(okSupplier, okPlanner, okOrigin);
    else if (t == 24 || t == 26 || t == 28)
        preset(okSupplier, okBuyer, okOrigin);
    else if (t == 36 || t == 38)
        preset(okBuyer, okOrigin, okNone);
    o.ItemSubs = 0;

    int v = readInt("OutputMergeTrack", t, -1);
    if (v >= 0)
        o.MergeTrack = v;
    o.MergePeriods = readInt("OutputMergePeriods", t, 0) != 0;

    const int limit = InfoApplication->ERPAccess ? InfoApplication->ERPAccess->GetMaxBillRows(BillTypeToOutputSlot(t)) : 1;
    if (limit <= 1) {
        o.MaxRows = 1; // one row per bill: nothing to split by
    } else {
        const int stored = readInt("OutputMaxRows", t, 0);
        if (stored >= 1 && stored <= limit)
            o.MaxRows = stored;
        else
            o.MaxRows = qMin(limit, 100);
        readKeys("OutputSplitBy1st", "OutputSplitBy2nd", "OutputSplitBy3rd", t, o.SplitBy1, o.SplitBy2, o.SplitBy3);
    }
    readKeys("OutputSortBy1st", "OutputSortBy2nd", "OutputSortBy3rd", t, o.SortBy1, o.SortBy2, o.SortBy3);

    v = readInt("OutputItemSubs", t, -1);
    if (v >= 0)
        o.ItemSubs = v;
    o.OutPBoms = readInt("OutputPBoms", t, 0) != 0;
    o.LotRule = readInt("OutputLotRule", t, 0) != 0;
    o.DepartmentID = InfoApplication->ReadSystemSettingAsString(kSection, key("OutputDeptID", t), QString(), false);
    if (t == 22 || t == 34)
        o.EmployeeID.clear();
    else
        o.EmployeeID = InfoApplication->ReadSystemSettingAsString(kSection, key("OutputEmpID", t), QString(), false);
}

bool SaveMRPOutputOptions(int ABillType, const TMRPOutputOptions& o)
{
    const int t = ABillType;
    QList<QPair<QString, QString>> values;
    const auto add = [&values, t](const char* AName, int AValue) { values.append({key(AName, t), QString::number(AValue)}); };
    add("OutputMergeTrack", o.MergeTrack);
    add("OutputMergePeriods", o.MergePeriods ? 1 : 0);
    add("OutputMaxRows", o.MaxRows);
    add("OutputSplitBy1st", o.SplitBy1);
    add("OutputSplitBy2nd", o.SplitBy2);
    add("OutputSplitBy3rd", o.SplitBy3);
    add("OutputSortBy1st", o.SortBy1);
    add("OutputSortBy2nd", o.SortBy2);
    add("OutputSortBy3rd", o.SortBy3);
    if (t == 22 || t == 24) {
        add("OutputItemSubs", o.ItemSubs);
        add("OutputPBoms", o.OutPBoms ? 1 : 0);
    }
    add("OutputLotRule", o.LotRule ? 1 : 0);
    values.append({key("OutputDeptID", t), o.DepartmentID});
    if (t != 22 && t != 34)
        values.append({key("OutputEmpID", t), o.EmployeeID});
    // One statement batch in one transaction: a failing database shows one
    // error box and keeps none of the options half written.
    return InfoApplication->WriteSystemSettings(kSection, values, false);
}
