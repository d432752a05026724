// The stores group of the program's settings file, as an operator writes
// it by hand: the names in push order, with or without quotes and blanks,
// and how many stores are written at once; anything else refused naming
// the key and the value.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <optional>
#include <ostream>
#include <string>

#include "Errors.h"
#include "StoreSettings.h"

namespace {

struct StoresFile {
    const char* name;
    const char* group;  // the [Stores] lines as written
    QStringList names;  // read; ignored when refused
    int parallel;
    const char* refusal;  // in the error; nullptr: accepted
};

void PrintTo(const StoresFile& file, std::ostream* out) { *out << file.name; }

class StoreSettingsTest : public testing::TestWithParam<StoresFile> {};

TEST_P(StoreSettingsTest, IsReadOrRefusedNamingTheKey) {
    const QString path = QStringLiteral("%1/stores-%2.conf").arg(qEnvironmentVariable("XDG_CONFIG_HOME"), GetParam().name);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("[Stores]\n") + GetParam().group);
    }
    const QSettings settings(path, QSettings::IniFormat);
    if (!GetParam().refusal) {
        const settings::StoreSettings read = settings::StoreSettings::from(settings);
        EXPECT_EQ(read.names, GetParam().names);
        EXPECT_EQ(read.parallel, GetParam().parallel);
        return;
    }
    try {
        settings::StoreSettings::from(settings);
        ADD_FAILURE() << "accepted";
    } catch (const rt::AppError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().refusal), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find(path.toStdString()), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoreSettingsTest,
    testing::Values(
        StoresFile{"None", "", {}, 4, nullptr},
        StoresFile{"EmptyNames", "Names=\n", {}, 4, nullptr},
        StoresFile{"One", "Names=Taipei01\n", {"Taipei01"}, 4, nullptr},
        StoresFile{"ListInOrder", "Names=Taipei01,Taichung02,Kaohsiung03\nParallel=2\n",
                   {"Taipei01", "Taichung02", "Kaohsiung03"}, 2, nullptr},
        StoresFile{"Quoted", "Names=\"Taipei01, Taichung02\"\n", {"Taipei01", "Taichung02"}, 4, nullptr},
        StoresFile{"Blanks", "Names = Taipei01 , Taichung02 \nParallel= 32 \n", {"Taipei01", "Taichung02"}, 32, nullptr},
        StoresFile{"ParallelOne", "Names=A\nParallel=1\n", {"A"}, 1, nullptr},
        StoresFile{"Twice", "Names=Taipei01,Taichung02,TAIPEI01\n", {}, 0,
                   "Stores/Names=Taipei01,Taichung02,TAIPEI01: the store TAIPEI01 is named twice"},
        StoresFile{"EmptyAmong", "Names=Taipei01,,Taichung02\n", {}, 0, "Stores/Names=Taipei01,,Taichung02: an empty store name"},
        StoresFile{"TrailingComma", "Names=Taipei01,\n", {}, 0, "an empty store name"},
        StoresFile{"ParallelZero", "Names=A\nParallel=0\n", {}, 0, "Stores/Parallel=0: not a whole number of stores from 1 to 32"},
        StoresFile{"ParallelOver", "Names=A\nParallel=33\n", {}, 0, "Stores/Parallel=33:"},
        StoresFile{"ParallelHuge", "Names=A\nParallel=99999999999999999999\n", {}, 0, "Stores/Parallel=99999999999999999999:"},
        StoresFile{"ParallelFraction", "Names=A\nParallel=2.5\n", {}, 0, "Stores/Parallel=2.5:"},
        StoresFile{"ParallelText", "Names=A\nParallel=four\n", {}, 0, "Stores/Parallel=four:"}),
    [](const testing::TestParamInfo<StoresFile>& info) { return std::string(info.param.name); });

}  // namespace
