#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "ConfigFile.h"
#include "ConnectionTestSupport.h"
#include "TextRules.h"

namespace {

using testsupport::ConfigFolder;

// Two Big5 characters that differ only in a trail byte that reads as 'a'
// or 'A' when taken alone (0xA4 0x61 and 0xA4 0x41).
const std::string kTrailLower = "\xA4\x61";
const std::string kTrailUpper = "\xA4\x41";

TEST(ConfigFile, LinesAreTrimmedAndCommentsAndLeadingLinesSkipped) {
    ConfigFolder folder;
    const db::ConfigFile file(folder.write("a.ini",
                                           "Orphan=before any section\n"
                                           "  \t[ VuzEza ]\t\r\n"
                                           "; Database=commented\n"
                                           "   ;also a comment\n"
                                           "\n"
                                           "\x01\t Database \t=\t srv:/x.fdb \x02\r\n"
                                           "Trim Char = False\r\n"
                                           "no equals sign here\n"
                                           "Empty=\n"
                                           "Eq=a=b\n"));
    EXPECT_EQ(file.sectionLines("VuzEza"),
              (std::vector<std::string>{"Database=srv:/x.fdb", "Trim Char=False", "no equals sign here", "Empty=",
                                        "Eq=a=b"}));
    EXPECT_EQ(file.value("VuzEza", "Database"), "srv:/x.fdb");
    EXPECT_EQ(file.value("VuzEza", "Trim Char"), "False");
    EXPECT_EQ(file.value("VuzEza", "Eq"), "a=b");
    EXPECT_EQ(file.value("VuzEza", "Orphan"), "");
    EXPECT_EQ(file.value("VuzEza", "no equals sign here"), "");
    EXPECT_EQ(file.value("VuzEza", "; Database"), "");
}

TEST(ConfigFile, SectionsAndKeysIgnoreLetterCaseButNotBig5Characters) {
    ConfigFolder folder;
    const db::ConfigFile file(folder.write("a.ini",
                                           "[VUZEZA]\nsqldialect=3\nSQLDIALECT=1\n"
                                           "[" + kTrailUpper + "]\nKey=upper\n"
                                           "[Firebird]\n" + kTrailLower + "=lower\n"));
    EXPECT_EQ(file.value("VuzEza", "SqlDialect"), "3");  // first line wins
    EXPECT_EQ(file.value(kTrailLower, "Key"), "");
    EXPECT_EQ(file.value(kTrailUpper, "key"), "upper");
    EXPECT_EQ(file.value("FIREBIRD", kTrailUpper), "");
    EXPECT_EQ(file.value("firebird", kTrailLower), "lower");
    EXPECT_FALSE(rt::text::equalsIgnoreCase(kTrailLower, kTrailUpper));
    EXPECT_TRUE(rt::text::equalsIgnoreCase("\xA4\x61x", "\xA4\x61X"));
    EXPECT_EQ(rt::text::toUpper(kTrailLower + "b"), kTrailLower + "B");
}

TEST(ConfigFile, MissingFileOrSectionReadsEmpty) {
    ConfigFolder folder;
    const db::ConfigFile missing(folder.path("none.ini"));
    EXPECT_FALSE(missing.exists());
    EXPECT_TRUE(missing.sectionLines("VuzEza").empty());
    EXPECT_EQ(missing.value("VuzEza", "Database"), "");
    EXPECT_FALSE(db::ConfigFile(QString()).exists());
    EXPECT_FALSE(db::ConfigFile(folder.path("")).exists()) << "a folder is no file";

    const db::ConfigFile other(folder.write("b.ini", "[Other]\nDatabase=x\n[]\nA=1\n[Broken\nB=2\n"));
    EXPECT_TRUE(other.exists());
    EXPECT_TRUE(other.sectionLines("VuzEza").empty());
    // "[Broken" opens no section; its lines belong to the empty-named one.
    EXPECT_EQ(other.sectionLines(""), (std::vector<std::string>{"A=1", "[Broken", "B=2"}));
}

TEST(ConfigFile, EveryLookupReadsTheFileAfreshAndNeverWritesIt) {
    ConfigFolder folder;
    const std::string first = "[VuzEza]\nDatabase=one\n";
    const db::ConfigFile file(folder.write("a.ini", first));
    EXPECT_EQ(file.value("VuzEza", "Database"), "one");
    folder.write("a.ini", "[VuzEza]\nDatabase=two\n");
    EXPECT_EQ(file.value("VuzEza", "Database"), "two");
    QFile::remove(file.path());
    EXPECT_EQ(file.value("VuzEza", "Database"), "");
    EXPECT_FALSE(QFileInfo::exists(file.path()));
}

TEST(ConfigFile, Big5BytesArriveAsStored) {
    ConfigFolder folder;
    const std::string name = "\xB0\xD3\xAB\x7E";  // 商品
    const std::string backslash = "\xB3\x5C";      // 許, second byte a backslash
    const db::ConfigFile file(folder.write("a.ini", "[VuzEza]\nRoleName= " + name + backslash + " \n"));
    EXPECT_EQ(file.value("VuzEza", "RoleName"), name + backslash);
}

}  // namespace
