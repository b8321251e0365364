#include "untInvAgeGroups.h"

QString AgeGroupCaption(int AOffset, int ADays)
{
    return QStringLiteral("%1 - %2天").arg(AOffset).arg(AOffset + ADays - 1);
}

QString AgeGroupClosingCaption(int AOffset)
{
    return QStringLiteral("%1天以上").arg(AOffset);
}

void ParseAgeGroups(const QString& AText, TAgeGroups& AGroups)
{
    AGroups.clear();
    AGroups.reserve(MaxAgeGroups);
    QStringList items = AText.split(u'|');
    items.removeLast();  // the text after the last "|" is no item
    int offset = 0;
    for (qsizetype i = 0; i < items.size() && i < MaxAgeGroups - 1; ++i) {
        bool ok = false;
        int days = items[i].trimmed().toInt(&ok);
        if (!ok)
            days = 0;
        if (days < 1)
            break;
        AGroups.append({AgeGroupCaption(offset, days), offset, days});
        offset += days;
    }
    if (!AGroups.isEmpty())
        AGroups.append({AgeGroupClosingCaption(offset), offset, 0});
}
