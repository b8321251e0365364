#pragma once
#include <QFile>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

// The text of a written file (UTF-8, byte-order mark dropped).
inline QString ReadExported(const QString& AFileName)
{
    QFile f(AFileName);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QByteArray data = f.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    return QString::fromUtf8(data);
}

// A text file as rows of cells.
inline QList<QStringList> ReadTextCells(const QString& AFileName, const QString& ASeparator = QStringLiteral("\t"))
{
    QList<QStringList> rows;
    QString text = ReadExported(AFileName);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString& line : lines)
        rows.append(line.split(ASeparator));
    return rows;
}

// One cell of a spreadsheet XML workbook as read back.
struct XmlCell {
    int row = 0, column = 0;   // 1-based, after ss:Index
    QString type, data, style;
    int mergeAcross = 0, mergeDown = 0;
};

// The cells of a spreadsheet XML workbook, with the parse error if any.
inline QList<XmlCell> ReadXmlCells(const QString& AFileName, QString* AError = nullptr)
{
    QList<XmlCell> cells;
    QFile f(AFileName);
    if (!f.open(QIODevice::ReadOnly))
        return cells;
    QXmlStreamReader xml(&f);
    int row = 0, column = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Row")) {
            ++row;
            column = 0;
        } else if (xml.isStartElement() && xml.name() == QLatin1String("Cell")) {
            const auto a = xml.attributes();
            XmlCell c;
            c.row = row;
            column = a.hasAttribute(QStringLiteral("ss:Index")) ? a.value(QStringLiteral("ss:Index")).toInt() : column + 1;
            c.column = column;
            c.style = a.value(QStringLiteral("ss:StyleID")).toString();
            c.mergeAcross = a.value(QStringLiteral("ss:MergeAcross")).toInt();
            c.mergeDown = a.value(QStringLiteral("ss:MergeDown")).toInt();
            column += c.mergeAcross;
            cells.append(c);
        } else if (xml.isStartElement() && xml.name() == QLatin1String("Data")) {
            cells.last().type = xml.attributes().value(QStringLiteral("ss:Type")).toString();
            cells.last().data = xml.readElementText();
        }
    }
    if (AError)
        *AError = xml.hasError() ? xml.errorString() : QString();
    return cells;
}
