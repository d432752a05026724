// The program's command line run as a child process without a display:
// what it answers, and what it refuses before it opens any database.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <string>
#include <variant>
#include <vector>

#include "CommandLine.h"
#include "HeadlessProgram.h"
#include "JournalHistory.h"

namespace cli {
namespace {

using testsupport::ProgramRun;
using testsupport::runHeadless;

TEST(ProgramCommandLine, AnswersWithoutADisplayAndRefusesWhatItCannotDo) {
    const struct {
        QStringList arguments;
        int exitCode;
        const char* output;
    } cases[] = {
        {{QStringLiteral("--version")}, 0, "Tarvell " TARVELL_VERSION "\n"},
        {{QStringLiteral("--help")}, 0, "  --revert <FILE>"},
        {{QStringLiteral("--force")}, 2, "--force goes with --revert"},
        {{QStringLiteral("--revert")}, 2, "Missing value after '--revert'."},
        {{QStringLiteral("--journals"), QStringLiteral("--revert"), QStringLiteral("x.csv")}, 2, "cannot go together"},
        {{QStringLiteral("--revert"), QStringLiteral("/nonexistent/x.csv")}, 1,
         "Cannot read the journal /nonexistent/x.csv: No such file or directory"},
        // Mistyped options once opened the window, or aborted without a display.
        {{QStringLiteral("--jornals")}, 2, "Tarvell: Unknown option 'jornals'.\nUsage: "},
        {{QStringLiteral("--bogus")}, 2, "Tarvell: Unknown option 'bogus'.\nUsage: "},
        {{QStringLiteral("-revert"), QStringLiteral("x")}, 2, "Tarvell: Unknown options: r, e, e, r, t.\nUsage: "},
        {{QStringLiteral("stray")}, 2, "unexpected argument 'stray'"},
        {{QStringLiteral("--revert"), QStringLiteral("/dev/zero")}, 1, "/dev/zero: not a regular file"},
        // The history window opens with window options alone; with a
        // command it is refused, never opened without a display.
        {{QStringLiteral("--help")}, 0, "  --history "},
        {{QStringLiteral("--history"), QStringLiteral("--journals")}, 2, "Tarvell: --history goes alone\nUsage: "},
        {{QStringLiteral("--history"), QStringLiteral("--history")}, 2, "Tarvell: --history goes alone\nUsage: "},
        {{QStringLiteral("--history"), QStringLiteral("stray")}, 2, "Tarvell: --history goes alone\nUsage: "},
    };
    for (const auto& c : cases) {
        const ProgramRun run = runHeadless(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE((run.output + run.errors).contains(QString::fromUtf8(c.output)))
            << c.arguments.join(' ').toStdString() << ": " << (run.output + run.errors).toStdString();
    }
}

TEST(ProgramCommandLine, MisusedPreviewOptionsAreRefusedBeforeTheDatabase) {
    struct Case {
        QStringList arguments;
        const char* error;
    };
    const Case cases[] = {
        {{"--preview"}, "--preview needs at least one sub-category key"},
        {{"--output", "x.csv"}, "--output goes with --preview"},
        {{"--preview", "A1", "--journals"}, "--preview goes alone"},
        {{"--preview", "A1", "--force"}, "--force goes with --revert"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = runHeadless(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.error;
        EXPECT_TRUE(run.errors.startsWith(QStringLiteral("Tarvell: ") + QString::fromUtf8(c.error)))
            << run.errors.toStdString();
    }
}

// --journals says when the journal folder is open to other accounts, with
// the note the journal code gives, and leaves the folder as it is.
TEST(ProgramCommandLine, ListingNotesAJournalFolderOthersCanLookInto) {
    const QString folder = testsupport::emptyJournalFolder(testsupport::programJournals());
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const std::optional<QString> note = journal::journalFolderNote(folder);
    ASSERT_TRUE(note.has_value());
    const ProgramRun wide = runHeadless({QStringLiteral("--journals")});
    EXPECT_EQ(wide.exitCode, 0) << wide.errors.toStdString();
    EXPECT_TRUE(wide.output.startsWith(*note + QStringLiteral("\nNo journals in "))) << wide.output.toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, mode_t(0755));

    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    const ProgramRun owners = runHeadless({QStringLiteral("--journals")});
    EXPECT_EQ(owners.exitCode, 0) << owners.errors.toStdString();
    EXPECT_TRUE(owners.output.startsWith(QStringLiteral("No journals in "))) << owners.output.toStdString();
}

// Which window the arguments open, decided before any application object
// exists: Qt's window options alone open the main window, --history among
// them the history window; a value of a window option is never taken for it.
TEST(ProgramCommandLine, WindowOptionsAloneOpenTheMainWindowAndHistoryAmongThemTheHistoryWindow) {
    const struct {
        std::vector<const char*> arguments;
        Window window;
    } cases[] = {
        {{}, Window::Main},
        {{"-platform", "offscreen"}, Window::Main},
        {{"--history"}, Window::History},
        {{"-style=fusion", "--history", "-reverse"}, Window::History},
        {{"-platform", "--history"}, Window::Main},
    };
    const QString testProgramName = QCoreApplication::applicationName();
    for (const auto& c : cases) {
        std::vector<std::string> words{"Tarvell"};
        for (const char* argument : c.arguments) words.emplace_back(argument);
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const std::variant<int, Window> launch = runCommandLine(static_cast<int>(words.size()), argv.data());
        ASSERT_TRUE(std::holds_alternative<Window>(launch)) << words.size() << " words, exit " << std::get<int>(launch);
        EXPECT_EQ(std::get<Window>(launch), c.window) << (words.size() > 1 ? words[1] : "(none)");
    }
    QCoreApplication::setApplicationName(testProgramName);
}

}  // namespace
}  // namespace cli
