#include "HeadlessProgram.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

namespace testsupport {

QString programPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Tarvell"));
}

QProcessEnvironment headlessEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
    return environment;
}

std::vector<std::string> headlessEnvironmentLines() {
    std::vector<std::string> lines;
    for (const QString& line : headlessEnvironment().toStringList()) lines.push_back(line.toStdString());
    return lines;
}

void startHeadless(QProcess& process, const QStringList& arguments) {
    process.setProcessEnvironment(headlessEnvironment());
    process.start(programPath(), arguments);
    EXPECT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
}

ProgramRun runHeadless(const QStringList& arguments, int timeoutMs) {
    QProcess process;
    startHeadless(process, arguments);
    EXPECT_TRUE(process.waitForFinished(timeoutMs)) << arguments.join(QLatin1Char(' ')).toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QString programJournals() {
    return QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath(QStringLiteral("Tarvell/journals"));
}

QString emptyJournalFolder(const QString& folder) {
    EXPECT_TRUE(QDir(folder).removeRecursively()) << folder.toStdString();
    return folder;
}

}  // namespace testsupport
