// Loading definitions with the user's permissions, and the definition cache.
#include "AccountSetFixture.h"
#include "untInfoObjectDef.h"

namespace {

QStringList ids(const auto& items)
{
    QStringList out;
    for (const auto& item : items)
        out.append(item.ID);
    return out;
}

QString translateCode(TInfoObjectDef*, const QString& code, TADOQuery*)
{
    return "t." + code + "=1";
}

class DefinitionLoaderTest : public AccountSetFixture {
protected:
    void SetUp() override
    {
        AccountSetFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        app->TranslateFilterCodeToSQLProc = translateCode;
        const char* rows[] = {
            "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal, ObjHasEditor, ObjDllName, ObjSID) values "
            "('T.Items', ' 物料 ', 0, 0, 1, ' QZ_MRP.dll ', ' S1 ')",
            "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjDllName) values ('T.Docs', '单据', 0, '')",
            "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal, ObjDllName) values ('T.Inner', '内部', 0, 1, '')",
            "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjDllName) values ('T.Secret', '保密', 0, '')",
            "insert QZ_SYS_ObjDataSources (DtsObjID, DtsID, DtsSeqNo, DtsMain, DtsType, DtsSource, DtsFilter, DtsJoin) values "
            "('T.Items', ' i ', 1, 1, 0, 'QZ_Base_Items', ' i.Deleted=0 ', null)",
            "insert QZ_SYS_ObjDataSources (DtsObjID, DtsID, DtsSeqNo, DtsMain, DtsType, DtsSource, DtsFilter, DtsJoin) values "
            "('T.Items', 'q', 2, 0, 1, ' select 1 as x ', null, ' q.x=1 ')",
            "insert QZ_SYS_ObjAccessGroups (AgrObjID, AgrID, AgrName, AgrSeqNo) values ('T.Items', 'A1', '成本', 1)",
            "insert QZ_SYS_ObjAccessGroups (AgrObjID, AgrID, AgrName, AgrSeqNo) values ('T.Items', 'A2', '价格', 2)",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldPrimary, FldDataType, FldPrecision, FldExpress, "
            "FldValType, FldValSource, FldHideList, FldLayout, FldViewSign, FldAgrID) values "
            "('T.Items', ' ItmID ', 1, '内码', 1, 3, 0, 'i.ItmID', 0, null, 1, 0, 0, null)",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldExpress, FldValType, FldValSource, "
            "FldLayout, FldAgrID) values ('T.Items', 'Cost', 2, '成本', 6, 'i.Cost', 0, null, 2, 'A1')",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldExpress, FldValType, FldValSource, "
            "FldAgrID) values ('T.Items', 'Price', 3, '价格', 6, 'i.Price', 0, null, 'A2')",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldExpress, FldValType, FldValSource, "
            "FldAgrID) values ('T.Items', 'Maker', 4, '制单人', 24, 'i.MakerID', 2, null, '')",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldExpress, FldValType, FldValSource) "
            "values ('T.Items', 'BillType', 5, '类型', 3, 'i.BillType', 3, 'MrpBillType= 2, 4')",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldExpress, FldValType, FldValSource) "
            "values ('T.Items', 'Kind', 6, '种类', 3, 'i.Kind', 3, 'NoSuchClass=1')",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldExpress, FldValType, FldValSource) "
            "values ('T.Items', 'Unit', 7, '单位', 24, 'i.Unit', 5, 'UntID=UntName|UntName|QZ_Base_Unit|UntID, UntName')",
            "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActGroup, ActSeqNo, ActFilter, ActDllName, ActAgrID) "
            "values ('T.Items', 'New', '新增', 0, 1, 1, null, null, '*')",
            "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActGroup, ActSeqNo, ActFilter, ActDllName, ActAgrID) "
            "values ('T.Items', 'Edit', '修改', 1, 1, 2, ' i.Closed=0 ', ' Other.dll ', 'A1')",
            "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActGroup, ActSeqNo, ActAgrID) "
            "values ('T.Items', 'Del', '删除', 2, 1, 3, '')",
            "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActGroup, ActSeqNo, ActAgrID) "
            "values ('T.Items', 'Print', '打印', 4, 2, 1, '*')",
            "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActGroup, ActSeqNo, ActAgrID) "
            "values ('T.Items', 'Export', '导出', 5, 2, 2, '')",
            "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActGroup, ActSeqNo, ActAgrID) "
            "values ('T.Items', 'Price', '调价', 6, 3, 1, 'A2')",
            "insert QZ_SYS_ObjRelations (RelObjID, RelID, RelName, RelSeqNo, RelAsBody, RelVSObjID, RelFieldMaps) values "
            "('T.Items', 'R1', '', 1, 0, 'T.Docs', 'ItmID=ItmID')",
            "insert QZ_SYS_ObjRelations (RelObjID, RelID, RelName, RelSeqNo, RelAsBody, RelVSObjID, RelFieldMaps) values "
            "('T.Items', 'R2', '内部信息', 2, 0, 'T.Inner', '')",
            "insert QZ_SYS_ObjRelations (RelObjID, RelID, RelName, RelSeqNo, RelAsBody, RelVSObjID, RelFieldMaps) values "
            "('T.Items', 'R3', '保密信息', 3, 1, 'T.Secret', '')",
            // the planner plan01 in group G_PLAN: the object with two row filters
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values "
            "(1, 'G_PLAN', 'T.Items', 0, '', 1, ' CodeA |甲')",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values "
            "(0, 'plan01', 'T.Items', 0, '', 3, 'CodeB|乙')",
            // access groups: A1 granted; A2 granted to the group but denied to the user
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(1, 'G_PLAN', 'T.Items', 2, 'A1', 1)",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(1, 'G_PLAN', 'T.Items', 2, 'A2', 1)",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(0, 'plan01', 'T.Items', 2, 'A2', 2)",
            // actions: Del granted, Export granted to the group and denied to the user
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(0, 'plan01', 'T.Items', 1, 'Del', 1)",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(1, 'G_PLAN', 'T.Items', 1, 'Export', 1)",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(0, 'plan01', 'T.Items', 1, 'Export', 2)",
            // related objects: Docs granted, Secret granted to the group and denied to the user
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(1, 'G_PLAN', 'T.Docs', 0, '', 1)",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(1, 'G_PLAN', 'T.Secret', 0, '', 1)",
            "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values "
            "(0, 'plan01', 'T.Secret', 0, '', 2)",
        };
        for (const char* sql : rows)
            exec(QString::fromUtf8(sql));
    }
};

