#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

#include "Big5Text.h"
#include "JournalSettings.h"
#include "PriceJournal.h"
#include "PriceRevert.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"

namespace app {

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

bool isCommandLineOption(const char* argument) {
    for (const char* option :
         {"--revert", "--journals", "--force", "--help", "--help-all", "-h", "-?", "--version", "-v"}) {
        const std::size_t length = std::strlen(option);
        if (std::strncmp(argument, option, length) == 0 && (argument[length] == '\0' || argument[length] == '='))
            return true;
    }
    return false;
}

QString pricesText(const batch::Prices& prices) {
    QStringList texts;
    for (const rt::FieldValue& price : prices)
        texts << (price.isNull() ? QStringLiteral("null") : QString::fromStdString(batch::priceText(price)));
    return texts.join(QLatin1Char(' '));
}

QString productText(const batch::JournalEntry& entry) {
    return fromBig5(entry.productId) + QLatin1Char(' ') + fromBig5(entry.productName);
}

int listJournals() {
    const QString folder = batch::JournalSettings::load().folder;
    const QStringList files = batch::journalFiles(folder);
    if (files.isEmpty()) {
        print(stdout, QStringLiteral("No journals in %1\n").arg(folder));
        return kSuccess;
    }
    print(stdout, QStringLiteral("%1  %2  %3  %4  %5\n")
                      .arg(QStringLiteral("time (UTC)"), -24)
                      .arg(QStringLiteral("rows"), 7)
                      .arg(QStringLiteral("written"), 10)
                      .arg(QStringLiteral("database"), QStringLiteral("file")));
    int status = kSuccess;
    for (const QString& file : files) {
        try {
            const batch::Journal journal = batch::readJournal(file);
            const QString written =
                journal.written ? QString::number(*journal.written) : QStringLiteral("unfinished");
            print(stdout, QStringLiteral("%1  %2  %3  %4  %5\n")
                              .arg(journal.header.time.toString(Qt::ISODateWithMs), -24)
                              .arg(journal.entries.size(), 7)
                              .arg(written, 10)
                              .arg(journal.header.database, QFileInfo(file).fileName()));
        } catch (const std::exception& error) {
            print(stderr, QStringLiteral("Tarvell: %1\n").arg(fromBig5(error.what())));
            status = kFailed;
        }
    }
    return status;
}

void printReport(const batch::RevertReport& report) {
    for (const batch::ChangedRow& row : report.skipped)
        print(stdout, QStringLiteral("skipped %1: changed since; now %2, the write-back wrote %3, before it %4\n")
                          .arg(productText(row.entry), pricesText(row.now), pricesText(row.entry.newPrices),
                               pricesText(*row.entry.oldPrices)));
    for (const batch::ChangedRow& row : report.forced)
        print(stdout, QStringLiteral("forced %1: changed since (now %2), put back to %3\n")
                          .arg(productText(row.entry), pricesText(row.now), pricesText(*row.entry.oldPrices)));
    for (const batch::JournalEntry& entry : report.missing)
        print(stdout, QStringLiteral("missing %1: no longer in PRODUCT\n").arg(productText(entry)));
    print(stdout, QStringLiteral("%1 rows in the journal: %2 reverted, %3 needed nothing, %4 skipped, %5 missing\n")
                      .arg(report.rows)
                      .arg(report.reverted)
                      .arg(report.unchanged)
                      .arg(report.skipped.size())
                      .arg(report.missing.size()));
    if (!report.journalPath.isEmpty())
        print(stdout, QStringLiteral("journal of this revert: %1\n").arg(report.journalPath));
    if (!report.skipped.empty())
        print(stdout, QStringLiteral("Rows changed since were left alone; --force reverts them too.\n"));
}

// Ctrl+C and TERM during a revert are blocked, so that neither their
// default action nor the client library's own handlers end the process in
// the middle of a row; the loop asks between rows whether one is waiting.
// Blocked before the connect, so that the client library's threads start
// with them blocked too.
void holdStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int pendingStopSignal() {
    sigset_t pending;
    if (sigpending(&pending) != 0) return 0;
    if (sigismember(&pending, SIGINT) == 1) return SIGINT;
    if (sigismember(&pending, SIGTERM) == 1) return SIGTERM;
    return 0;
}

int revert(const QString& file, bool force) {
    const batch::Journal journal = batch::readJournal(file);
    // The connection the window uses, from the same settings store and
    // configuration files.
    db::TDataLinkConnection SQLConnection1("SQLConnection1");
    SQLConnection1.applyStoredProperties();
    db::TStatementService SQLQuery1(SQLConnection1);
    batch::RevertOptions options;
    options.force = force;
    options.progress = [](std::size_t written, std::size_t total) {
        if (written % kProgressStep == 0 || written == total)
            print(stdout, QStringLiteral("%1 of %2 rows reverted\n").arg(written).arg(total));
    };
    options.stopRequested = [] { return pendingStopSignal() != 0; };
    holdStopSignals();
    const batch::RevertReport report = batch::TPriceRevert(SQLQuery1, options).run(journal);
    printReport(report);
    if (const int signal = pendingStopSignal(); signal != 0) {
        if (report.stopped)
            print(stdout, QStringLiteral("Stopped by %1 after %2 rows reverted; the rows after them were not "
                                         "touched.\n")
                              .arg(QStringLiteral("SIG") + QString::fromLatin1(sigabbrev_np(signal)))
                              .arg(report.reverted));
        return 128 + signal;
    }
    return report.complete() ? kSuccess : kNotAllReverted;
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

    if (!parser.parse(application.arguments())) {
        print(stderr, QStringLiteral("Tarvell: %1\n").arg(parser.errorText()));
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
    QString misuse;
    if (!parser.positionalArguments().isEmpty())
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
        if (listing) return listJournals();
        return revert(parser.value(revertOption), parser.isSet(forceOption));
    } catch (const std::exception& error) {
        print(stderr, QStringLiteral("Tarvell: %1\n").arg(fromBig5(error.what())));
        return kFailed;
    }
}

}  // namespace

std::optional<int> runCommandLine(int argc, char** argv) {
    batch::useProgramIdentity();
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVELL_VERSION));
    bool command = false;
    for (int i = 1; i < argc; ++i) command = command || isCommandLineOption(argv[i]);
    if (!command) return std::nullopt;
    // A core application: the commands need no display.
    QCoreApplication application(argc, argv);
    return runCommands(application);
}

}  // namespace app
