// The switches of the program's own settings file: a value that is neither
// true nor false is refused, never read as one of them. A refused value is
// named in the message even where Big5 cannot hold the path or the value.
#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "Big5Text.h"
#include "Errors.h"
#include "JournalSettings.h"
#include "MessageOf.h"
#include "ProgramSettings.h"
#include "ScopeGuard.h"
#include "ServerSettings.h"
#include "WriteBackSettings.h"

namespace {

using testsupport::messageOf;

struct SwitchCase {
    const char* name;
    const char* written;  // nullptr: the key is absent
    bool fallback;
    int expected;  // 0 false, 1 true, -1 refused
};

void PrintTo(const SwitchCase& c, std::ostream* out) { *out << c.name; }

class ProgramSwitchTest : public testing::TestWithParam<SwitchCase> {
protected:
    void TearDown() override { settings::programSettings().remove(kKey); }
    const QString kKey = QStringLiteral("Test/Switch");
};

TEST_P(ProgramSwitchTest, IsReadAsWrittenOrRefusedNamingTheKey) {
    const SwitchCase& c = GetParam();
    if (c.written) settings::setProgramSetting(kKey, QString::fromLatin1(c.written));
    if (c.expected < 0) {
        const std::string message = messageOf<rt::AppError>([&] { settings::programSwitch(kKey, c.fallback); });
        EXPECT_NE(message.find("Test/Switch=" + std::string(c.written)), std::string::npos) << message;
        EXPECT_NE(message.find("neither true nor false"), std::string::npos) << message;
        return;
    }
    EXPECT_EQ(settings::programSwitch(kKey, c.fallback), c.expected == 1);
}

INSTANTIATE_TEST_SUITE_P(Values, ProgramSwitchTest,
                         testing::Values(SwitchCase{"AbsentOn", nullptr, true, 1},
                                         SwitchCase{"AbsentOff", nullptr, false, 0},
                                         SwitchCase{"True", "true", false, 1},
                                         SwitchCase{"FalseInCapitals", "FALSE", true, 0},
                                         SwitchCase{"BlanksAround", "  True ", false, 1},
                                         // Qt alone would take any other text as true.
                                         SwitchCase{"Misspelt", "flase", false, -1},
                                         SwitchCase{"Yes", "yes", false, -1},
                                         SwitchCase{"One", "1", false, -1},
                                         SwitchCase{"Empty", "", true, -1}),
                         [](const testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

TEST(ProgramSwitches, TheJournalAndTheWriteBackModeRefuseAMistypedSwitch) {
    settings::setProgramSetting(QStringLiteral("WriteBack/OneTransaction"), QStringLiteral("ture"));
    EXPECT_THROW(settings::WriteBackSettings::load(), rt::AppError);
    settings::WriteBackSettings::setOneTransaction(true);
    EXPECT_TRUE(settings::WriteBackSettings::load().oneTransaction);
    settings::WriteBackSettings::setOneTransaction(false);

    settings::setProgramSetting(QStringLiteral("Journal/Enabled"), QStringLiteral("off"));
    EXPECT_THROW(journal::JournalSettings::load(), rt::AppError);
    journal::JournalSettings::setEnabled(true);
    EXPECT_TRUE(journal::JournalSettings::load().enabled);
}

// The settings path and the value are the user's own text; a character Big5
// lacks shows as "?" and the message still names the setting.
TEST(ServerSettingsMessage, NamesTheSettingWhateverCharactersThePathAndTheValueHold) {
    const struct {
        const char* name;
        const char* folder;  // below a temporary folder, UTF-8
        const char* value;   // UTF-8
        std::string shownValue;
    } cases[] = {
        {"Big5 path and value", "設定", "六十", big5::fromUtf8("六十")},
        {"value Big5 lacks", "settings", "6😀0", "6?0"},
        {"path Big5 lacks", "設定😀", "long", "long"},
    };
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const rt::ScopeGuard restorePath([&] { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QTemporaryDir parent;
        ASSERT_TRUE(parent.isValid());
        const QString folder = parent.filePath(QString::fromUtf8(c.folder));
        ASSERT_TRUE(QDir().mkpath(folder));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        settings::setProgramSetting(QStringLiteral("Server/AnswerTimeout"), QString::fromUtf8(c.value));
        const std::string message = messageOf<rt::AppError>([] { settings::ServerSettings::load(); });
        EXPECT_NE(message.find(big5::fromUnicodeLossy(settings::programSettings().fileName())), std::string::npos)
            << message;
        const std::string refusal = big5::fromUtf8(" 不是 1 到 86400 之間的秒數");
        EXPECT_NE(message.find("Server/AnswerTimeout=" + c.shownValue + refusal), std::string::npos) << message;
    }
}

// The commented example the package installs holds every setting the
// program reads, each at the value the program takes without it: a copy
// changes nothing until it is edited.
TEST(ExampleSettingsFile, HoldsEverySettingAtItsDefault) {
    const QSettings example(QStringLiteral(TARVELL_SOURCE_DIR "/packaging/examples/Tarvell.conf"), QSettings::IniFormat);
    ASSERT_EQ(example.status(), QSettings::NoError);
    QStringList keys = example.allKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{QStringLiteral("Journal/Enabled"), QStringLiteral("Server/AnswerTimeout"),
                                 QStringLiteral("WriteBack/OneTransaction")}));
    const QTemporaryDir folder;
    const QSettings none(folder.filePath(QStringLiteral("none.conf")), QSettings::IniFormat);
    EXPECT_EQ(journal::JournalSettings::from(example).enabled, journal::JournalSettings::from(none).enabled);
    EXPECT_EQ(settings::WriteBackSettings::from(example).oneTransaction,
              settings::WriteBackSettings::from(none).oneTransaction);
    EXPECT_EQ(settings::ServerSettings::from(example).answerTimeout, settings::ServerSettings::from(none).answerTimeout);
}

}  // namespace
