#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "ConfigFile.h"
#include "ConnectionTestSupport.h"
#include "Errors.h"
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

TEST(ConfigFile, EachReadingHoldsTheFileAsItWasAndNeverWritesIt) {
    ConfigFolder folder;
    const QString path = folder.write("a.ini", "[VuzEza]\nDatabase=one\n");
    const db::ConfigFile first(path);
    folder.write("a.ini", "[VuzEza]\nDatabase=two\n");
    EXPECT_EQ(first.value("VuzEza", "Database"), "one");
    EXPECT_EQ(db::ConfigFile(path).value("VuzEza", "Database"), "two");
    QFile::remove(path);
    EXPECT_EQ(first.value("VuzEza", "Database"), "one");
    EXPECT_FALSE(db::ConfigFile(path).exists());
    EXPECT_FALSE(QFileInfo::exists(path));
}

// Whatever a path names, reading it neither hangs nor eats the machine: only
// a regular file is a file.
TEST(ConfigFile, APathNamingNoRegularFileIsNoFile) {
    ConfigFolder folder;
    const QString fifo = folder.path("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/dev/null")}) {
        const db::ConfigFile file(path);
        EXPECT_FALSE(file.exists()) << path.toStdString();
        EXPECT_TRUE(file.sectionLines("VuzEza").empty()) << path.toStdString();
    }
    // A link to a regular file is that file.
    const QString target = folder.write("target.ini", "[VuzEza]\nDatabase=linked\n");
    ASSERT_TRUE(QFile::link(target, folder.path("link.ini")));
    EXPECT_EQ(db::ConfigFile(folder.path("link.ini")).value("VuzEza", "Database"), "linked");
}

TEST(ConfigFile, AFileLargerThan16MiBIsRefused) {
    ConfigFolder folder;
    const std::string section = "[VuzEza]\nDatabase=x\n";
    const std::string exactly = section + std::string(db::ConfigFile::MaxSize - section.size() - 1, ';') + "\n";
    EXPECT_EQ(db::ConfigFile(folder.write("limit.ini", exactly)).value("VuzEza", "Database"), "x");
    const QString large = folder.write("large.ini", exactly + "\n");
    EXPECT_EQ(testsupport::messageOf<rt::DatabaseError>([&] { db::ConfigFile{large}; }),
              "Configuration file '" + large.toStdString() + "' is larger than 16 MiB");
}

TEST(ConfigFile, AByteOrderMarkAtTheStartIsSkipped) {
    ConfigFolder folder;
    const db::ConfigFile file(folder.write("bom.ini", "\xEF\xBB\xBF[VuzEza]\r\nDatabase=x\r\n"));
    EXPECT_EQ(file.value("VuzEza", "Database"), "x");
    // Anywhere else the bytes are text like any other.
    const db::ConfigFile later(folder.write("later.ini", "[VuzEza]\n\xEF\xBB\xBF" "Database=x\n"));
    EXPECT_EQ(later.value("VuzEza", "Database"), "");
    EXPECT_EQ(later.value("VuzEza", "\xEF\xBB\xBF" "Database"), "x");
}

TEST(ConfigFile, Big5BytesArriveAsStored) {
    ConfigFolder folder;
    const std::string name = "\xB0\xD3\xAB\x7E";  // 商品
    const std::string backslash = "\xB3\x5C";      // 許, second byte a backslash
    const db::ConfigFile file(folder.write("a.ini", "[VuzEza]\nRoleName= " + name + backslash + " \n"));
    EXPECT_EQ(file.value("VuzEza", "RoleName"), name + backslash);
}

}  // namespace
