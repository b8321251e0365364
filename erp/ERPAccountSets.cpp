#include "ERPAccountSets.h"

#include "OrderedIni.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

QList<TERPAccountSet> ReadERPAccountSets(const QString& fileName)
{
    QList<TERPAccountSet> sets;
    kvos::OrderedIni ini;
    if (!ini.load(fileName))
        return sets;
    const QString folder = QFileInfo(fileName).absolutePath();
    for (const QString& alias : ini.sectionNames()) {
        if (alias.compare(ERPMaxBillRowsSection, Qt::CaseInsensitive) == 0)
            continue;
        TERPAccountSet set;
        set.Alias = alias;
        set.ID = ini.value(alias, QStringLiteral("ID"));
        set.No = ini.value(alias, QStringLiteral("No"));
        set.Location = ini.value(alias, QStringLiteral("Location"));
        set.Database = ini.value(alias, QStringLiteral("Database"));
        set.LoginID = ini.value(alias, QStringLiteral("LoginID"));
        set.Password = ini.value(alias, QStringLiteral("Password"));
        set.Options = ini.value(alias, QStringLiteral("Options"));
        // An account-set file named relative to the configuration lies beside it.
        if (set.Location.endsWith(QLatin1String(".kvdb"), Qt::CaseInsensitive) && QFileInfo(set.Location).isRelative())
            set.Location = QDir(folder).absoluteFilePath(set.Location);
        sets.append(set);
    }
    return sets;
}

const QString ERPMaxBillRowsSection = QStringLiteral("MaxBillRows");

QMap<int, quint16> ReadERPBillRowCaps(const QString& fileName)
{
    QMap<int, quint16> caps;
    kvos::OrderedIni ini;
    if (!ini.load(fileName))
        return caps;
    for (const auto& [key, value] : ini.section(ERPMaxBillRowsSection)) {
        bool kindOk = false, capOk = false;
        const int kind = key.toInt(&kindOk);
        const int cap = value.toInt(&capOk);
        if (kindOk && capOk && cap >= 1 && cap <= 65535)
            caps.insert(kind, quint16(cap));
    }
    return caps;
}

QMap<int, quint16> CurrentERPBillRowCaps(const QString& fileName)
{
    struct Read {
        QString file;
        QByteArray text;
        bool readable = false;
        QMap<int, quint16> caps;
    };
    static Read last;
    QFile f(fileName);
    const bool readable = f.open(QIODevice::ReadOnly);
    const QByteArray text = readable ? f.readAll() : QByteArray();
    if (last.file != fileName || last.readable != readable || last.text != text)
        last = {fileName, text, readable, ReadERPBillRowCaps(fileName)};
    return last.caps;
}

QString ERPLibraryFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ERPLibraryFolder), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    return QString();
}
