#include "untInfoObjectDef.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"

namespace FieldTypes {

bool IsStringType(int code)
{
    switch (code) {
    case ftString: case ftMemo: case ftFmtMemo: case ftFixedChar: case ftWideString: case ftFixedWideChar:
    case ftWideMemo:
        return true;
    default:
        return false;
    }
}

bool IsOrdinalType(int code)
{
    switch (code) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: case ftLongWord:
    case ftShortint: case ftByte:
        return true;
    default:
        return false;
    }
}

bool IsNumericType(int code)
{
    switch (code) {
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: case ftExtended: case ftSingle:
        return true;
    default:
        return IsOrdinalType(code);
    }
}

bool IsDateType(int code)
{
    return code == ftDate || IsDateTimeType(code);
}

bool IsDateTimeType(int code)
{
    return code == ftDateTime || code == ftTimeStamp || code == ftOraTimeStamp;
}

} // namespace FieldTypes

QList<QPair<QString, QString>> ViewSchemeNamedItems(const QString& text)
{
    QList<QPair<QString, QString>> items;
    for (const QString& item : text.split(u'|', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(u'=');
        if (eq < 0)
            items.append({item, QString()});
        else
            items.append({item.left(eq), item.mid(eq + 1)});
    }
    return items;
}

bool FindViewSchemeItem(const QList<QPair<QString, QString>>& items, const QString& name, QString& value)
{
    for (const auto& item : items)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0) {
            value = item.second;
            return true;
        }
    return false;
}

QString ReadViewSchemeParam(const QString& params, const QString& section)
{
    return ReadDelimitedValue(params, section, ViewSchemeParamSeparator);
}

QString WriteViewSchemeParam(const QString& params, const QString& section, const QString& value)
{
    return WriteDelimitedValue(params, section, value, ViewSchemeParamSeparator);
}

// ---- TInfoObjectDef ------------------------------------------------------

QString TInfoObjectDef::GetPermitFilter(const std::function<QString(const QString&)>& translate) const
{
    if (PermitCodes.isEmpty() || PermitCodes == QLatin1String("1=0"))
        return PermitCodes;
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype bar = PermitCodes.indexOf(u'|', from);
        if (bar < 0)
            break; // text after the last bar is not a code
        const QString code = PermitCodes.mid(from, bar - from);
        from = bar + 1;
        if (code.isEmpty())
            continue;
        result += QStringLiteral(" or (") + translate(code) + u')';
    }
    return result.mid(4);
}

