#include "untForcastState.h"

#include "UDBComm.h"
#include "untApplication.h"

QString UpdateForcastStateSQL(const QString& AForID, const QString& AForEntry, int AKind, const QString& AUserID)
{
    // @UpdateType of each kind: check 1, uncheck -1, close 2, reopen -2, delete 3.
    static constexpr int kUpdateTypes[] = {1, -1, 2, -2, 3};
    const int updateType = AKind >= 0 && AKind < 5 ? kUpdateTypes[AKind] : 0;
    // The bill identity and the line are texts from the data: they travel as
    // quoted literals, so that no value can change the statement.
    return QStringLiteral("exec QZ_MRP_UpdateForcast @ForID=%1, @ForEntry=%2, @UpdateType=%3, @UserID=%4\rselect 1")
        .arg(QuotedStr(AForID), QuotedStr(AForEntry), QString::number(updateType), QuotedStr(AUserID));
}

bool UpdateForcastState(const QString& AForID, const QString& AForEntry, int AKind)
{
    const QString user = InfoApplication ? InfoApplication->LoginInfo.UserID : QString();
    return ExecSQLText(GlobalADOQuery, UpdateForcastStateSQL(AForID, AForEntry, AKind, user), true, false, false);
}
