#include "OrderedIni.h"

#include <QFile>
#include <QRegularExpression>

namespace kvos {

bool OrderedIni::load(const QString& fileName)
{
    FSections.clear();
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    loadText(QString::fromUtf8(bytes));
    return true;
}

void OrderedIni::loadText(const QString& text)
{
    FSections.clear();
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    QList<std::pair<QString, QString>>* current = nullptr;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            FSections.append({line.mid(1, line.size() - 2).trimmed(), {}});
            current = &FSections.last().second;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!current || eq <= 0)
            continue;
        current->append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
    }
}

QStringList OrderedIni::sectionNames() const
{
    QStringList names;
    for (const auto& entry : FSections)
        if (!names.contains(entry.first, Qt::CaseInsensitive))
            names.append(entry.first);
    return names;
}

QList<std::pair<QString, QString>> OrderedIni::section(const QString& name) const
{
    QList<std::pair<QString, QString>> out;
    // A section written twice reads as one, in file order.
    for (const auto& [sectionName, entries] : FSections)
        if (sectionName.compare(name, Qt::CaseInsensitive) == 0)
            out += entries;
    return out;
}

QString OrderedIni::value(const QString& sectionName, const QString& key, const QString& defaultValue) const
{
    for (const auto& [k, v] : section(sectionName))
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return defaultValue;
}

} // namespace kvos
