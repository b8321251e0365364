// What kv-sql-session does to an account set's files besides SQL: other code of
// the program opening and closing them, and the program's file dialogs showing
// their folder. See kv_sql_session.cpp.
#include "kv_sql_session_files.h"

#include "FileDialogs.h"
#include "untCommonUI.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>

#include <sys/inotify.h>
#include <unistd.h>

#include <functional>

namespace {

// Lets the event loop run for at most ms milliseconds, or until done() holds.
void runEvents(int ms, const std::function<bool()>& done = {})
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && !(done && done())) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Waits until the model has listed the folder and looked at what it lists (a
// model that had listed it before it was asked says nothing: a while then).
void waitForListing(QFileSystemModel* model, const QString& folder)
{
    if (!model) return;
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, model, [&loaded, folder](const QString& path) {
        if (QDir(path) == QDir(folder)) loaded = true;
    });
    runEvents(1500, [&loaded] { return loaded; });
    runEvents(300);   // the listed files' icons and types
}

void useToPrintToFile(QPrintDialog* print, const QString& folder, int& shown);

// Closes the next modal file dialog once it has listed folder (a print dialog
// shown instead is used to print to a file in the folder, then closed). Each dialog that the program shows by itself
// is met this way; after ten seconds without one it gives up.
void closeNextFileDialog(const QString& folder, int& shown, int tries = 200)
{
    QTimer::singleShot(50, [folder, &shown, tries] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* print = qobject_cast<QPrintDialog*>(modal)) {
            useToPrintToFile(print, folder, shown);
            print->reject();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) {
            if (tries > 0) closeNextFileDialog(folder, shown, tries - 1);
            return;
        }
        dialog->setDirectory(folder);
        waitForListing(dialog->findChild<QFileSystemModel*>(), folder);
        ++shown;
        dialog->reject();
    });
}

// The files the folder's files were opened by, as inotify tells.
class OpenWatch {
public:
    explicit OpenWatch(const QString& folder) : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd >= 0) inotify_add_watch(fd, QFile::encodeName(folder).constData(), IN_OPEN);
    }
    ~OpenWatch()
    {
        if (fd >= 0) ::close(fd);
    }
    QStringList opened()
    {
        QStringList names;
        alignas(inotify_event) char buffer[8192];
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                if (e->len && !(e->mask & IN_ISDIR)) names << QString::fromLocal8Bit(e->name);
                p += sizeof(inotify_event) + e->len;
            }
        }
        return names;
    }

private:
    int fd;
};

// Types the folder into a print dialog's file name, letting its completer list
// the folder, and shows its browse button's file dialog.
void useToPrintToFile(QPrintDialog* print, const QString& folder, int& shown)
{
    if (auto* name = print->findChild<QLineEdit*>(QStringLiteral("filename")); name && name->completer()) {
        name->setText(folder + u'/');
        name->completer()->setCompletionPrefix(folder + u'/');
        name->completer()->complete();
        waitForListing(qobject_cast<QFileSystemModel*>(name->completer()->model()), folder);
        ++shown;
    }
    if (auto* browse = print->findChild<QAbstractButton*>(QStringLiteral("fileBrowser"))) {
        closeNextFileDialog(folder, shown);
        browse->setEnabled(true);
        browse->click();
    }
}

} // namespace

void touchFiles(const QString& file)
{
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile f(file + suffix);
        if (f.open(QIODevice::ReadOnly)) f.read(16);
    }
}

QString showFileDialogs(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    OpenWatch watch(folder);
    int shown = 0;
    QString chosen;
    // export (F12): the save dialog, started in the folder where the last export went
    closeNextFileDialog(folder, shown);
    ExecuteSaveFileDialog(QStringLiteral("导出"), QDir(folder).filePath(QStringLiteral("x.xls")), QStringLiteral("xls"),
                          QStringLiteral("Excel 文件 (*.xls)|*.xls"), chosen);
    // import: the open dialog
    closeNextFileDialog(folder, shown);
    ExecuteOpenFileDialog(QStringLiteral("导入数据"), QDir(folder).filePath(QStringLiteral("x.xls")),
                          QStringLiteral("Excel 工作簿 (*.xls)|*.xls"), chosen);
    // print to file: the print dialog's file name completes from the folder, its
    // browse button shows a file dialog
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir(folder).filePath(QStringLiteral("x.pdf")));
    {
        QPrintDialog print(&printer);
        kvui::listFilesByName(&print);
        print.show();
        runEvents(200);
        useToPrintToFile(&print, folder, shown);
        print.reject();
    }
    // print preview: its print button shows a print dialog of its own
    {
        QPrintPreviewDialog preview(&printer);
        preview.show();
        runEvents(200);
        for (QAction* a : preview.findChildren<QAction*>()) {
            if (a->text() == QCoreApplication::translate("QPrintPreviewDialog", "Print")) {
                closeNextFileDialog(folder, shown);
                a->trigger();
                break;
            }
        }
        preview.reject();
    }
    runEvents(100);
    const QStringList opened = watch.opened();
    return QStringLiteral("dialogs %1 read %2%3").arg(shown).arg(opened.size()).arg(opened.isEmpty() ? QString() : u' ' + opened.join(u','));
}
