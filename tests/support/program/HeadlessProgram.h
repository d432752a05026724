// The program beside the test program, run as a child process the way a
// machine without a display runs it: the commands must work there.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace testsupport {

// What a finished run of the program gave.
struct ProgramRun {
    int exitCode = -1;  // -1 when the program did not end normally
    QString output;
    QString errors;
};

// The program's file, beside the test program.
QString programPath();

// The test's environment without anything that names a display.
QProcessEnvironment headlessEnvironment();
// The same, as NAME=value lines for a child started by hand.
std::vector<std::string> headlessEnvironmentLines();

// Starts the program without a display; fails the test when it does not start.
void startHeadless(QProcess& process, const QStringList& arguments);

// Runs the program without a display to its end; fails the test when it has
// not ended within timeoutMs.
ProgramRun runHeadless(const QStringList& arguments, int timeoutMs = 300000);

// The folder the program run as a child keeps its journals in, under the
// tests' own data folder.
QString programJournals();

// folder, removed with all it holds, so that only what the test writes
// there is found; returns folder.
QString emptyJournalFolder(const QString& folder);

}  // namespace testsupport
