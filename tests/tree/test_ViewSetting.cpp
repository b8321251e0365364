// The setting-scheme row of the analysis option dialogs, on a fresh account set.
#include "AccountSetFixture.h"
#include "MessageBox.h"
#include "clsViewSetting.h"
#include "dlgViewSettingSave.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>

#include <QComboBox>
#include <QToolButton>

namespace {

const QString SchemeID = QStringLiteral("MrpAnalysis");

class TProbeSettingDlg : public TViewSettingDlg {
public:
    QStringList loaded; // the working scheme's name at each LoadScheme
    bool saveResult = true;
    int saves = 0;
    void LoadScheme() override { loaded << ViewScheme.Params; }
    bool SaveScheme() override
    {
        ++saves;
        return saveResult;
    }
};

class ViewSettingDlgTest : public AccountSetFixture {
protected:
    void SetUp() override
    {
        AccountSetFixture::SetUp();
        if (IsSkipped())
            return;
        login(QStringLiteral("plan01"), QStringLiteral("null"), false);
        exec("insert QZ_SYS_Users (UsrID, UsrNo, UsrName) values ('tst2', 'tst2', N'李四')");
        orig.ID = SchemeID;
        orig.Params = WriteViewSchemeParam(QString(), "[Positions]", "Qty:0010170|");
        orig.Params = WriteViewSchemeParam(orig.Params, "[Opt]", "now");
    }
    void store(const QString& user, const QString& name, int kind, const QString& params, const QString& time)
    {
        exec(QStringLiteral("insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwTime) "
                            "values (%1, %2, %3, %4, %5, '%6')")
                 .arg(QuotedStr(SchemeID), QuotedStr(user), QuotedStr(name))
                 .arg(kind)
                 .arg(QuotedStr(params), time));
    }
    std::unique_ptr<TProbeSettingDlg> prepared()
    {
        auto dlg = std::make_unique<TProbeSettingDlg>();
        dlg->OrigScheme = &orig;
        dlg->ViewScheme = orig;
        dlg->Prepare();
        return dlg;
    }
    static QStringList texts(TViewSettingDlg* dlg)
    {
        QStringList r;
        for (int i = 0; i < dlg->cboScheme->count(); ++i)
            r << QString::number(dlg->ItemKind(i)) + u':' + dlg->cboScheme->itemText(i);
        return r;
    }
    TViewScheme orig;
};

} // namespace

TEST_F(ViewSettingDlgTest, NoStoredSchemes)
{
    auto dlg = prepared();
    EXPECT_EQ(texts(dlg.get()), (QStringList{"0:(最近使用方案)", "4:(默认方案)"}));
    EXPECT_EQ(dlg->ItemValue(1), -1);
    EXPECT_EQ(dlg->cboScheme->currentIndex(), 0);
    EXPECT_EQ(dlg->loaded, QStringList{orig.Params});
    EXPECT_FALSE(dlg->btnSchemeDelete->isEnabled());
    dlg->btnSchemeNew->click();
    EXPECT_EQ(dlg->cboScheme->currentIndex(), 1);
    EXPECT_FALSE(dlg->btnSchemeDelete->isEnabled());
}

TEST_F(ViewSettingDlgTest, ListOrderKindsAndDeletePermission)
{
    store("plan01", "旧的", 1, "[Opt]old", "20260101");
    store("plan01", "私有", 1, "[Opt]mine", "20260301");
    store("plan01", "共享", 2, "[Opt]shared", "20260201");
    store("tst2", "别人的", 2, "[Opt]other", "20260401");
    store("tst2", "别人私有", 1, "[Opt]hidden", "20260401");
    store("plan01", "最近", 0, "[Opt]last", "20260501");
    store("", "默认", 2, "[Opt]default", "20260101");
    auto dlg = prepared();
    EXPECT_EQ(texts(dlg.get()), (QStringList{"0:(最近使用方案)", "1:私有", "2:共享", "1:旧的", "3:别人的(李四)", "4:(默认方案)"}));
    const struct {
        int index;
        bool deletable;
    } cases[] = {{1, true}, {2, true}, {4, false}, {5, false}, {0, false}};
    for (const auto& c : cases) {
        dlg->cboScheme->setCurrentIndex(c.index);
        EXPECT_EQ(dlg->btnSchemeDelete->isEnabled(), c.deletable) << c.index;
    }
    // the default button picks the stored default, placed last
    dlg->btnSchemeNew->click();
    EXPECT_EQ(dlg->cboScheme->currentIndex(), 5);
    EXPECT_TRUE(dlg->ViewScheme.Params.contains("default"));
}