TEST_F(DefinitionLoaderTest, AdministratorSeesEverything)
{
    login("admin", "null", true);
    TInfoObjectDef* def = app->GetInfoObjectDef("T.Items");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->ID, "T.Items");
    EXPECT_EQ(def->Name, "物料");
    EXPECT_TRUE(def->HasEditor);
    EXPECT_FALSE(def->Internal);
    EXPECT_EQ(def->DllName, "QZ_MRP.dll");
    EXPECT_EQ(def->SID, "S1");
    EXPECT_EQ(def->PermitCodes, "");
    EXPECT_EQ(ids(def->AccessGroups), (QStringList{"A1", "A2"}));
    EXPECT_EQ(ids(def->Fields), (QStringList{"ItmID", "Cost", "Price", "Maker", "BillType", "Kind", "Unit"}));
    EXPECT_EQ(ids(def->Actions), (QStringList{"New", "Edit", "Del", "Print", "Export", "Price"}));
    EXPECT_TRUE(def->CanPrint);
    EXPECT_TRUE(def->CanExport);
    EXPECT_EQ(ids(def->Relations), (QStringList{"R3", "R1", "R2"})); // bodies first
}

TEST_F(DefinitionLoaderTest, PlannerSeesWhatIsGrantedAndNotDenied)
{
    login("plan01", "'G_PLAN',null", false);
    TInfoObjectDef* def = app->GetInfoObjectDef("T.Items");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(ids(def->AccessGroups), (QStringList{"A1"}));
    EXPECT_EQ(ids(def->Fields), (QStringList{"ItmID", "Cost", "Maker", "BillType", "Kind", "Unit"}));
    // New is open to all, Edit comes with its access group, Del is granted;
    // Export is denied to the user, Price belongs to the denied group.
    EXPECT_EQ(ids(def->Actions), (QStringList{"New", "Edit", "Del", "Print"}));
    EXPECT_TRUE(def->CanPrint);
    EXPECT_FALSE(def->CanExport);
    EXPECT_EQ(ids(def->Relations), (QStringList{"R1", "R2"}));
    // Granted rows in the order kind descending; the codes trimmed.
    EXPECT_EQ(def->PermitCodes, "CodeB|CodeA|");
    EXPECT_EQ(def->GetPermitFilter(GlobalADOQuery), "(t.CodeB=1) or (t.CodeA=1)");
}

