// Engine cases as data. Each scenario in scenarios/ is a T-SQL script
// (NAME.sql, batches separated by lines holding only "go") that fills an
// account set holding only the system's own tables, users and info objects,
// and the plan it must give (NAME.expected). The test runs the main demand and
// MRP for the script's plan scheme as the planner plan01 and compares the
// planned supplies line by line:
//
//   item  type  quantity  per period  need date  start date  supplier  department
//
// Columns are separated by blanks (any number), "-" stands for an empty value,
// and lines starting with "#" are comments. Quantities are written without
// trailing zeros, the per-period quantities as "KK=qty" joined by commas (KK the
// period index in two base-36 digits). KV_SCENARIO_WRITE=1 writes what the run
// gave into the .expected files instead of comparing (check them by hand).
#include "EngineDbFixture.h"
#include "NewAccountSet.h"
#include "ScriptedMessageBoxes.h"
#include "untMRP.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <memory>

using namespace enginetest;

namespace {

const QString kScenarioDir = QStringLiteral(KV_SCENARIO_DIR);

// Schema, info objects, settings and users: every demo script but the
// company's master data and documents.
QString emptyAccountSet()
{
    static QString file;
    if (file.isEmpty()) {
        file = programDir().filePath(QStringLiteral("empty.kvdb"));
        QList<kvdemo::Script> scripts;
        for (const kvdemo::Script& s : kvdemo::accountSetScripts())
            if (!s.name.startsWith(QLatin1String("data/2")))
                scripts << s;
        QString error;
        if (!kvdemo::createAccountSet(file, scripts, &error))
            ADD_FAILURE() << error.toStdString();
    }
    return file;
}

QStringList significantLines(const QString& text);

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

// A script with its ":r FILE" lines replaced by that file of the folder, so
// that cases on the same company share its data.
QString scriptText(const QString& path)
{
    QStringList out;
    for (const QString& line : readText(path).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(":r ")))
            out << scriptText(kScenarioDir + QLatin1Char('/') + line.mid(3).trimmed());
        else
            out << line;
    }
    return out.join(QLatin1Char('\n'));
}

bool hasKitLines(const QString& text)
{
    for (const QString& line : significantLines(text))
        if (line.startsWith(QLatin1String("kit ")))
            return true;
    return false;
}

// The lines that count: comments and blank lines dropped, blanks normalised.
QStringList significantLines(const QString& text)
{
    QStringList out;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.simplified();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            out << line;
    }
    return out;
}

// A line diff (longest common subsequence): "  " kept, "- " expected only,
// "+ " what the run gave only.
QString lineDiff(const QStringList& expected, const QStringList& actual)
{
    const int n = expected.size(), m = actual.size();
    std::vector<std::vector<int>> l(n + 1, std::vector<int>(m + 1, 0));
    for (int i = n - 1; i >= 0; --i)
        for (int j = m - 1; j >= 0; --j)
            l[i][j] = expected[i] == actual[j] ? l[i + 1][j + 1] + 1 : std::max(l[i + 1][j], l[i][j + 1]);
    QString out;
    int i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && expected[i] == actual[j]) {
            out += QStringLiteral("  ") + expected[i++] + QLatin1Char('\n');
            ++j;
        } else if (j < m && (i == n || l[i][j + 1] >= l[i + 1][j])) {
            out += QStringLiteral("+ ") + actual[j++] + QLatin1Char('\n');
        } else {
            out += QStringLiteral("- ") + expected[i++] + QLatin1Char('\n');
        }
    }
    return out;
}

QString qtyText(QString s)
{
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s.isEmpty() ? QStringLiteral("-") : s;
}

QString orDash(const QString& s) { return s.trimmed().isEmpty() ? QStringLiteral("-") : s.trimmed(); }

QStringList scenarioNames()
{
    QStringList names;
    for (const QFileInfo& fi : QDir(kScenarioDir).entryInfoList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name))
        names << fi.completeBaseName();
    return names;
}

class ScenarioTest : public EngineDbTest, public ::testing::WithParamInterface<QString> {
protected:
    QString accountSetTemplate() const override { return emptyAccountSet(); }