TEST_F(ViewSettingDlgTest, AStoredSchemeKeepsTheCurrentColumnLayout)
{
    store("plan01", "无布局", 1, WriteViewSchemeParam(QString(), "[Opt]", "stored"), "20260101");
    auto dlg = prepared();
    dlg->cboScheme->setCurrentIndex(1);
    EXPECT_EQ(ReadViewSchemeParam(dlg->ViewScheme.Params, "[Opt]"), "stored");
    EXPECT_EQ(ReadViewSchemeParam(dlg->ViewScheme.Params, "[Positions]"), "Qty:0010170|");
    // back to the settings in use now
    dlg->cboScheme->setCurrentIndex(0);
    EXPECT_EQ(dlg->ViewScheme.Params, orig.Params);
}

TEST_F(ViewSettingDlgTest, DeleteAsksAndIsNotUndoneByCancel)
{
    store("plan01", "私有", 1, "[Opt]mine", "20260301");
    auto dlg = prepared();
    dlg->cboScheme->setCurrentIndex(1);
    boxes.answer({kvos::IDCANCEL});
    dlg->btnSchemeDelete->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您所选的项目将被删除, 确定?"));
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    EXPECT_EQ(dlg->cboScheme->count(), 3);

    boxes.answer({kvos::IDOK});
    dlg->btnSchemeDelete->click();
    EXPECT_EQ(texts(dlg.get()), (QStringList{"0:(最近使用方案)", "4:(默认方案)"}));
    EXPECT_EQ(dlg->cboScheme->currentIndex(), 0);
    EXPECT_EQ(dlg->ViewScheme.Params, orig.Params);
    dlg->reject();
    EXPECT_EQ(count("select count(*) from QZ_SYS_ViewSchemes where ViwName=N'私有'"), 0);
}

TEST_F(ViewSettingDlgTest, OkWaitsForValidOptions)
{
    auto dlg = prepared();
    dlg->saveResult = false;
    dlg->setResult(-1);
    dlg->done(QDialog::Accepted);
    EXPECT_EQ(dlg->result(), -1);
    EXPECT_EQ(dlg->saves, 1);
    dlg->saveResult = true;
    dlg->done(QDialog::Accepted);
    EXPECT_EQ(dlg->result(), int(QDialog::Accepted));
    // Cancel never checks
    dlg->done(QDialog::Rejected);
    EXPECT_EQ(dlg->saves, 2);
}

TEST_F(ViewSettingDlgTest, SavingUnderAnOwnNameReplacesIt)
{
    store("plan01", "私有", 1, "[Opt]old", "20260301");
    auto dlg = prepared();
    dlg->ViewScheme.Params = WriteViewSchemeParam(QString(), "[Opt]", "new");
    boxes.answer({kvos::IDOK}); // the overwrite question
    QTimer::singleShot(0, [] {
        auto* save = qobject_cast<TViewSettingSaveDlg*>(QApplication::activeModalWidget());
        if (!save) {
            ADD_FAILURE() << "the save dialog is not shown";
            return;
        }
        save->edtName->setEditText(QStringLiteral("私有"));
        save->chkShared->setChecked(false);
        save->accept();
        if (save->isVisible())
            save->reject();
    });
    dlg->btnSchemeSave->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您指定的\"私有\"已经存在, 确定覆盖?"));
    EXPECT_EQ(count("select count(*) from QZ_SYS_ViewSchemes where ViwName=N'私有'"), 1);
    EXPECT_EQ(count("select count(*) from QZ_SYS_ViewSchemes where ViwName=N'私有' and ViwParams like '%new%'"), 1);
    // the list is read again and shows the saved row selected
    EXPECT_EQ(texts(dlg.get()), (QStringList{"0:(最近使用方案)", "1:私有", "4:(默认方案)"}));
    EXPECT_EQ(dlg->cboScheme->currentIndex(), 1);
    EXPECT_TRUE(dlg->btnSchemeDelete->isEnabled());
}