namespace {

template <typename T>
T* findLast(std::vector<T>& items, const QString& id)
{
    for (auto i = items.size(); i-- > 0;)
        if (items[i].ID.compare(id, Qt::CaseInsensitive) == 0)
            return &items[i];
    return nullptr;
}

template <typename T>
int indexOfLast(const std::vector<T>& items, const QString& id)
{
    for (auto i = items.size(); i-- > 0;)
        if (items[i].ID.compare(id, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace

PInfoAccessGroup TInfoObjectDef::GetAccessGroup(const QString& AID) { return findLast(AccessGroups, AID); }
PInfoFieldDef TInfoObjectDef::GetFieldDef(const QString& AID) { return findLast(Fields, AID); }
PInfoActionDef TInfoObjectDef::GetActionDef(const QString& AID) { return findLast(Actions, AID); }
PInfoRelationDef TInfoObjectDef::GetRelationDef(const QString& AID) { return findLast(Relations, AID); }
int TInfoObjectDef::IndexOfField(const QString& AID) const { return indexOfLast(Fields, AID); }
int TInfoObjectDef::IndexOfAction(const QString& AID) const { return indexOfLast(Actions, AID); }

// ---- view-scheme statements ----------------------------------------------

QString ViewSchemeLoadSQL(const TViewScheme& scheme, const QString& userID)
{
    QString condition;
    if (scheme.IID != 0)
        condition = QStringLiteral("ViwID=%1 and ViwIID=%2").arg(QuotedStr(scheme.ID), QString::number(scheme.IID));
    else
        condition = QStringLiteral("ViwID=%1 and (ViwUsrID=%2 and ViwKind=%3 or ViwUsrID='' and ViwKind=%4) order by ViwKind")
                        .arg(QuotedStr(scheme.ID), QuotedStr(userID), QString::number(int(vkLastUsed)),
                             QString::number(int(vkPublic)));
    return QStringLiteral("select top 1 * from QZ_SYS_ViewSchemes with(nolock) where ") + condition;
}

QString ViewSchemeMaskSQL(const TViewScheme& scheme)
{
    return QStringLiteral("select ViwMask from QZ_SYS_ViewMasks with(nolock) where ViwID=") + QuotedStr(scheme.ID);
}

QString ViewSchemeDeleteSQL(const TViewScheme& scheme, const QString& userID)
{
    return QStringLiteral("delete QZ_SYS_ViewSchemes where ViwIID=%1 and ViwID=%2 and ViwUsrID=%3")
        .arg(QString::number(scheme.IID), QuotedStr(scheme.ID), QuotedStr(userID));
}

namespace {

QString printSettingValue(const TViewScheme& scheme, bool savePrintSetting)
{
    return savePrintSetting ? QuotedStr(scheme.PrintSetting) : QStringLiteral("null");
}

} // namespace

QString ViewSchemeInsertSQL(const TViewScheme& scheme, const QString& userID, bool savePrintSetting)
{
    const QString id = QuotedStr(scheme.ID);
    const QString user = QuotedStr(userID);
    const QString name = QuotedStr(scheme.Name);
    // the replaced row and the new one change together: a failed insert (or a
    // stopped program) leaves the stored scheme as it was
    QString sql = QStringLiteral("declare @e int\rbegin tran\rdelete QZ_SYS_ViewSchemes where ViwID=") + id
        + QStringLiteral(" and ViwUsrID=") + user + QStringLiteral(" and ");
    if (scheme.Kind == vkLastUsed)
        sql += QStringLiteral("ViwKind=0\r");
    else
        sql += QStringLiteral("ViwKind<>0 and ViwName=") + name + u'\r';
    sql += QStringLiteral("set @e=@@error\rif @e=0 begin\r"
                          "insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwPSetting, ViwTime) "
                          "values (")
        + id + QStringLiteral(", ") + user + QStringLiteral(", ") + name + QStringLiteral(", ")
        + QString::number(int(scheme.Kind)) + QStringLiteral(", ") + QuotedStr(scheme.Params) + QStringLiteral(", ")
        + printSettingValue(scheme, savePrintSetting) + QStringLiteral(", getdate())\r")
        + QStringLiteral("set @e=@@error\rend\r"
                         "if @e=0 begin commit tran select ViwIID=@@identity end else rollback tran");
    return sql;
}

QString ViewSchemeUpdateSQL(const TViewScheme& scheme, const QString& userID, bool savePrintSetting)
{
    return QStringLiteral("update QZ_SYS_ViewSchemes set ViwName=%1, ViwKind=%2, ViwParams=%3, ViwPSetting=%4, "
                          "ViwTime=getdate() where ViwIID=%5 and ViwID=%6 and ViwUsrID=%7")
        .arg(QuotedStr(scheme.Name), QString::number(int(scheme.Kind)), QuotedStr(scheme.Params),
             printSettingValue(scheme, savePrintSetting), QString::number(scheme.IID), QuotedStr(scheme.ID),
             QuotedStr(userID));
}

QString ViewMaskFromStored(const QString& stored)
{
    QString s = stored;
    s.remove(u' ');
    return u'|' + s + u'|';
}

// ---- operations on the database ---------------------------------------------

QString TInfoObjectDef::GetPermitFilter(TADOQuery* AByQuery)
{
    if (HiddenFields.empty())
        return GetPermitFilter([this, AByQuery](const QString& code) {
            return InfoApplication->TranslatePermitCodeToSQL(this, code, AByQuery);
        });
    TInfoObjectDef whole = *this;
    whole.Fields.insert(whole.Fields.end(), HiddenFields.begin(), HiddenFields.end());
    whole.HiddenFields.clear();
    return GetPermitFilter([&whole, AByQuery](const QString& code) {
        return InfoApplication->TranslatePermitCodeToSQL(&whole, code, AByQuery);
    });
}

bool LoadViewScheme(TViewScheme& AScheme)
{
    TADOQuery* q = GlobalADOQuery;
    const QString user = InfoApplication->LoginInfo.UserID;
    if (!ExecSQLText(q, ViewSchemeLoadSQL(AScheme, user), true, false, true))
        return false;
    if (q->Eof()) {
        AScheme.IID = 0;
        AScheme.Name.clear();
        AScheme.Params.clear();
        AScheme.Kind = vkLastUsed;
    } else {
        AScheme.IID = q->FieldByName(QStringLiteral("ViwIID"))->AsInteger();
        AScheme.Name = q->FieldByName(QStringLiteral("ViwName"))->AsString();
        const int kind = q->FieldByName(QStringLiteral("ViwKind"))->AsInteger();
        AScheme.Kind = (kind == vkPrivate || kind == vkPublic) ? TViewSchemeKind(kind) : vkLastUsed;
        AScheme.Params = q->FieldByName(QStringLiteral("ViwParams"))->AsString();
        const QString printSetting = q->FieldByName(QStringLiteral("ViwPSetting"))->AsString();
        if (!printSetting.isEmpty())
            AScheme.PrintSetting = printSetting;
    }
    if (!ExecSQLText(q, ViewSchemeMaskSQL(AScheme), true, false, true))
        return false;
    AScheme.Mask = q->Eof() ? QString() : ViewMaskFromStored(q->FieldByName(QStringLiteral("ViwMask"))->AsString());
    q->Close();
    return true;
}

bool DeleteViewScheme(TViewScheme& AScheme)
{
    if (!ExecSQLText(GlobalADOQuery, ViewSchemeDeleteSQL(AScheme, InfoApplication->LoginInfo.UserID), false, false, true))
        return false;
    AScheme.IID = 0;
    return true;
}

namespace {

// Inserts the scheme as a new row of the user; IID := the new identity.
bool insertViewScheme(TViewScheme& AScheme, const QString& user, bool ASavePrintSetting)
{
    TADOQuery* q = GlobalADOQuery;
    if (!ExecSQLText(q, ViewSchemeInsertSQL(AScheme, user, ASavePrintSetting), true, false, true))
        return false;
    if (q->Eof())
        return false;
    AScheme.IID = q->FieldByName(QStringLiteral("ViwIID"))->AsInteger();
    q->Close();
    return true;
}

} // namespace

bool SaveViewScheme(TViewScheme& AScheme, bool ASavePrintSetting)
{
    TADOQuery* q = GlobalADOQuery;
    const QString user = InfoApplication->LoginInfo.UserID;
    if (AScheme.IID == 0)
        return insertViewScheme(AScheme, user, ASavePrintSetting);

    if (!ExecSQLText(q, ViewSchemeUpdateSQL(AScheme, user, ASavePrintSetting), false, false, true))
        return false;
    if (q->RowsAffected() > 0)
        return true;
    // The row is not the user's own: the shared default that the view started
    // from (the user's layout becomes the user's last-used scheme), or a row
    // deleted meanwhile (stored again as it was). Either way the user's own
    // row is written, so nothing the user arranged is lost.
    if (!ExecSQLText(q, QStringLiteral("select ViwIID from QZ_SYS_ViewSchemes with(nolock) where ViwIID=") + QString::number(AScheme.IID),
                     true, false, true))
        return false;
    TViewScheme own = AScheme;
    own.IID = 0;
    if (!q->Eof())
        own.Kind = vkLastUsed;
    q->Close();
    if (!insertViewScheme(own, user, ASavePrintSetting))
        return false;
    AScheme.IID = own.IID;
    AScheme.Kind = own.Kind;
    return true;
}