    // Every result row of the scheme, the run log's without its times.
    QStringList resultRows(int iid)
    {
        QStringList out;
        const std::pair<const char*, const char*> tables[] = {
            {"QZ_MRP_Demands", "DmdSchIID"}, {"QZ_MRP_Supplies", "SupSchIID"},   {"QZ_MRP_SupAdjusts", "AdjSchIID"},
            {"QZ_MRP_Allots", "AltSchIID"},  {"QZ_MRP_DestAlters", "DstSchIID"}, {"QZ_MRP_Balance", "BalSchIID"}};
        for (const auto& [table, column] : tables)
            for (const QString& r : rows(QStringLiteral("select * from %1 where %2=%3")
                                             .arg(QLatin1String(table), QLatin1String(column))
                                             .arg(iid)))
                out << QLatin1String(table) + QLatin1Char('|') + r;
        out.sort();
        for (const QString& r : rows(QStringLiteral("select LogIndent, LogKind, LogText from QZ_MRP_RunLog where "
                                                    "LogSchIID=%1 order by LogIID")
                                         .arg(iid)))
            out << QStringLiteral("QZ_MRP_RunLog|") + r;
        return out;
    }

    // The planned supplies of the scheme, one aligned line each.
    QString plannedSupplies(int iid)
    {
        const QStringList rowsOut = rows(
            QStringLiteral("select i.ItmNo, SupBillType, SupQty, isnull(SupHints,''), convert(char(10),SupDate,120), "
                           "convert(char(10),SupDrawDate,120), isnull(SupSuppID,''), isnull(SupDeptID,'') from "
                           "QZ_MRP_Supplies join QZ_Base_ItemMaster as i on SupItmID=i.ItmID where SupSchIID=%1 and "
                           "SupBillType>=42 order by i.ItmNo, SupBillType, SupDate, SupDrawDate, SupQty")
                .arg(iid));
        QList<QStringList> table;
        for (const QString& r : rowsOut) {
            const QStringList c = r.split(QLatin1Char('|'));
            QStringList hints;
            for (const QString& h : c[3].split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
                const int eq = h.indexOf(QLatin1Char('='));
                hints << (eq < 0 ? h : h.left(eq + 1) + qtyText(h.mid(eq + 1)));
            }
            table << QStringList{c[0], c[1], qtyText(c[2]), orDash(hints.join(QLatin1Char(','))), c[4], c[5],
                                 orDash(c[6]), orDash(c[7])};
        }
        const QStringList head{QStringLiteral("# item"), QStringLiteral("type"), QStringLiteral("quantity"),
                               QStringLiteral("per period"), QStringLiteral("need"), QStringLiteral("start"),
                               QStringLiteral("supplier"), QStringLiteral("department")};
        std::vector<int> width(head.size());
        for (int k = 0; k < head.size(); ++k) {
            width[k] = head[k].size();
            for (const QStringList& r : table)
                width[k] = std::max<int>(width[k], r[k].size());
        }
        auto line = [&](const QStringList& r) {
            QString s;
            for (int k = 0; k < r.size(); ++k)
                s += (k + 1 < r.size() ? r[k].leftJustified(width[k] + 2) : r[k]);
            return s.trimmed() + QLatin1Char('\n');
        };
        QString out = line(head);
        for (const QStringList& r : table)
            out += line(r);
        return out;
    }

    // The kit figures of the main demands (bill types up to 12) and of the
    // open orders (22, 24): "kit", item, bill type, bill number and line,
    // quantity, kit-complete quantity.
    QString kitFigures(int iid)
    {
        QString out = QStringLiteral("# kit  item  type  bill  quantity  kit-complete\n");
        for (const QString& r : rows(QStringLiteral(
                 "select i.ItmNo, DmdBillType, DmdBillNo, DmdBillEntry, DmdNeedQty, DmdASetQty from QZ_MRP_Demands join "
                 "QZ_Base_ItemMaster as i on DmdItmID=i.ItmID where DmdSchIID=%1 and DmdBillType<=12 union all select "
                 "i.ItmNo, SupBillType, SupBillNo, SupBillEntry, SupQty, SupDSetQty from QZ_MRP_Supplies join "
                 "QZ_Base_ItemMaster as i on SupItmID=i.ItmID where SupSchIID=%1 and SupBillType in (22, 24) order by 1, 2, 3, 4")
                                        .arg(iid))) {
            const QStringList c = r.split(QLatin1Char('|'));
            out += QStringLiteral("kit %1 %2 %3/%4 %5 %6\n").arg(c[0], c[1], c[2], c[3], qtyText(c[4]), qtyText(c[5]));
        }
        return out;
    }
};

} // namespace

