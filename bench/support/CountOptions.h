// The benchmarks' command-line options: counts given as "--name N". A
// value that is not a whole number within its range ends the benchmark
// with a message naming the option, never a count cut or read as nought.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace bench {

struct CountOption {
    const char* name;
    const char* description;
    int* value;  // holds the default; receives what was given
    int minimum = 1;
    int maximum = std::numeric_limits<int>::max();
};

[[noreturn]] inline void refuseOptions(const QString& message) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(message));
    std::exit(2);
}

// Reads the application's arguments; --help prints the options and ends.
inline void readCountOptions(const QString& description, const std::vector<CountOption>& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    std::vector<QCommandLineOption> declared;
    for (const CountOption& option : options) {
        declared.emplace_back(QString::fromLatin1(option.name),
                              QStringLiteral("%1 (default %2).").arg(QString::fromUtf8(option.description)).arg(*option.value),
                              QStringLiteral("N"));
        parser.addOption(declared.back());
    }
    if (!parser.parse(QCoreApplication::arguments())) refuseOptions(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        refuseOptions(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (!parser.isSet(declared[i])) continue;
        const QString text = parser.value(declared[i]);
        bool whole = false;
        const int value = text.toInt(&whole);
        if (!whole || value < options[i].minimum || value > options[i].maximum)
            refuseOptions(QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                              .arg(QString::fromLatin1(options[i].name))
                              .arg(options[i].minimum)
                              .arg(options[i].maximum)
                              .arg(text));
        *options[i].value = value;
    }
}

}  // namespace bench
