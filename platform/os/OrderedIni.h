#pragma once
// A read-only INI file reader that keeps the entries of each section in the
// order they stand in the file (QSettings sorts keys, and "the first entry"
// of a section matters to some files).
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace kvos {

class OrderedIni {
public:
    // Reads the file; false when it cannot be read. Section names ignore case.
    bool load(const QString& fileName);
    void loadText(const QString& text);

    // Section names in file order (a name written twice is listed once).
    QStringList sectionNames() const;

    // The name=value lines of a section, in file order (names and values trimmed).
    QList<std::pair<QString, QString>> section(const QString& name) const;
    QString value(const QString& section, const QString& key, const QString& defaultValue = QString()) const;

private:
    QList<std::pair<QString, QList<std::pair<QString, QString>>>> FSections;
};

} // namespace kvos
