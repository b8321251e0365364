#include "untComponentPrint.h"

#include <QTabWidget>

namespace {

QString shortClassName(const QMetaObject& m)
{
    QString n = QString::fromLatin1(m.className());
    int colon = n.lastIndexOf(':');
    return colon >= 0 ? n.mid(colon + 1) : n;
}

// The design windows of both link classes replace the default one from the start.
struct DesignWindowRegistration {
    DesignWindowRegistration()
    {
        kvui::PrintLink::registerDesignWindow(
            QString::fromLatin1(kvui::GridPrintLink::staticMetaObject.className()),
            [](const kvui::PrintSettings& s, QWidget* p) { return new TGridReportLinkDesignDlg(s, p); });
        kvui::PrintLink::registerDesignWindow(
            QString::fromLatin1(kvui::TreePrintLink::staticMetaObject.className()),
            [](const kvui::PrintSettings& s, QWidget* p) { return new TTreeReportLinkDesignDlg(s, p); });
    }
    ~DesignWindowRegistration()
    {
        kvui::PrintLink::registerDesignWindow(QString::fromLatin1(kvui::GridPrintLink::staticMetaObject.className()), {});
        kvui::PrintLink::registerDesignWindow(QString::fromLatin1(kvui::TreePrintLink::staticMetaObject.className()), {});
    }
};
DesignWindowRegistration designWindowRegistration;

} // namespace

QObject* ComponentPrinter()
{
    static QObject* printer = [] {
        auto* p = new QObject;
        p->setObjectName("ComponentPrinter");
        return p;
    }();
    return printer;
}

kvui::PrintLink* GetComponentReportLink(const QMetaObject& AClass)
{
    QObject* printer = ComponentPrinter();
    const QObjectList links = printer->children();
    for (int i = int(links.size()) - 1; i >= 0; --i) {
        auto* link = qobject_cast<kvui::PrintLink*>(links[i]);
        if (link && link->metaObject() == &AClass) {
            link->setView(nullptr);
            link->resetToDefaults();
            return link;
        }
    }
    QObject* o = AClass.newInstance(Q_ARG(QObject*, printer));
    auto* link = qobject_cast<kvui::PrintLink*>(o);
    if (!link) { delete o; return nullptr; }
    link->setObjectName(shortClassName(AClass) + "1");
    return link;
}

TGridReportLinkDesignDlg::TGridReportLinkDesignDlg(const kvui::PrintSettings& s, QWidget* parent)
    : kvui::ReportDesignDialog(s, parent)
{
    setWindowTitle(QStringLiteral("表格打印设计"));
    tabs()->setCurrentIndex(2);
}

TTreeReportLinkDesignDlg::TTreeReportLinkDesignDlg(const kvui::PrintSettings& s, QWidget* parent)
    : kvui::ReportDesignDialog(s, parent)
{
    setWindowTitle(QStringLiteral("树形打印设计"));
    tabs()->setCurrentIndex(2);
}
