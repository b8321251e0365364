#pragma once
// The process-wide component printer: one print link per link class, reused and
// reset to its defaults each time a view asks for it, and the design windows of
// grid and tree-list links.
#include "PrintLink.h"

#include <QMetaObject>

// The printer's link of exactly that class (GridPrintLink or TreePrintLink):
// an existing one reset (view detached, options, page and title at their
// defaults), otherwise a new one named after the class with "1" appended.
kvui::PrintLink* GetComponentReportLink(const QMetaObject& AClass);
// The object that owns the links.
QObject* ComponentPrinter();

class TGridReportLinkDesignDlg : public kvui::ReportDesignDialog {
    Q_OBJECT
public:
    TGridReportLinkDesignDlg(const kvui::PrintSettings& s, QWidget* parent = nullptr);
};

class TTreeReportLinkDesignDlg : public kvui::ReportDesignDialog {
    Q_OBJECT
public:
    TTreeReportLinkDesignDlg(const kvui::PrintSettings& s, QWidget* parent = nullptr);
};
