// Other programs on one account set, as tests play them: kv-sql-session keeps
// its connections open between commands, korvane-sql opens, runs a script and
// ends. Both are real processes beside the test.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

namespace kvtsqltest {

inline QString binDir()
{
    const QString bin = qEnvironmentVariable("KORVANE_BIN_DIR");
    return bin.isEmpty() ? QCoreApplication::applicationDirPath() : bin;
}

// A program that keeps its connections open between commands: ours, or one with
// SQLite's ordinary locks (kv-stock-session).
class Session {
public:
    explicit Session(const QString& file, const QString& program = QStringLiteral("kv-sql-session"))
    {
        p.start(binDir() + u'/' + program, {file});
        p.waitForStarted(30000);
    }
    ~Session() { end(); }

    // Sends one command and gives the program's answer.
    QString send(const QString& command)
    {
        post(command);
        return answer();
    }

    // Sends one command without waiting for its answer.
    void post(const QString& command)
    {
        p.write((command + u'\n').toUtf8());
        p.waitForBytesWritten(30000);
    }

    // The answer to the command posted before.
    QString answer(int waitMs = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (!p.canReadLine())
            if (t.elapsed() > waitMs || !p.waitForReadyRead(int(qMax<qint64>(1, waitMs - t.elapsed()))))
                return QStringLiteral("no answer");
        return QString::fromUtf8(p.readLine()).trimmed();
    }

    // Ends the program as a user closes it: its connections close, the last first.
    int end()
    {
        if (p.state() == QProcess::NotRunning) return p.exitCode();
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return p.exitCode();
    }

private:
    QProcess p;
};

// korvane-sql running one script on the file, started and left to run.
class Tool {
public:
    Tool(const QString& file, const QString& script)
    {
        p.start(binDir() + "/korvane-sql", {file});
        p.write(script.toUtf8());
        p.closeWriteChannel();
    }
    // Its output once it ended.
    QString output(int waitMs = 120000)
    {
        p.waitForFinished(waitMs);
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    }
    bool running() const { return p.state() != QProcess::NotRunning; }
    // Gives it the time to end; true when it did.
    bool endsWithin(int ms) { return p.waitForFinished(ms); }

private:
    QProcess p;
};

// The output of korvane-sql running one script on the file.
inline QString runTool(const QString& file, const QString& script)
{
    return Tool(file, script).output();
}

} // namespace kvtsqltest
