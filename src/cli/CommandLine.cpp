#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include "ConnectionsFileMissing.h"
#include "Big5Text.h"
#include "Errors.h"
#include "JournalHistory.h"
#include "JournalListing.h"
#include "JournalSettings.h"
#include "ProgramIdentity.h"
#include "PriceJournal.h"
#include "PricePreview.h"
#include "PriceRevert.h"
#include "RevertSummary.h"
#include "StatementService.h"
#include "StopSignals.h"
#include "ServerSettings.h"
#include "StoreConnection.h"
#include "StorePush.h"
#include "StoreSettings.h"
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

// The window the arguments open: Qt's window options alone open the main
// window, and with --history besides the price history window; anything
// else is the command line's.
std::optional<Window> windowToOpen(int argc, char** argv) {
    bool history = false;
    for (int i = 1; i < argc; ++i) {
        if (!history && std::strcmp(argv[i], "--history") == 0) {
            history = true;
            continue;
        }
        bool valueAttached = false;
        const WindowOption* option = windowOption(argv[i], valueAttached);
        if (!option) return std::nullopt;
        if (option->takesValue && !valueAttached && ++i >= argc) return std::nullopt;
    }
    return history ? Window::History : Window::Main;
}

int listJournals() {
    const QString folder = journal::JournalSettings::load().folder;
    if (const std::optional<QString> note = journal::journalFolderNote(folder)) print(stdout, *note + QLatin1Char('\n'));
    const std::vector<journal::ListedJournal> journals = journal::listJournals(folder);
    if (journals.empty()) {
        print(stdout, QStringLiteral("No journals in %1\n").arg(folder));
        return kSuccess;
    }
    print(stdout, QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                      .arg(QStringLiteral("time (UTC)"), -24)
                      .arg(QStringLiteral("rows"), 7)
                      .arg(QStringLiteral("written"), 10)
                      .arg(QStringLiteral("database"), QStringLiteral("file"), QStringLiteral("reverted by")));
    int status = kSuccess;
    for (const journal::ListedJournal& journal : journals) {
        if (!journal.isJournal()) {
            print(stderr, QStringLiteral("Tarvell: skipped %1: %2\n").arg(journal.fileName, journal.error));
            status = kFailed;
            continue;
        }
        const QString written = journal.written ? QString::number(*journal.written) : QStringLiteral("unfinished");
        print(stdout, QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                          .arg(journal.header->time.toString(Qt::ISODateWithMs), -24)
                          .arg(journal.rows, 7)
                          .arg(written, 10)
                          .arg(journal.header->database, journal.fileName,
                               journal.revertedBy.isEmpty() ? QStringLiteral("-") : journal.revertedBy)
                          .trimmed() +
                          QLatin1Char('\n'));
    }
    return status;
}

void printReport(const batch::RevertReport& report) {
    print(stdout, batch::revertReportText(report));
    if (!report.skipped.empty())
        print(stdout, QStringLiteral("Rows changed since were left alone; --force reverts them too.\n"));
}

// The connection the window uses, from the same settings store and
// configuration files, with the program's answer timeout.
void useProgramConnection(db::TDataLinkConnection& connection) {
    connection.applyStoredProperties();
    settings::applyServerSettings(connection);
}

// A store's journal (one a push wrote) is reverted at that store: the
// configured store whose section names the journal's database. Every other
// journal is reverted at the program's own database.
void useJournalConnection(db::TDataLinkConnection& connection, const journal::JournalHeader& header) {
    useProgramConnection(connection);
    if (!batch::isPushSource(header.source)) return;
    for (const QString& store : settings::StoreSettings::load().names) {
        const db::ConnectionSettings settings = db::storeConnectionSettings(big5::fromUnicode(store));
        if (fromBig5(settings.params.value("Database")).trimmed() != header.database.trimmed()) continue;
        db::useStoreConnection(connection, settings);
        settings::applyServerSettings(connection);
        return;
    }
}

int revert(const QString& file, bool force) {
    const journal::Journal journal = journal::readJournal(file);
    db::TDataLinkConnection SQLConnection1("SQLConnection1");
    useJournalConnection(SQLConnection1, journal.header);
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
            if (report.stopped)
                print(stdout, batch::revertStoppedText(QStringLiteral("SIG") + QString::fromLatin1(sigabbrev_np(signal)),
                                                       report.reverted, options.writeBack.oneTransaction));
            return 128 + signal;
        }
        return report.complete() ? kSuccess : kNotAllReverted;
    } catch (const batch::RevertStopped& stopped) {
        // Rows before the failing one are reverted already: say which and
        // where they are journaled.
        print(stderr, QStringLiteral("Tarvell: ") + batch::revertFailedText(stopped, file));
        printReport(stopped.report());
        if (stopped.report().inDoubt)
            print(stdout, batch::revertInDoubtText(stopped, options.writeBack.oneTransaction));
        return kFailed;
    }
}

