// The real program, started as the run command starts it, on an embedded
// database: SIGTERM and SIGINT end it as "4.離開" would, and the database file
// is free for the next process right after.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DirectClient.h"
#include "HeadlessProgram.h"
#include "PointOfSaleSchema.h"
#include "TestDatabase.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using testsupport::DirectClient;
using testsupport::TestDatabase;

// The program beside the test program, with the environment of the test
// except for its own home and settings folder.
class Program {
public:
    explicit Program(const std::string& home) {
        std::vector<std::string> variables{"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                                           "QT_QPA_PLATFORM=offscreen"};
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable(*entry);
            const std::string name = variable.substr(0, variable.find('='));
            if (name != "HOME" && name != "XDG_CONFIG_HOME" && name != "QT_QPA_PLATFORM")
                variables.push_back(variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string path = testsupport::programPath().toStdString();
        char* argv[] = {path.data(), nullptr};
        if (posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0) pid_ = -1;
    }
    ~Program() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && !status_; }

    // Whether the program holds file open, as it does once connected.
    bool holds(const std::string& file) const {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", error))
            if (std::filesystem::read_symlink(entry.path(), error) == file) return true;
        return false;
    }

    // The wait status once the program has ended within the time given.
    std::optional<int> waitForEnd(std::chrono::milliseconds limit) {
        for (auto waited = 0ms; waited <= limit && !status_; waited += 20ms) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = status;
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

class TerminationSignalTest : public testing::TestWithParam<int> {};

TEST_P(TerminationSignalTest, ClosesTheWindowEndsTheProgramAndReleasesTheDatabase) {
    TestDatabase database;
    database.execute({testsupport::kSubCategoryTable, "INSERT INTO PROD_ITEM (PD_ITEMID, PD_ITEMNAME) VALUES ('A1', 'Drinks')"});
    QTemporaryDir home;
    const std::string folder = home.path().toStdString();
    database.writeConfiguration(folder);
    std::filesystem::create_directories(folder + "/.config/Kelvane");
    std::ofstream(folder + "/.config/Kelvane/DataLink.conf")
        << "[General]\nConnection Registry File=" << folder << "/dlconnections.ini\n"
        << "Driver Registry File=" << folder << "/dldrivers.ini\n";

    Program program(folder);
    ASSERT_TRUE(program.started());
    // The window is up and connected once it has filled its selector, with
    // the database file open.
    for (auto waited = 0ms; waited < 60s && program.running() && !program.holds(database.path()); waited += 50ms) {
        std::this_thread::sleep_for(50ms);
        program.waitForEnd(0ms);
    }
    ASSERT_TRUE(program.running()) << "the program ended before it connected";
    ASSERT_TRUE(program.holds(database.path())) << "the program never connected";

    ASSERT_EQ(kill(program.pid(), GetParam()), 0);
    const std::optional<int> status = program.waitForEnd(10s);
    ASSERT_TRUE(status) << strsignal(GetParam()) << " left the program running";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status;

    DirectClient client(database.path());
    EXPECT_EQ(client.select("SELECT PD_ITEMID FROM PROD_ITEM").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, TerminationSignalTest, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

}  // namespace