TEST_P(ScenarioTest, GivesTheExpectedPlan)
{
    const QString base = kScenarioDir + QLatin1Char('/') + GetParam();
    {
        auto c = kvtsql::Connection::open(dbFile);
        QString error;
        ASSERT_TRUE(kvdemo::runScripts(*c, {{GetParam() + QStringLiteral(".sql"), scriptText(base + QStringLiteral(".sql"))}},
                                       &error))
            << error.toStdString();
    }
    const int iid = value(QStringLiteral("select min(SchIID) from QZ_MRP_Schemes where SchUsrID='plan01'")).toInt();
    ASSERT_GT(iid, 0) << "the script makes no plan scheme of plan01";

    QStringList log;
    auto scheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
    scheme->PlanType = value(QStringLiteral("select SchType from QZ_MRP_Schemes where SchIID=%1").arg(iid)).toInt();
    ASSERT_TRUE(scheme->Load(iid));
    ScriptedMessageBoxes boxes;
    // A quick analysis's main demand is written by its settings dialog (here
    // by the script), never built from the documents.
    if (scheme->PlanType == 0) {
        ASSERT_TRUE(scheme->RunMPS(false, false));
        ASSERT_TRUE(scheme->Load(iid));
    }
    const bool ran = scheme->RunMRP(false, false, false,
                                    [&](TMessageKind, const QString& text, const QString&, const QVariant&, const QVariant&,
                                        void*) -> void* {
                                        log << text.mid(20);
                                        return reinterpret_cast<void*>(quintptr(log.size()));
                                    });
    ASSERT_TRUE(ran) << log.join(QLatin1Char('\n')).toStdString();

    const QString expectedFile = base + QStringLiteral(".expected");
    QString actual = plannedSupplies(iid);
    if (hasKitLines(readText(expectedFile)))
        actual += kitFigures(iid);
    if (qEnvironmentVariableIntValue("KV_SCENARIO_WRITE") == 1) {
        QString header;
        for (const QString& l : readText(expectedFile).split(QLatin1Char('\n')))
            if (l.startsWith(QLatin1String("## ")))
                header += l + QLatin1Char('\n');
        writeFile(expectedFile, header + actual);
        return;
    }
    const QStringList expected = significantLines(readText(expectedFile));
    const QStringList got = significantLines(actual);
    EXPECT_TRUE(expected == got) << "planned supplies of " << GetParam().toStdString() << " (- expected, + run):\n"
                                 << lineDiff(expected, got).toStdString();

    // Planned in parts of one item each, a level gives every result row the
    // same, numbers of rows included.
    const QStringList whole = resultRows(iid);
    const int partRows = MRPLevelPartRows();
    MRPLevelPartRows() = 1;
    log.clear();
    const bool inParts = scheme->Load(iid) && scheme->RunMRP(false, false, false,
                                                             [&](TMessageKind, const QString& text, const QString&,
                                                                 const QVariant&, const QVariant&, void*) -> void* {
                                                                 log << text.mid(20);
                                                                 return reinterpret_cast<void*>(quintptr(log.size()));
                                                             });
    MRPLevelPartRows() = partRows;
    ASSERT_TRUE(inParts) << log.join(QLatin1Char('\n')).toStdString();
    const QStringList parts = resultRows(iid);
    EXPECT_TRUE(parts == whole) << "result rows planned in parts (- at once, + in parts):\n"
                                << lineDiff(whole, parts).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn([] {
                             const QStringList names = scenarioNames();
                             return std::vector<QString>(names.begin(), names.end());
                         }()),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             QString name = info.param;
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
                             return name.toStdString();
                         });
