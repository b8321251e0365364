// File dialogs that list folders by the names of the files alone. A file the
// program has open must never be opened and closed by other code of the
// program: the record locks of a database file are released by any close of any
// descriptor of the file.
#include "FileDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPrintDialog>

namespace kvui {
namespace {

// Icons and type names told from a file's name, never from its content.
class NameOnlyIcons : public QFileIconProvider {
public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isDir()) return icon(QFileIconProvider::Folder);
        const QList<QMimeType> types = m_mime.mimeTypesForFileName(info.fileName());
        if (!types.isEmpty()) {
            const QIcon themed = QIcon::fromTheme(types.first().iconName(), QIcon::fromTheme(types.first().genericIconName()));
            if (!themed.isNull()) return themed;
        }
        return icon(QFileIconProvider::File);
    }

    QString type(const QFileInfo& info) const override
    {
        if (info.isDir()) return QFileIconProvider::type(info);   // a folder is never read
        const QList<QMimeType> types = m_mime.mimeTypesForFileName(info.fileName());
        if (!types.isEmpty() && !types.first().comment().isEmpty()) return types.first().comment();
        return info.suffix().isEmpty() ? QStringLiteral("文件") : QStringLiteral("%1 文件").arg(info.suffix().toUpper());
    }

private:
    QMimeDatabase m_mime;
};

QAbstractFileIconProvider* nameOnlyIcons()
{
    static auto* icons = new NameOnlyIcons;   // used by dialogs until the program ends
    return icons;
}

void listByName(QFileSystemModel* model)
{
    if (model && model->iconProvider() != nameOnlyIcons()) model->setIconProvider(nameOnlyIcons());
}

// Every file dialog and print dialog of the program, its own or one the widget
// library shows by itself (the print preview's file for a PDF printer, the print
// dialog's browse button), lists files by name from before it first shows: the
// types of a folder's files are looked up when the event loop next runs, after
// the dialog has shown.
class DialogGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            if (auto* files = qobject_cast<QFileDialog*>(watched)) files->setIconProvider(nameOnlyIcons());
            else if (auto* print = qobject_cast<QPrintDialog*>(watched)) listFilesByName(print);
        }
        return false;
    }
};

void guardDialogs()
{
    // a platform's own file dialog reads the files it lists
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(new DialogGuard(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(guardDialogs)

FileDialog::FileDialog(QWidget* parent, const QString& caption, const QString& directory)
    : QFileDialog(parent, caption, directory)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(nameOnlyIcons());
}

void listFilesByName(QPrintDialog* dialog)
{
    if (!dialog) return;
    for (QFileSystemModel* model : dialog->findChildren<QFileSystemModel*>()) listByName(model);
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        if (edit->completer()) listByName(qobject_cast<QFileSystemModel*>(edit->completer()->model()));
    // its browse button shows our own dialog instead of the library's
    auto* browse = dialog->findChild<QAbstractButton*>(QStringLiteral("fileBrowser"));
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    if (!browse || !name || browse->property("kvListsByName").toBool()) return;
    browse->setProperty("kvListsByName", true);
    QObject::disconnect(browse, &QAbstractButton::clicked, nullptr, nullptr);
    QObject::connect(browse, &QAbstractButton::clicked, dialog, [dialog, name] {
        FileDialog files(dialog, QCoreApplication::translate("QPrintDialog", "Print To File ..."), QFileInfo(name->text()).absolutePath());
        files.setAcceptMode(QFileDialog::AcceptSave);
        files.setOption(QFileDialog::DontConfirmOverwrite);
        if (!name->text().isEmpty()) files.selectFile(name->text());
        if (files.exec() == QDialog::Accepted && !files.selectedFiles().isEmpty())
            name->setText(QDir::toNativeSeparators(files.selectedFiles().first()));
    });
}

} // namespace kvui
