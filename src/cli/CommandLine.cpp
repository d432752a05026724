#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <cstring>
#include <exception>

#include "Big5Text.h"
#include "JournalHistory.h"
#include "Errors.h"
#include "JournalSettings.h"
#include "ProgramIdentity.h"
#include "PriceJournal.h"
#include "PricePreview.h"
#include "PriceRevert.h"
#include "StatementService.h"
#include "StopSignals.h"
#include "ServerSettings.h"
#include "TDataLinkConnection.h"

namespace cli {

namespace {

// A long revert says how far it is every so many rows.
constexpr std::size_t kProgressStep = 1000;

enum ExitCode { kSuccess = 0, kNotAllReverted = 1, kFailed = 1, kUsage = 2 };

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString fromBig5(const std::string& bytes) { return big5::toUnicode(bytes); }

// Qt's own options for a window (a value follows those marked so); every
// other argument goes to the command line, so that a mistyped option is
// refused there instead of opening the window.
struct WindowOption {
    const char* name;
    bool takesValue;
};
constexpr WindowOption kWindowOptions[] = {
    {"platform", true},  {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},    {"qwindowicon", true},   {"qwindowtitle", true},
    {"display", true},   {"session", true},            {"style", true},         {"stylesheet", true},
    {"reverse", false},  {"widgetcount", false},
};

// The option an argument names, "-style", "--style" and "-style=x" alike.
const WindowOption* windowOption(const char* argument, bool& valueAttached) {
    if (argument[0] != '-') return nullptr;
    const char* name = argument + (argument[1] == '-' ? 2 : 1);
    const char* equals = std::strchr(name, '=');
    const std::size_t length = equals ? std::size_t(equals - name) : std::strlen(name);
    for (const WindowOption& option : kWindowOptions)
        if (std::strlen(option.name) == length && std::strncmp(name, option.name, length) == 0) {
            valueAttached = equals != nullptr;
            return option.takesValue || !equals ? &option : nullptr;
        }
    return nullptr;
}

bool onlyWindowOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        bool valueAttached = false;
        const WindowOption* option = windowOption(argv[i], valueAttached);
        if (!option) return false;
        if (option->takesValue && !valueAttached && ++i >= argc) return false;
    }
    return true;
}

QString shownPrices(const product::TierPrices& prices) { return QString::fromStdString(product::pricesText(prices)); }

QString productText(const journal::JournalEntry& entry) {
    return fromBig5(product::productLabel(entry.productId, entry.productName));
}

int listJournals() {
    const QString folder = journal::JournalSettings::load().folder;
    const QStringList files = journal::journalFiles(folder);
    if (files.isEmpty()) {
        print(stdout, QStringLiteral("No journals in %1\n").arg(folder));
        return kSuccess;
    }
    const journal::TJournalHistory history(folder);
    print(stdout, QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                      .arg(QStringLiteral("time (UTC)"), -24)
                      .arg(QStringLiteral("rows"), 7)
                      .arg(QStringLiteral("written"), 10)
                      .arg(QStringLiteral("database"), QStringLiteral("file"), QStringLiteral("reverted by")));
    int status = kSuccess;
    for (const QString& file : files) {
        try {
            const journal::Journal journal = journal::readJournal(file);
            const QString written =
                journal.written ? QString::number(*journal.written) : QStringLiteral("unfinished");
            const QString revertedBy = history.revertedBy(QFileInfo(file).fileName());
            print(stdout, QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                              .arg(journal.header.time.toString(Qt::ISODateWithMs), -24)
                              .arg(journal.entries.size(), 7)
                              .arg(written, 10)
                              .arg(journal.header.database, QFileInfo(file).fileName(),
                                   revertedBy.isEmpty() ? QStringLiteral("-") : revertedBy)
                              .trimmed() +
                              QLatin1Char('\n'));
        } catch (const std::exception& error) {
            print(stderr, QStringLiteral("Tarvell: skipped %1: %2\n").arg(QFileInfo(file).fileName(), fromBig5(error.what())));
            status = kFailed;
        }
    }
    return status;
}

void printSummary(const batch::RevertReport& report) {
    print(stdout, QStringLiteral("%1 rows in the journal: %2 reverted, %3 needed nothing, %4 skipped, %5 missing\n")
                      .arg(report.rows)
                      .arg(report.reverted)
                      .arg(report.unchanged)
                      .arg(report.skipped.size())
                      .arg(report.missing.size()));
    if (!report.journalPath.isEmpty())
        print(stdout, QStringLiteral("journal of this revert: %1\n").arg(report.journalPath));
}