// Sends the journal's batch to the chosen stores. Every configured name
// and its section are checked, and the journal read, before anything is
// written: a fault there is the command line's or the configuration's.
int push(const QString& file, const QString& chosen, bool force) {
    std::vector<batch::StoreTarget> stores;
    batch::PushOptions options;
    try {
        const settings::StoreSettings configured = settings::StoreSettings::load();
        stores = batch::chosenStores(configured, chosen.isEmpty() ? QStringList() : chosen.split(QLatin1Char(',')));
        options.parallel = configured.parallel;
        options.answerTimeout = settings::ServerSettings::load().answerTimeout;
        options.journal = journal::JournalSettings::load();
        batch::checkPushable(journal::readJournal(file));
    } catch (const std::exception& error) {
        print(stderr, QStringLiteral("Tarvell: %1\nNothing was pushed.\n").arg(fromBig5(error.what())));
        return kUsage;
    }
    options.force = force;
    options.stopRequested = [] { return rt::pendingStopSignal() != 0; };
    // As in a revert: blocked before the first connect, so that the client
    // library's threads and the stores' threads start with them blocked.
    rt::blockStopSignals();
    batch::TStorePush pushing(file, std::move(stores), options);
    const std::vector<batch::StoreProgress> outcome = pushing.run();
    int status = kSuccess;
    for (const batch::StoreProgress& store : outcome) {
        print(stdout, batch::storeOutcomeText(store) + QLatin1Char('\n'));
        if (store.hasBatch()) continue;
        status = kFailed;
        QString reason = store.reason;
        if (store.status == batch::StoreStatus::Changed)
            reason = QStringLiteral("delivered before, its prices changed since (%1); --force writes it again").arg(reason);
        else if (store.status == batch::StoreStatus::Cancelled)
            reason = QStringLiteral("cancelled, nothing of the batch kept");
        print(stderr, QStringLiteral("Tarvell: the store %1 does not have the batch: %2\n").arg(store.store, reason));
    }
    if (const int signal = rt::pendingStopSignal(); signal != 0)
        print(stdout, QStringLiteral("Stopped by %1; every store still writing rolled back.\n")
                          .arg(QStringLiteral("SIG") + QString::fromLatin1(sigabbrev_np(signal))));
    print(stdout, QStringLiteral("push record: %1\n").arg(pushing.recordPath()));
    if (status != kSuccess)
        print(stdout, QStringLiteral("Pushing again retries only the stores without the batch.\n"));
    return status;
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
    const QCommandLineOption historyOption(
        QStringLiteral("history"),
        QStringLiteral("Open the price history window: the journals, their rows, and a revert of one."));
    parser.addOptions({revertOption, forceOption, journalsOption, historyOption});
    const QCommandLineOption previewOption(
        QStringLiteral("preview"),
        QStringLiteral("Load and price the sub-categories KEY... as the window would and write them as CSV "
                       "beside the prices PRODUCT holds; writes nothing to the database."));
    const QCommandLineOption outputOption(QStringLiteral("output"),
                                          QStringLiteral("With --preview: write the CSV to FILE."),
                                          QStringLiteral("FILE"));
    parser.addOptions({previewOption, outputOption});
    const QCommandLineOption pushOption(
        QStringLiteral("push"),
        QStringLiteral("Send the batch of the write-back journal JOURNAL to the stores; with --force also to stores "
                       "whose prices changed since it was delivered there."),
        QStringLiteral("JOURNAL"));
    const QCommandLineOption storesOption(QStringLiteral("stores"),
                                          QStringLiteral("With --push: the stores NAME,... (default all)."),
                                          QStringLiteral("NAME,...|all"));
    parser.addOptions({pushOption, storesOption});
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
    const bool pushing = parser.isSet(pushOption);
    QString misuse;
    if (parser.isSet(historyOption))
        misuse = QStringLiteral("--history goes alone");
    else if (pushing && (reverting || listing || previewing))
        misuse = QStringLiteral("--push goes alone");
    else if (parser.isSet(storesOption) && !pushing)
        misuse = QStringLiteral("--stores goes with --push");
    else if (previewing && (reverting || listing))
        misuse = QStringLiteral("--preview goes alone");
    else if (previewing && parser.positionalArguments().isEmpty())
        misuse = QStringLiteral("--preview needs at least one sub-category key");
    else if (parser.isSet(outputOption) && !previewing)
        misuse = QStringLiteral("--output goes with --preview");
    else if (!previewing && !parser.positionalArguments().isEmpty())
        misuse = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    else if (reverting && listing)
        misuse = QStringLiteral("--revert and --journals cannot go together");
    else if (parser.isSet(forceOption) && !reverting && !pushing)
        misuse = QStringLiteral("--force goes with --revert or --push");
    if (!misuse.isEmpty()) {
        print(stderr, QStringLiteral("Tarvell: %1\n%2").arg(misuse, parser.helpText()));
        return kUsage;
    }
    try {
        if (previewing) return preview(parser.positionalArguments(), parser.value(outputOption));
        if (listing) return listJournals();
        if (pushing) return push(parser.value(pushOption), parser.value(storesOption), parser.isSet(forceOption));
        return revert(parser.value(revertOption), parser.isSet(forceOption));
    } catch (const std::exception& error) {
        // A first run with no connections file says where it looked, as the
        // window's box does.
        const std::string guidance = db::errorGuidance(error);
        print(stderr, QStringLiteral("Tarvell: %1\n").arg(fromBig5(error.what())));
        if (!guidance.empty()) print(stderr, fromBig5(guidance) + QLatin1Char('\n'));
        return kFailed;
    }
}

}  // namespace

std::variant<int, Window> runCommandLine(int argc, char** argv) {
    settings::useProgramIdentity();
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVELL_VERSION));
    if (const std::optional<Window> window = windowToOpen(argc, argv)) return *window;
    // A core application: the commands need no display.
    QCoreApplication application(argc, argv);
    return runCommands(application);
}

}  // namespace cli
