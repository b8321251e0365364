#pragma once
// The command line of every benchmark: its options and positional numbers are
// declared once, --help prints them and ends the program before any work, and
// an unknown option or a value that is no number ends it with exit code 2 and
// the reason, so that a mistyped option never starts an hour of work.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace kvbench {

class Options {
public:
    // ADescription is the text --help shows above the options; APositional
    // names the numbers that may follow the options ("ITEMS..."), empty when
    // the benchmark takes none.
    Options(const QString& ADescription, const QString& APositional = QString(), const QString& APositionalHelp = QString())
    {
        FParser.setApplicationDescription(ADescription);
        FParser.addHelpOption();
        if (!APositional.isEmpty())
            FParser.addPositionalArgument(APositional, APositionalHelp);
        FTakesPositional = !APositional.isEmpty();
    }

    // An option with a value (AValueName given) or a switch.
    void Add(const QString& AName, const QString& AHelp, const QString& AValueName = QString(),
             const QString& ADefault = QString())
    {
        const QString help = ADefault.isEmpty() || ADefault == QLatin1String("0")
                                 ? AHelp
                                 : AHelp + QStringLiteral(" (default %1)").arg(ADefault);
        FParser.addOption(QCommandLineOption(AName, help, AValueName, ADefault));
    }

    // Parses the application's arguments; --help and every error end the program here.
    void Process(const QCoreApplication& AApp)
    {
        if (!FParser.parse(AApp.arguments()))
            Fail(FParser.errorText());
        if (FParser.isSet(QStringLiteral("help"))) {
            std::fputs(qPrintable(FParser.helpText()), stdout);
            std::exit(0);
        }
        if (!FTakesPositional && !FParser.positionalArguments().isEmpty())
            Fail(QStringLiteral("unexpected argument %1").arg(FParser.positionalArguments().first()));
        for (const QString& a : FParser.positionalArguments())
            FNumbers << ToNumber(a, QStringLiteral("argument"));
    }

    bool IsSet(const QString& AName) const { return FParser.isSet(AName); }
    QString Value(const QString& AName) const { return FParser.value(AName); }
    int Number(const QString& AName) const
    {
        return ToNumber(FParser.value(AName), QStringLiteral("--") + AName);
    }
    // The positional numbers, or ADefaults when none were given.
    QList<int> Numbers(const QList<int>& ADefaults = {}) const { return FNumbers.isEmpty() ? ADefaults : FNumbers; }

private:
    QCommandLineParser FParser;
    bool FTakesPositional = false;
    QList<int> FNumbers;

    [[noreturn]] void Fail(const QString& AReason) const
    {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(AReason), qPrintable(FParser.helpText()));
        std::exit(2);
    }
    int ToNumber(const QString& AText, const QString& AWhat) const
    {
        bool ok = false;
        const int n = AText.toInt(&ok);
        if (!ok || n < 0)
            Fail(QStringLiteral("%1: %2 is not a number").arg(AWhat, AText));
        return n;
    }
};

} // namespace kvbench
