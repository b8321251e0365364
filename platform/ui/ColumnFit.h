#pragma once
// Columns that fit what they show (the role of the component suite's best-fit
// of a view's columns): once a grid or tree list holds rows, every shown column
// is widened to its caption (with room for the sort mark), the texts of its
// first rows and its footer. A column whose width a stored layout gives, or
// that the user has resized, keeps its width; fitting only ever widens.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>

namespace kvui {

class BandedView;
class Column;

class ColumnFit : public QObject {
    Q_OBJECT
public:
    // Rows read for a column's texts, and the widest a fitted column grows.
    static constexpr int SampleRows = 200;
    static constexpr int MaxWidth = 360;

    // The fitting of the view, made on first use (a child of the view).
    static ColumnFit* of(BandedView* view);
    // The width that shows the column's caption, its texts in the first rows
    // and its footer whole (not capped).
    static int fittedWidth(const BandedView* view, Column* column, int sampleRows = SampleRows);

    // Columns whose width a stored layout gives: left as they are.
    void setStoredColumns(const QList<Column*>& columns);
    // Fits the shown columns now (the view also does it on its own whenever
    // the rows or the shown columns change).
    void fitNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ColumnFit(BandedView* view);
    quint64 signature() const;

    QPointer<BandedView> m_view;
    QSet<Column*> m_stored;
    QHash<Column*, int> m_fitted; // the width the fitting gave each column
    quint64 m_signature = 0;
    bool m_pending = false;
};

} // namespace kvui
