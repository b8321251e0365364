// Printing of a grid or tree list (the role of the component suite's printing
// system and its grid and tree-list report links): page setup, print dialog,
// preview, a small report-design window, and the settings as text for storage.
#pragma once
#include "BandedView.h"

#include <QDialog>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <functional>

class QPrinter;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPainter;
class QTabWidget;

namespace kvui {

struct PrintSettings {
    QString title;
    bool showTitle = true;
    QString footnotes;
    bool showFootnotes = false;
    // Page header and footer texts; [Page], [Pages], [Date] and [Time] are filled in.
    QString pageHeader;
    QString pageFooter = QStringLiteral("第 [Page] 页, 共 [Pages] 页");
    bool bandHeaders = true;
    bool headers = true;
    bool footer = true;            // the view's footer summaries after the last row
    bool groupFooters = true;
    bool expandButtons = true;
    bool gridLines = true;
    bool headersOnEveryPage = true;
    bool fitToWidth = true;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QPageSize::PageSizeId paper = QPageSize::A4;
    QMarginsF margins{12.7, 12.7, 12.7, 12.7};  // millimetres

    // key=value lines; unknown keys and bad values are ignored on reading.
    QString toText() const;
    static PrintSettings fromText(const QString& text);
    bool operator==(const PrintSettings& o) const { return toText() == o.toText(); }
};

class ReportDesignDialog;

class PrintLink : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit PrintLink(QObject* parent = nullptr);
    // The design window shown by designReport for links of a class (by class
    // name); the default is ReportDesignDialog. An empty factory removes it.
    using DesignWindowFactory = std::function<ReportDesignDialog*(const PrintSettings&, QWidget*)>;
    static void registerDesignWindow(const QString& linkClassName, DesignWindowFactory factory);
    ~PrintLink() override;

    void setView(BandedView* view) { m_view = view; }
    BandedView* view() const { return m_view; }
    PrintSettings& settings() { return m_settings; }
    void setSettings(const PrintSettings& s) { m_settings = s; }
    QString settingsText() const { return m_settings.toText(); }
    void setSettingsText(const QString& text) { m_settings = PrintSettings::fromText(text); }
    void resetToDefaults() { m_settings = PrintSettings(); }

    // Each answers false when the user cancels or there is no view.
    bool pageSetup(QWidget* parent = nullptr);
    bool designReport(QWidget* parent = nullptr);
    bool print(QWidget* parent = nullptr, bool showDialog = true);
    void preview(QWidget* parent = nullptr);
    bool printToPdf(const QString& fileName);

    // Paints every page on a printer set up by the caller; returns the page count.
    int render(QPrinter* printer);
    // Pages the view would take on the link's paper.
    int pageCount();
    // Printer pixels per view pixel on that printer: the view's own size, or
    // shrunk to the paper's width but never below a readable font.
    double printScale(QPrinter* printer) const;

private:
    struct Page { int firstRow; int lastRow; bool title; bool footer; bool footnotes; };
    // The scale and the column ranges (view pixels) printed side by side.
    struct Scaling { double scale = 1; QList<QPair<int, int>> strips; };
    Scaling scaling(QPrinter* printer) const;
    void applyLayout(QPrinter* printer) const;
    QList<Page> paginate(double pageHeight, int lineH) const;
    void paintHeader(QPainter* p, int y) const;
    int paintRow(QPainter* p, int row, int y) const;
    void paintFooterRow(QPainter* p, int row, int y, bool groupFooter) const;
    int rowHeight(int row) const;
    int headerHeight() const;
    QString fillPlaceholders(QString text, int page, int pages) const;

    QPointer<BandedView> m_view;
    PrintSettings m_settings;
};

// The print links of grids and of tree lists (separate classes so that a shared
// printer can keep one link of each kind).
class GridPrintLink : public PrintLink {
    Q_OBJECT
public:
    Q_INVOKABLE explicit GridPrintLink(QObject* parent = nullptr) : PrintLink(parent) {}
};

class TreePrintLink : public PrintLink {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TreePrintLink(QObject* parent = nullptr) : PrintLink(parent) {}
};

// The report-design window: title and footnotes, page header and footer texts,
// and which parts of the view are printed.
class ReportDesignDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReportDesignDialog(const PrintSettings& s, QWidget* parent = nullptr);
    PrintSettings settings() const;
    QCheckBox* option(const QString& key) const;
    QTabWidget* tabs() const { return m_tabs; }
    QLineEdit* titleEdit() const { return m_title; }
    QPlainTextEdit* footnotesEdit() const { return m_footnotes; }
    QLineEdit* pageHeaderEdit() const { return m_header; }
    QLineEdit* pageFooterEdit() const { return m_footer; }
private:
    PrintSettings m_base;
    QTabWidget* m_tabs;
    QLineEdit *m_title, *m_header, *m_footer;
    QPlainTextEdit* m_footnotes;
    QHash<QString, QCheckBox*> m_options;
};

} // namespace kvui