void printReport(const batch::RevertReport& report) {
    for (const batch::ChangedRow& row : report.skipped)
        print(stdout, QStringLiteral("skipped %1 (line %2): changed since; now %3, the write-back wrote %4, before it %5\n")
                          .arg(productText(row.entry))
                          .arg(row.entry.line)
                          .arg(shownPrices(row.now), shownPrices(row.entry.newPrices), shownPrices(*row.entry.oldPrices)));
    for (const batch::ChangedRow& row : report.forced)
        print(stdout, QStringLiteral("forced %1: changed since (now %2), put back to %3\n")
                          .arg(productText(row.entry), shownPrices(row.now), shownPrices(*row.entry.oldPrices)));
    for (const journal::JournalEntry& entry : report.missing)
        print(stdout, QStringLiteral("missing %1: no longer in PRODUCT\n").arg(productText(entry)));
    printSummary(report);
    if (!report.skipped.empty())
        print(stdout, QStringLiteral("Rows changed since were left alone; --force reverts them too.\n"));
}

// The connection the window uses, from the same settings store and
// configuration files, with the program's answer timeout.
void useProgramConnection(db::TDataLinkConnection& connection) {
    connection.applyStoredProperties();
    settings::applyServerSettings(connection);
}

int revert(const QString& file, bool force) {
    const journal::Journal journal = journal::readJournal(file);
    db::TDataLinkConnection SQLConnection1("SQLConnection1");
    useProgramConnection(SQLConnection1);
    db::TStatementService SQLQuery1(SQLConnection1);
    batch::RevertOptions options;
    options.force = force;
    // In one transaction a row is only sent until the commit after the last.
    const QString done = options.writeBack.oneTransaction ? QStringLiteral("sent (written together at the end)")
                                                          : QStringLiteral("reverted");
    options.progress = [done](std::size_t count, std::size_t total) {
        if (count % kProgressStep == 0 || count == total)
            print(stdout, QStringLiteral("%1 of %2 rows %3\n").arg(count).arg(total).arg(done));
    };
    options.stopRequested = [] { return rt::pendingStopSignal() != 0; };
    // Ctrl+C and TERM during a revert are blocked, so that neither their
    // default action nor the client library's own handlers end the process
    // in the middle of a row; the loop asks between rows whether one is
    // waiting. Blocked before the connect, so that the client library's
    // threads start with them blocked too.
    rt::blockStopSignals();
    try {
        const batch::RevertReport report = batch::TPriceRevert(SQLQuery1, options).run(journal);
        printReport(report);
        if (const int signal = rt::pendingStopSignal(); signal != 0) {
            const QString name = QStringLiteral("SIG") + QString::fromLatin1(sigabbrev_np(signal));
            if (report.stopped && options.writeBack.oneTransaction)
                print(stdout, QStringLiteral("Stopped by %1; the transaction was rolled back and nothing was "
                                             "reverted.\n")
                                  .arg(name));
            else if (report.stopped)
                print(stdout, QStringLiteral("Stopped by %1 after %2 rows reverted; the rows after them were not "
                                             "touched.\n")
                                  .arg(name)
                                  .arg(report.reverted));
            return 128 + signal;
        }
        return report.complete() ? kSuccess : kNotAllReverted;
    } catch (const batch::RevertStopped& stopped) {
        // Rows before the failing one are reverted already: say which and
        // where they are journaled.
        print(stderr, QStringLiteral("Tarvell: %1\nThe revert stopped at %2 (line %3 of %4); so far:\n")
                          .arg(fromBig5(stopped.what()), productText(stopped.failingRow()))
                          .arg(stopped.failingRow().line)
                          .arg(file));
        printReport(stopped.report());
        if (stopped.report().inDoubt)
            print(stdout, QStringLiteral("The connection was lost while a commit was on its way and the database "
                                         "could not be asked since: whether %1 was reverted is not known. Run the "
                                         "revert again once the server is back; it judges every row by what "
                                         "PRODUCT holds.\n")
                              .arg(options.writeBack.oneTransaction ? QStringLiteral("the batch")
                                                                    : productText(stopped.failingRow())));
        return kFailed;
    }
}

