// The server group of the program's settings file: the answer timeout is
// read as whole seconds from one to a day, and anything else is refused
// with an error naming the key and the value.
#include <gtest/gtest.h>

#include <QSettings>
#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "Errors.h"
#include "ProgramSettings.h"
#include "ServerSettings.h"

namespace {

struct TimeoutSetting {
    const char* name;
    const char* stored;  // nullptr: no value
    std::optional<int> seconds;  // nothing: refused
};

void PrintTo(const TimeoutSetting& setting, std::ostream* out) { *out << setting.name; }

class AnswerTimeoutSettingTest : public testing::TestWithParam<TimeoutSetting> {
protected:
    void TearDown() override { settings::ServerSettings::setAnswerTimeout(settings::ServerSettings::kDefaultAnswerTimeout); }
};

TEST_P(AnswerTimeoutSettingTest, IsReadOrRefusedNamingTheKey) {
    {
        QSettings settings = settings::programSettings();
        if (GetParam().stored)
            settings.setValue(QStringLiteral("Server/AnswerTimeout"), QString::fromLatin1(GetParam().stored));
        else
            settings.remove(QStringLiteral("Server/AnswerTimeout"));
    }
    if (GetParam().seconds) {
        EXPECT_EQ(settings::ServerSettings::load().answerTimeout, std::chrono::seconds(*GetParam().seconds));
        return;
    }
    try {
        settings::ServerSettings::load();
        ADD_FAILURE() << "accepted " << GetParam().stored;
    } catch (const rt::AppError& error) {
        EXPECT_NE(std::string(error.what()).find("Server/AnswerTimeout=" + std::string(GetParam().stored)),
                  std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Values, AnswerTimeoutSettingTest,
                         testing::Values(TimeoutSetting{"Missing", nullptr, 60}, TimeoutSetting{"Five", "5", 5},
                                         TimeoutSetting{"Blanks", " 7 ", 7}, TimeoutSetting{"OneDay", "86400", 86400},
                                         TimeoutSetting{"Zero", "0", std::nullopt},
                                         TimeoutSetting{"Negative", "-3", std::nullopt},
                                         TimeoutSetting{"OverADay", "86401", std::nullopt},
                                         TimeoutSetting{"Huge", "99999999999999999999", std::nullopt},
                                         TimeoutSetting{"Fraction", "1.5", std::nullopt},
                                         TimeoutSetting{"Word", "long", std::nullopt}),
                         [](const testing::TestParamInfo<TimeoutSetting>& info) { return std::string(info.param.name); });

}  // namespace
