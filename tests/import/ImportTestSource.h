#pragma once
// A source of rows held in memory, registered as an import kind, so that the
// import dialog can be driven without a file.
#include "untImportSource.h"

#include <QStringList>
#include <QVariantList>

class TableSource : public TImportSource {
public:
    QStringList headers;
    QList<QVariantList> rows;
    bool accept = true;   // what the definer answers
    int definerCalls = 0;

    QString SourceName() const override { return headers.isEmpty() ? QString() : QStringLiteral("内存表格"); }
    int ColCount() const override { return int(headers.size()); }
    int RowCount() const override { return int(rows.size()); }
    QString GetHeaders(int ACol) const override { return headers.value(ACol); }
    QVariant GetCells(int ACol, int ARow) const override
    {
        const QVariant v = rows.value(ARow).value(ACol);
        return v.isValid() ? v : ImportNull();
    }
    QString GetPosition(int ACol, int ARow) const override
    {
        return QStringLiteral("R%1C%2").arg(ARow + 1).arg(ACol + 1);
    }
    bool ShowDefiner() override
    {
        ++definerCalls;
        return accept;
    }

    // The object the dialog made last, and what the next one is filled with.
    static inline TableSource* last = nullptr;
    static inline QStringList nextHeaders;
    static inline QList<QVariantList> nextRows;

    static void Register(const QString& kind = QStringLiteral("内存表格"))
    {
        RegisterImportSource({kind, [] {
                                  auto s = std::make_unique<TableSource>();
                                  s->headers = nextHeaders;
                                  s->rows = nextRows;
                                  last = s.get();
                                  return s;
                              }});
    }
};
