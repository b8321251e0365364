// Filters that name a field the user's permissions hide: the administrator's
// row condition applies in full on the real column (and one that names no
// field of the object lets no row through); a shared scheme's condition on
// such a field is left out with a notice; neither becomes broken SQL nor shows
// the field's placeholder, in the SQL, in the filter dialog or in its text.
#include "AccountSetFixture.h"
#include "DialogDriver.h"
#include "FilterControl.h"
#include "UCommon.h"
#include "dlgFilter.h"
#include "dlgViewScheme.h"
#include "famFilter.h"
#include "untInfoObjectDef.h"

#include <QBuffer>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// A filter code of criteria joined by AND: (field ID, operator, value).
struct Criterion {
    const char* field;
    kvui::FilterOperator op;
    const char* value;
};
QString code(std::initializer_list<Criterion> criteria)
{
    kvui::FilterCriteria c;
    for (const Criterion& x : criteria)
        c.root.addCriterion(FilterFieldToken(QLatin1String(x.field)), x.op, {QString::fromUtf8(x.value)});
    QBuffer b;
    b.open(QIODevice::ReadWrite);
    b.write(c.save());
    return StreamToHexText(b, -1);
}

class HiddenFieldFilterTest : public AccountSetFixture {
protected:
    void SetUp() override
    {
        AccountSetFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        InitFilterFrameUnit();
        InitFilterDlgUnit();
        InitViewSchemeDlgUnit(app.get());
        const char* rows[] = {
            "create table T_Docs (DocID int, DocNo varchar(20), DocSupp varchar(20), DocMaker varchar(20))",
            "insert T_Docs values (1, 'D-1', 'S1', 'plan01')",
            "insert T_Docs values (2, 'D-2', 'S2', 'plan01')",
            "insert T_Docs values (3, 'D-3', 'S1', 'admin')",
            "insert T_Docs values (4, 'X-4', 'S1', 'plan01')",
            "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjDllName) values ('T.Docs', '单据', 0, '')",
            "insert QZ_SYS_ObjDataSources (DtsObjID, DtsID, DtsSeqNo, DtsMain, DtsType, DtsSource) values "
            "('T.Docs', 'd', 1, 1, 0, 'T_Docs')",
            "insert QZ_SYS_ObjAccessGroups (AgrObjID, AgrID, AgrName, AgrSeqNo) values ('T.Docs', 'A_SUPP', '供应商', 1)",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldPrimary, FldDataType, FldPrecision, FldExpress, "
            "FldValType) values ('T.Docs', 'DocID', 1, '内码', 1, 3, 0, 'd.DocID', 0)",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldPrecision, FldExpress, FldValType) "
            "values ('T.Docs', 'DocNo', 2, '单号', 24, 20, 'd.DocNo', 0)",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldPrecision, FldExpress, FldValType, "
            "FldAgrID) values ('T.Docs', 'SuppName', 3, '供应商', 24, 20, 'd.DocSupp', 0, 'A_SUPP')",
            "insert QZ_SYS_ObjFields (FldObjID, FldID, FldSeqNo, FldName, FldDataType, FldPrecision, FldExpress, FldValType, "
            "FldAgrID) values ('T.Docs', 'Maker', 4, '制单人', 24, 20, 'd.DocMaker', 2, 'A_SUPP')",
        };
        for (const char* sql : rows)
            exec(QString::fromUtf8(sql));
    }

    // The administrator's row condition for plan01, who may not see the supplier or the maker.
    void restrict(const QString& filterCode)
    {
        exec(QStringLiteral("delete QZ_SYS_Permissions where PmsObjID='T.Docs'"));
        exec(QStringLiteral("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) "
                            "values (0, 'plan01', 'T.Docs', 0, '', 1, '%1|供应商 等于 S1')")
                 .arg(filterCode));
    }

    // The document numbers the object shows with a scheme, as the view reads them.
    QStringList shown(TInfoObjectDef* def, const TViewScheme& scheme)
    {
        const QString sql = app->GetInfoObjectSelectSQL(def, scheme.FieldsSQL, scheme.FilterSQL, QStringLiteral("[DocNo]"),
                                                        QString(), QString(), QString());
        EXPECT_FALSE(sql.contains(QStringLiteral("$$"))) << sql.toStdString();
        TADOQuery q;
        q.SetConnection(GlobalADOConnection);
        q.SQL.Add(sql);
        QStringList out;
        try {
            q.Open();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << "\n" << sql.toStdString();
            return out;
        }
        for (; !q.Eof(); q.Next())
            out << q.FieldByName(QStringLiteral("DocNo"))->AsString();
        return out;
    }

    TViewScheme scheme(const QString& filterCode)
    {
        TViewScheme s;
        s.Supports = voSupportFields | voSupportFilter;
        s.Params = WriteViewSchemeParam(WriteViewSchemeParam(QString(), FieldsSection, QStringLiteral("|DocNo|")), FilterSection,
                                        filterCode);
        app->ParseViewSchemeSQL(app->GetInfoObjectDef(QStringLiteral("T.Docs")), &s, GlobalADOQuery);
        return s;
    }
};

} // namespace

