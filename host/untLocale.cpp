#include "untLocale.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool LoadPlatformTranslation(const QString& AProgramFolder)
{
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    const QString name = QStringLiteral("qtbase_zh_CN.qm");
    const QStringList folders = {AProgramFolder, AProgramFolder + QStringLiteral("/.."),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path))
            continue;
        auto* t = new QTranslator(QCoreApplication::instance());
        if (t->load(path)) {
            QCoreApplication::installTranslator(t);
            translator = t;
            return true;
        }
        delete t;
    }
    return false;
}

void UseProgramLocale(const QString& AProgramFolder)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    LoadPlatformTranslation(AProgramFolder);
}