TEST_F(DefinitionLoaderTest, RecordsAreFilledAsStored)
{
    login("admin", "null", true);
    TInfoObjectDef* def = app->GetInfoObjectDef("T.Items");
    ASSERT_NE(def, nullptr);
    // The user field adds a source named after itself, after the stored ones.
    ASSERT_EQ(def->DataSources.size(), 3u);
    EXPECT_EQ(def->DataSources[0].ID, "i");
    EXPECT_TRUE(def->DataSources[0].IsMain);
    EXPECT_EQ(def->DataSources[0].Filter, "i.Deleted=0");
    EXPECT_EQ(def->DataSources[1].DataType, dsSelect);
    EXPECT_EQ(def->DataSources[1].SQLData, " select 1 as x "); // not trimmed
    EXPECT_EQ(def->DataSources[1].Join, "q.x=1");
    const TInfoDataSourceDef& users = def->DataSources[2];
    EXPECT_EQ(users.ID, "Maker");
    EXPECT_FALSE(users.IsMain);
    EXPECT_EQ(users.SQLData, "QZ_SYS_Users");
    EXPECT_EQ(users.Join, "i.MakerID=Maker.UsrID");
    const PInfoFieldDef maker = def->GetFieldDef("maker");
    EXPECT_EQ(maker->SQLExpress, "Maker.UsrName");
    EXPECT_EQ(maker->DataType, FieldTypes::ftWideString);
    EXPECT_EQ(maker->Precision, 50);

    const PInfoFieldDef key = def->GetFieldDef("ItmID");
    EXPECT_TRUE(key->IsPrimary);
    EXPECT_TRUE(key->HideList);
    EXPECT_EQ(key->DataType, FieldTypes::ftInteger);
    EXPECT_EQ(def->GetFieldDef("Cost")->Layout, flFixedRight);

    // A system enum field: the cached class list and the allowed IDs in bars.
    const PInfoFieldDef billType = def->GetFieldDef("BillType");
    EXPECT_EQ(billType->EnumValues, app->GetSystemEnumList("MrpBillType"));
    EXPECT_EQ(billType->ValueSource, "|2|4|");
    const PInfoFieldDef kind = def->GetFieldDef("Kind");
    EXPECT_EQ(kind->EnumValues, nullptr);
    EXPECT_EQ(kind->ValueSource, "");
    EXPECT_EQ(def->GetFieldDef("Unit")->ValueSource, "UntID=UntName|UntName|QZ_Base_Unit|UntID, UntName");

    // Actions inherit the object's library unless they name their own.
    EXPECT_EQ(def->GetActionDef("New")->DllName, "QZ_MRP.dll");
    EXPECT_EQ(def->GetActionDef("Edit")->DllName, "Other.dll");
    EXPECT_EQ(def->GetActionDef("Edit")->Filter, "i.Closed=0");
    EXPECT_EQ(def->GetActionDef("Print")->ActType, atPrint);
    EXPECT_EQ(def->GetActionDef("Print")->Group, 2);

    // Relation names fall back to the target object's name.
    EXPECT_EQ(def->GetRelationDef("R1")->Name, "单据");
    EXPECT_EQ(def->GetRelationDef("R1")->RelObjID, "T.Docs");
    EXPECT_EQ(def->GetRelationDef("R1")->FieldMaps, "ItmID=ItmID");
    EXPECT_EQ(def->GetRelationDef("R2")->Name, "内部信息");
    EXPECT_TRUE(def->GetRelationDef("R3")->AsBody);
}