TEST_F(HiddenFieldFilterTest, TheRowConditionOnAHiddenFieldAppliesInFull)
{
    struct Case {
        const char* what;
        QString restriction;
        QStringList rows;
    } cases[] = {
        {"a text field", code({{"SuppName", kvui::FilterOperator::Equal, "S1"}}), {"D-1", "D-3", "X-4"}},
        {"a user field", code({{"Maker", kvui::FilterOperator::Equal, "plan01"}}), {}},
        {"with a shown field", code({{"SuppName", kvui::FilterOperator::Equal, "S1"}, {"DocNo", kvui::FilterOperator::Like, "D-"}}),
         {"D-1", "D-3"}},
        {"a field the object lacks", code({{"NoSuchField", kvui::FilterOperator::Equal, "S1"}}), {}},
    };
    for (const Case& c : cases) {
        restrict(c.restriction);
        login(QStringLiteral("plan01"), QStringLiteral("null"), false);
        TInfoObjectDef* def = app->GetInfoObjectDef(QStringLiteral("T.Docs"));
        ASSERT_NE(def, nullptr);
        // Hidden from the user, held apart for the condition only.
        EXPECT_LT(def->IndexOfField(QStringLiteral("SuppName")), 0) << c.what;
        ASSERT_EQ(def->HiddenFields.size(), 2u) << c.what;
        const QString permit = def->GetPermitFilter(GlobalADOQuery);
        EXPECT_FALSE(permit.contains(QStringLiteral("$$"))) << c.what << ": " << permit.toStdString();
        EXPECT_EQ(shown(def, scheme(QString())), c.rows) << c.what;
        EXPECT_TRUE(boxes.shown.isEmpty()) << c.what;
    }
    // On a user field the condition compares user names: it reaches the rows plan01 made.
    const QString userName = [] {
        TADOQuery q;
        q.SetConnection(GlobalADOConnection);
        q.SQL.Add(QStringLiteral("select UsrName from QZ_SYS_Users where UsrID='plan01'"));
        q.Open();
        return q.Fields()->Field(0)->AsString();
    }();
    ASSERT_FALSE(userName.isEmpty());
    restrict(code({{"Maker", kvui::FilterOperator::Equal, userName.toUtf8().constData()}}));
    login(QStringLiteral("plan01"), QStringLiteral("null"), false);
    EXPECT_EQ(shown(app->GetInfoObjectDef(QStringLiteral("T.Docs")), scheme(QString())), (QStringList{"D-1", "D-2", "X-4"}));
}

TEST_F(HiddenFieldFilterTest, ASchemeConditionOnAHiddenFieldIsLeftOutWithANotice)
{
    restrict(code({{"SuppName", kvui::FilterOperator::Equal, "S1"}}));
    const QString shared = code({{"DocNo", kvui::FilterOperator::Like, "D-"}, {"SuppName", kvui::FilterOperator::Equal, "S2"}});

    // The administrator sees the field: the scheme applies as it stands.
    login(QStringLiteral("admin"), QStringLiteral("null"), true);
    EXPECT_EQ(shown(app->GetInfoObjectDef(QStringLiteral("T.Docs")), scheme(shared)), QStringList{"D-2"});
    EXPECT_TRUE(boxes.shown.isEmpty());

    // plan01 gets the rows of his restriction and of the criteria he may use.
    login(QStringLiteral("plan01"), QStringLiteral("null"), false);
    TInfoObjectDef* def = app->GetInfoObjectDef(QStringLiteral("T.Docs"));
    EXPECT_EQ(shown(def, scheme(shared)), (QStringList{"D-1", "D-3"}));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("筛选条件中有1项条件所用的字段您无权查看, 这些条件已略去。"));
    EXPECT_FALSE(boxes.shown[0].text.contains(QStringLiteral("供应商")));
    boxes.shown.clear();

    // The filter dialog neither shows nor keeps the hidden criterion.
    QString text, filterCode = shared;
    kvtest::WhenShown<TFilterDlg>([](TFilterDlg* dlg) {
        const QString caption = dlg->famFilter->fltCriteria->filterCaption();
        EXPECT_FALSE(caption.contains(QStringLiteral("$$"))) << caption.toStdString();
        EXPECT_FALSE(caption.contains(QStringLiteral("供应商"))) << caption.toStdString();
        EXPECT_TRUE(caption.contains(QStringLiteral("单号"))) << caption.toStdString();
        EXPECT_FALSE(dlg->famFilter->memCriteriaText->toPlainText().contains(QStringLiteral("$$")));
        dlg->btnOk->click();
    });
    EXPECT_TRUE(DoShowFilterDlg(def, text, filterCode, GlobalADOQuery, QString(), false));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("筛选条件中有1项条件所用的字段您无权查看, 这些条件已略去。"));
    EXPECT_EQ(filterCode, code({{"DocNo", kvui::FilterOperator::Like, "D-"}}));
}
