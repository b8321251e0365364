#include "NewAccountSet.h"

#include "TsqlEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <memory>

// Resources of a static library must be registered by name from outside any namespace.
static void initDemoResources()
{
    Q_INIT_RESOURCE(demo);
}

namespace kvdemo {

QList<Script> accountSetScripts()
{
    initDemoResources();
    QList<Script> scripts;
    for (const QString& folder : {QStringLiteral("schema"), QStringLiteral("data")}) {
        const QDir dir(QStringLiteral(":/demo/") + folder);
        for (const QString& name : dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            scripts.append({folder + u'/' + name, QString::fromUtf8(file.readAll())});
        }
    }
    return scripts;
}

QList<Batch> splitBatches(const QString& script)
{
    static const QRegularExpression goLine(QStringLiteral("^\\s*go\\s*$"), QRegularExpression::CaseInsensitiveOption);
    QList<Batch> batches;
    QStringList lines;
    int first = 1;
    int lineNo = 0;
    auto flush = [&]() {
        const QString text = lines.join(u'\n');
        if (!text.trimmed().isEmpty())
            batches.append({first, text});
        lines.clear();
    };
    for (QString line : script.split(u'\n')) {
        ++lineNo;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (goLine.match(line).hasMatch()) {
            flush();
            first = lineNo + 1;
        } else {
            if (lines.isEmpty() && line.trimmed().isEmpty())
                first = lineNo + 1;
            lines.append(line);
        }
    }
    flush();
    return batches;
}

bool runScripts(kvtsql::Connection& connection, const QList<Script>& scripts, QString* error)
{
    for (const Script& script : scripts) {
        for (const Batch& batch : splitBatches(script.text)) {
            QList<kvtsql::SqlError> errors;
            try {
                errors = connection.execute(batch.text).errors;
            } catch (const kvtsql::SqlException& e) {
                errors = e.errors;
                if (errors.isEmpty())
                    errors.append({0, 16, 1, QString::fromUtf8(e.what())});
            }
            // Messages of severity 10 and below are information, not errors.
            errors.erase(std::remove_if(errors.begin(), errors.end(),
                                        [](const kvtsql::SqlError& e) { return e.severity <= 10; }),
                         errors.end());
            if (errors.isEmpty())
                continue;
            if (error) {
                const kvtsql::SqlError& first = errors.first();
                *error = QStringLiteral("脚本\"%1\"第%2行开始的批处理执行出错: %3 (错误号: %4)")
                             .arg(script.name)
                             .arg(batch.firstLine)
                             .arg(first.message)
                             .arg(first.number);
            }
            return false;
        }
    }
    return true;
}

bool createAccountSet(const QString& fileName, QString* error)
{
    return createAccountSet(fileName, accountSetScripts(), error);
}

bool createAccountSet(const QString& fileName, const QList<Script>& scripts, QString* error)
{
    if (QFileInfo::exists(fileName)) {
        if (error)
            *error = QStringLiteral("文件\"%1\"已存在, 不能覆盖!").arg(fileName);
        return false;
    }
    if (scripts.isEmpty()) {
        if (error)
            *error = QStringLiteral("未找到账套的建库脚本!");
        return false;
    }
    // built beside the target and named only when every script ran
    try {
        return kvtsql::buildDatabaseFile(fileName, [&](kvtsql::Connection& c) { return runScripts(c, scripts, error); });
    } catch (const kvtsql::SqlException& e) {
        if (error) {
            const QString reason = e.errors.isEmpty() ? QString::fromUtf8(e.what()) : e.errors.first().message;
            *error = QStringLiteral("不能创建账套文件\"%1\": %2").arg(fileName, reason);
        }
        return false;
    }
}

} // namespace kvdemo