TEST_F(DefinitionLoaderTest, PermitCodesFromObjectPermissions)
{
    struct Case {
        const char* name;
        QStringList rows;  // PmsIsGroup, PmsUsrID, PmsKind, PmsFilter
        bool internal;
        bool admin;
        QString codes;
    } cases[] = {
        {"no permission row", {}, false, false, "1=0"},
        {"internal object", {}, true, false, ""},
        {"administrator", {}, false, true, ""},
        {"one granted filter", {"0, 'plan01', 1, 'A|a'"}, false, false, "A|"},
        {"a grant without filter lifts the restriction", {"0, 'plan01', 1, 'A|a'", "1, 'G_PLAN', 1, ''"}, false, false, ""},
        {"a denial wins over grants", {"0, 'plan01', 1, null", "1, 'G_PLAN', 2, null"}, false, false, "1=0"},
        {"rows of other users do not count", {"0, 'buy01', 1, null"}, false, false, "1=0"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString id = QStringLiteral("P.%1").arg(++n);
        exec(QStringLiteral("insert QZ_SYS_Objects (ObjID, ObjName, ObjInternal) values ('%1', 'x', %2)").arg(id).arg(c.internal ? 1 : 0));
        for (const QString& row : c.rows)
            exec(QStringLiteral("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsKind, PmsFilter, PmsObjID, PmsType) "
                                "values (%1, '%2', 0)").arg(row, id));
        login(c.admin ? "admin" : "plan01", "'G_PLAN',null", c.admin);
        TInfoObjectDef* def = app->GetInfoObjectDef(id);
        ASSERT_NE(def, nullptr) << c.name;
        EXPECT_EQ(def->PermitCodes, c.codes) << c.name;
        EXPECT_EQ(def->GetPermitFilter(GlobalADOQuery), c.codes.isEmpty() || c.codes == "1=0" ? c.codes : "(t.A=1)") << c.name;
    }
}

TEST_F(DefinitionLoaderTest, CacheIgnoresCaseAndIsClearedAtLogout)
{
    login("plan01", "'G_PLAN',null", false);
    TInfoObjectDef* first = app->GetInfoObjectDef("T.Items");
    EXPECT_EQ(app->GetInfoObjectDef("t.ITEMS"), first);
    EXPECT_EQ(InfoObjectDefCacheCount(), 1);
    // Unknown objects are not cached.
    EXPECT_EQ(app->GetInfoObjectDef("T.Nothing"), nullptr);
    EXPECT_EQ(InfoObjectDefCacheCount(), 1);

    // Log-out frees the definitions; the next user reads them again.
    ClearInfoObjectDefCache();
    EXPECT_EQ(InfoObjectDefCacheCount(), 0);
    login("admin", "null", true);
    TInfoObjectDef* again = app->GetInfoObjectDef("T.ITEMS");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Actions.size(), 6u);
}

TEST_F(DefinitionLoaderTest, DatabaseErrorsPassToTheCallerAndCacheNothing)
{
    login("admin", "null", true);
    exec("drop table QZ_SYS_ObjRelations");
    EXPECT_ANY_THROW(app->GetInfoObjectDef("T.Items"));
    EXPECT_EQ(InfoObjectDefCacheCount(), 0);
    EXPECT_TRUE(boxes.shown.isEmpty()); // not reported here
}

} // namespace