// Loads and prices the sub-categories and writes the CSV to FILE, or to
// the standard output without one; reads only.
int preview(const QStringList& keys, const QString& output) {
    db::TDataLinkConnection SQLConnection1("SQLConnection1");
    useProgramConnection(SQLConnection1);
    batch::TPricePreview preview(SQLConnection1);
    int status = kSuccess;
    for (const QString& key : keys) {
        if (preview.load(big5::fromUnicode(key))) continue;
        print(stderr, QStringLiteral("Tarvell: no sub-category '%1' in PROD_ITEM; nothing to preview for it\n").arg(key));
        status = kFailed;
    }
    for (const std::string& failure : preview.price())
        print(stderr, QStringLiteral("Tarvell: not priced: %1\n").arg(fromBig5(failure)));
    if (output.isEmpty()) {
        QFile standardOutput;
        if (!standardOutput.open(stdout, QIODevice::WriteOnly)) throw rt::AppError("Cannot write to the standard output");
        preview.writeCsv(standardOutput);
        return status;
    }
    // Written whole or not at all: a file cut short would read as a
    // smaller batch.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        throw rt::AppError(big5::fromUnicodeLossy(output + QStringLiteral(": ") + file.errorString()));
    preview.writeCsv(file);
    if (!file.commit()) throw rt::AppError(big5::fromUnicodeLossy(output + QStringLiteral(": ") + file.errorString()));
    print(stdout, QStringLiteral("%1 rows previewed into %2\n").arg(preview.table().rowCount()).arg(output));
    return status;
}

int runCommands(const QCoreApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Price batch window; without options it opens the window."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption revertOption(
        QStringLiteral("revert"), QStringLiteral("Put back the prices the journal FILE's write-back replaced."),
        QStringLiteral("FILE"));
    const QCommandLineOption forceOption(
        QStringLiteral("force"),
        QStringLiteral("With --revert: also rows changed since, and a journal of another database."));
    const QCommandLineOption journalsOption(QStringLiteral("journals"),
                                           QStringLiteral("List the price journals, newest first."));
    parser.addOptions({revertOption, forceOption, journalsOption});
    const QCommandLineOption previewOption(
        QStringLiteral("preview"),
        QStringLiteral("Load and price the sub-categories KEY... as the window would and write them as CSV "
                       "beside the prices PRODUCT holds; writes nothing to the database."));
    const QCommandLineOption outputOption(QStringLiteral("output"),
                                          QStringLiteral("With --preview: write the CSV to FILE."),
                                          QStringLiteral("FILE"));
    parser.addOptions({previewOption, outputOption});
    parser.addPositionalArgument(QStringLiteral("KEY"), QStringLiteral("With --preview: a sub-category key."),
                                 QStringLiteral("[KEY...]"));

    if (!parser.parse(application.arguments())) {
        print(stderr, QStringLiteral("Tarvell: %1\n%2").arg(parser.errorText(), parser.helpText()));
        return kUsage;
    }
    if (parser.isSet(helpOption)) {
        print(stdout, parser.helpText());
        return kSuccess;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, QStringLiteral("Tarvell %1\n").arg(QCoreApplication::applicationVersion()));
        return kSuccess;
    }
    const bool reverting = parser.isSet(revertOption), listing = parser.isSet(journalsOption);
    const bool previewing = parser.isSet(previewOption);
    QString misuse;
    if (previewing && (reverting || listing))
        misuse = QStringLiteral("--preview goes alone");
    else if (previewing && parser.positionalArguments().isEmpty())
        misuse = QStringLiteral("--preview needs at least one sub-category key");
    else if (parser.isSet(outputOption) && !previewing)
        misuse = QStringLiteral("--output goes with --preview");
    else if (!previewing && !parser.positionalArguments().isEmpty())
        misuse = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    else if (reverting && listing)
        misuse = QStringLiteral("--revert and --journals cannot go together");
    else if (parser.isSet(forceOption) && !reverting)
        misuse = QStringLiteral("--force goes with --revert");
    if (!misuse.isEmpty()) {
        print(stderr, QStringLiteral("Tarvell: %1\n%2").arg(misuse, parser.helpText()));
        return kUsage;
    }
    try {
        if (previewing) return preview(parser.positionalArguments(), parser.value(outputOption));
        if (listing) return listJournals();
        return revert(parser.value(revertOption), parser.isSet(forceOption));
    } catch (const std::exception& error) {
        print(stderr, QStringLiteral("Tarvell: %1\n").arg(fromBig5(error.what())));
        return kFailed;
    }
}

}  // namespace

std::optional<int> runCommandLine(int argc, char** argv) {
    settings::useProgramIdentity();
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVELL_VERSION));
    if (onlyWindowOptions(argc, argv)) return std::nullopt;
    // A core application: the commands need no display.
    QCoreApplication application(argc, argv);
    return runCommands(application);
}

}  // namespace cli
