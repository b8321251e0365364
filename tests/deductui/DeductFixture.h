#pragma once
// A fresh demo account set per test whose forecast, sales-order and
// export-order lines are only the ones the test writes, with helpers for
// lines, deduction records and the deducted totals.
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "dlgFilter.h"
#include "dlgViewScheme.h"
#include "famFilter.h"

namespace deductui {

class DeductDbTest : public enginetest::EngineDbTest {
protected:
    void SetUp() override
    {
        EngineDbTest::SetUp();
        if (HasFatalFailure())
            return;
        // The host's scheme and filter services, as the program installs them.
        InitFilterFrameUnit();
        InitFilterDlgUnit();
        InitViewSchemeDlgUnit(InfoApplication);
        exec("delete QZ_MRP_Forcast\rdelete QZ_MRP_SO\rdelete QZ_MRP_SI\rdelete QZ_MRP_Deduction\r"
             "delete QZ_MRP_ForcastExt\rdelete QZ_MRP_SOExt\rdelete QZ_MRP_SIExt");
    }

    // A checked, open forecast line of customer C001.
    void forecast(const QString& id, int entry, const QString& item, const QString& date, double qty, double okQty = 0)
    {
        exec(QStringLiteral("insert QZ_MRP_Forcast (ForID, ForNo, ForEntry, ForDate, ForCustID, ForItmID, ForUntID, "
                            "ForBillQty, ForUBillQty, ForQty, ForOkQty, ForDelivDate, Checked, Closed, CanMRP) values "
                            "('%1', '%1', %2, '20261201', 'C001', '%3', 'PCS', %4, %4, %4, %5, '%6', 1, 0, 1)")
                 .arg(id)
                 .arg(entry)
                 .arg(item)
                 .arg(qty)
                 .arg(okQty)
                 .arg(date));
    }

    // A checked order line ("SO" sales order, "SI" export order) of customer C001.
    void order(const char* kind, const QString& id, int entry, const QString& item, const QString& date, double qty,
               bool closed = false)
    {
        exec(QStringLiteral("insert QZ_MRP_%1 (%1ID, %1No, %1Entry, %1Date, %1CustID, %1ItmID, %1UntID, %1BillQty, "
                            "%1Qty, %1DelivDate, Checked, Closed, CanMRP) values ('%2', '%2', %3, '20261201', 'C001', '%4', "
                            "'PCS', %5, %5, '%6', 1, %7, %8)")
                 .arg(QLatin1String(kind), id)
                 .arg(entry)
                 .arg(item)
                 .arg(qty)
                 .arg(date)
                 .arg(closed ? 1 : 0)
                 .arg(closed ? 0 : 1));
    }

    // A deduction record (kind 2 or 4 on the order side) with the totals of both lines.
    void deduction(const QString& forID, const QString& ordID, int ordType, double forQty, double ordQty, bool manual)
    {
        const char* ord = ordType == 2 ? "SO" : "SI";
        const QString a = manual ? QStringLiteral("0") : QString::number(forQty);
        const QString m = manual ? QString::number(forQty) : QStringLiteral("0");
        const QString oa = manual ? QStringLiteral("0") : QString::number(ordQty);
        const QString om = manual ? QString::number(ordQty) : QStringLiteral("0");
        exec(QStringLiteral("insert QZ_MRP_Deduction (DedForID, DedForEntry, DedOrdType, DedOrdID, DedOrdEntry, DedForQty, "
                            "DedOrdQty, DedManual, DedUsrID, DedTime) values ('%1', 1, %2, '%3', 1, %4, %5, %6, 'U001', "
                            "'20261201')\r"
                            "if exists (select * from QZ_MRP_ForcastExt where ForID='%1' and ForEntry=1)\r"
                            "update QZ_MRP_ForcastExt set ForDedAQty=isnull(ForDedAQty,0)+%7, ForDedMQty=isnull(ForDedMQty,0)+%8 "
                            "where ForID='%1' and ForEntry=1\r"
                            "else insert QZ_MRP_ForcastExt (ForID, ForEntry, ForItmID, ForDedAQty, ForDedMQty) select ForID, "
                            "ForEntry, ForItmID, %7, %8 from QZ_MRP_Forcast where ForID='%1' and ForEntry=1\r"
                            "if exists (select * from QZ_MRP_%9Ext where %9ID='%3' and %9Entry=1)\r"
                            "update QZ_MRP_%9Ext set %9DedAQty=isnull(%9DedAQty,0)+%10, %9DedMQty=isnull(%9DedMQty,0)+%11 "
                            "where %9ID='%3' and %9Entry=1\r"
                            "else insert QZ_MRP_%9Ext (%9ID, %9Entry, %9ItmID, %9DedAQty, %9DedMQty) select %9ID, %9Entry, "
                            "%9ItmID, %10, %11 from QZ_MRP_%9 where %9ID='%3' and %9Entry=1")
                 .arg(forID)
                 .arg(ordType)
                 .arg(ordID)
                 .arg(forQty)
                 .arg(ordQty)
                 .arg(manual ? 1 : 0)
                 .arg(a, m, QLatin1String(ord), oa, om));
    }

    // Deduction records as "forecast|kind|order|for qty|order qty|manual", oldest first.
    QStringList deductions()
    {
        return rows("select DedForID, DedOrdType, DedOrdID, DedForQty, DedOrdQty, DedManual from QZ_MRP_Deduction "
                    "order by DedIID");
    }
    // Automatic and manual totals of a line as "auto|manual".
    QString totals(const char* kind, const QString& id)
    {
        const QString p = QLatin1String(kind) == QLatin1String("Forcast") ? QStringLiteral("For") : QLatin1String(kind);
        return rows(QStringLiteral("select isnull(%1DedAQty,0), isnull(%1DedMQty,0) from QZ_MRP_%2Ext where %1ID='%3' and "
                                   "%1Entry=1")
                        .arg(p, QLatin1String(kind), id))
            .value(0);
    }
    // Everything the deduction tables hold, to compare before and after.
    QStringList snapshot()
    {
        QStringList all = rows("select * from QZ_MRP_Deduction order by DedIID");
        all += rows("select * from QZ_MRP_ForcastExt order by ForID, ForEntry");
        all += rows("select * from QZ_MRP_SOExt order by SOID, SOEntry");
        all += rows("select * from QZ_MRP_SIExt order by SIID, SIEntry");
        return all;
    }
};

} // namespace deductui
