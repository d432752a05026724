// The journal file on its own: what goes in comes back byte for byte and
// number for number, and a damaged file is refused with its line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <future>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <thread>

#include "Errors.h"
#include "JournalHistory.h"
#include "PriceJournal.h"

namespace batch {
namespace {

using rt::FieldValue;

product::TierPrices sixOf(std::initializer_list<FieldValue> values) {
    if (values.size() != product::kTierCount) throw std::invalid_argument("a product has six prices");
    product::TierPrices prices;
    int tier = 1;
    for (const FieldValue& value : values) prices.setValue(tier++, value);
    return prices;
}

journal::JournalHeader header() {
    return {QStringLiteral("db-host:/srv/POSDATA.FDB"), QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
            QStringLiteral("write-back")};
}

class PriceJournalTest : public testing::Test {
protected:
    QString writeJournal(const std::vector<journal::JournalEntry>& entries, std::optional<std::size_t> written) {
        journal::TJournalWriter writer(folder.path(), header());
        for (const auto& entry : entries) writer.addEntry(entry);
        if (written) writer.close(*written); else writer.sync();
        return writer.path();
    }
    QByteArray contentsOf(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QString fileWith(const QByteArray& text) {
        QFile file(QDir(folder.path()).filePath(QStringLiteral("damaged.csv")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return file.fileName();
    }
    QTemporaryDir folder;
};

TEST_F(PriceJournalTest, EveryRowComesBackExactly) {
    const double maxPrice = 2147483647, minPrice = -2147483648.0;
    const std::vector<journal::JournalEntry> entries = {
        // A2 CC shows as the same character as A4 51 and comes back from
        // Unicode as A4 51; a lone lead byte is no character at all.
        {"K\xA2\xCC", "\xAF\xF3 \"quoted\", with comma", sixOf({100.0, 110.0, 12.34, FieldValue(), 0.1, minPrice}),
         sixOf({115.0, 121.0, 13.0, 1.0, maxPrice, -9.0})},
        {std::string("A\x81", 2), "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})},
        {"P3", "line\nbreak", sixOf({FieldValue(), FieldValue(), FieldValue(), FieldValue(), FieldValue(), FieldValue()}),
         sixOf({FieldValue(), 2.5, 9999999999999.99, 3.0, 4.0, -9999999999999.99})},
    };
    const journal::Journal journal = journal::readJournal(writeJournal(entries, 2));
    EXPECT_EQ(journal.header.database, QStringLiteral("db-host:/srv/POSDATA.FDB"));
    EXPECT_EQ(journal.header.user, QStringLiteral("clerk"));
    EXPECT_TRUE(journal.header.time.isValid());
    ASSERT_EQ(journal.written, std::optional<std::size_t>(2));
    ASSERT_EQ(journal.entries.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(journal.entries[i].productId, entries[i].productId) << i;
        EXPECT_EQ(journal.entries[i].oldPrices, entries[i].oldPrices) << i;
        EXPECT_EQ(journal.entries[i].newPrices, entries[i].newPrices) << i;
    }
    EXPECT_EQ(journal.entries[2].productName, "line\nbreak");
}

TEST_F(PriceJournalTest, PeopleReadTheNumberAndTheNameAsText) {
    const QString path = writeJournal({{"\xAF\xF3" "01", "\xAF\xF3", std::nullopt, sixOf({1234567.0, 2.0, 3.0, 4.0, 5.0, 6.0})}}, 1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[6], QString::fromUtf8("草01,AFF33031,草,missing,missing,missing,missing,missing,missing,"
                                          "1234567,2,3,4,5,6"));
    // The count has a fixed width: it is written over its place in the file.
    EXPECT_EQ(lines[7], QStringLiteral("written,0000000001"));
}

TEST_F(PriceJournalTest, WithoutItsClosingLineTheJournalIsUnfinished) {
    const journal::Journal journal = journal::readJournal(writeJournal({{"P1", "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})}},
                                                     std::nullopt));
    EXPECT_EQ(journal.entries.size(), 1u);
    EXPECT_FALSE(journal.written.has_value());
}

TEST_F(PriceJournalTest, DamagedFilesAreRefusedWithTheirLine) {
    const QString good = writeJournal({{"P1", "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})}}, 1);
    const QByteArray text = contentsOf(good);
    const struct {
        QByteArray from, to;
        const char* message;
        const char* fault;
    } cases[] = {
        {"Tarvell price journal", "Some other file", "line 1: not a price journal", "any CSV taken for a journal"},
        {",1,2,3,4,5,6\n", ",1,2,x,4,5,6\n", "line 7: 'x' is not a price", "text read as a price"},
        {",1,2,3,4,5,6\n", ",1,2,nan,4,5,6\n", "line 7: 'nan' is not a price", "nan written into PRODUCT"},
        {",1,2,3,4,5,6\n", ",1,2,inf,4,5,6\n", "line 7: 'inf' is not a price", "an infinite price"},
        {",1,2,3,4,5,6\n", ",1,2,-INF,4,5,6\n", "line 7: '-INF' is not a price", "a negative infinity in capitals"},
        {",1,2,3,4,5,6\n", ",1,2,1e300,4,5,6\n", "line 7: '1e300' is not a price", "a price beyond every column"},
        {",1,2,3,4,5,6\n", ",1,2,10000000000000,4,5,6\n", "line 7: '10000000000000' is not a price",
         "a price one past the columns' range"},
        {",1,2,3,4,5,6\n", ",1,2,0x1p3,4,5,6\n", "line 7: '0x1p3' is not a price", "a hexadecimal float"},
        {",1,2,3,4,5,6\n", ",1,2, 3,4,5,6\n", "line 7: ' 3' is not a price", "blanks around a price"},
        {",1,2,3,4,5,6\n", ",1,2,3,4,5\n", "line 7: a row has 14 fields, not 15", "a short row shifting columns"},
        {"written,0000000001", "written,0000000002", "line 8: the closing line's count '0000000002' is wrong",
         "a count past the rows"},
        {"written,0000000001", "written,1x", "line 8: the closing line's count '1x' is wrong", "a count with letters"},
        {"written,0000000001\n", "written,0000000001\nP2,5032\n", "line 9: text after the closing line",
         "rows after the close taken as written"},
        {"written,0000000001\n", "written,0000000001\nP2", "line 9: text after the closing line",
         "a torn line after the close"},
        {",5031,", ",50G1,", "line 7: '50G1' is not a product number in hexadecimal", "a product matched on text"},
        {"PROD_ID,PROD_ID bytes", "PROD_ID,PROD_ID hex", "line 6: expected the column titles",
         "a titles line that is not the journal's"},
        {"user,clerk\n", "", "line 4: expected the header line \"user,...\"", "a header line missing"},
        {"\ntime,", "\ntime,yesterday ", "line 3: the time 'yesterday ", "a time that orders nothing"},
        {"Z\nuser,", "Z\xEF\nuser,", "line 3: the time '", "a stray byte after the time"},
        {"Tarvell price journal,2", "Tarvell price journal,3", "line 1: journal version '3' is not known",
         "a later format read as this one"},
        {"source,write-back\n", "source,write-back\n" + QByteArray(70000, 'x') + "\n",
         "line 6: a line longer than 65536 bytes", "a huge line read into memory"},
    };
    for (const auto& damage : cases) {
        const QString damaged = fileWith(QByteArray(text).replace(damage.from, damage.to));
        try {
            journal::readJournal(damaged);
            ADD_FAILURE() << "accepted: " << damage.fault;
        } catch (const rt::AppError& error) {
            EXPECT_NE(std::string(error.what()).find(damage.message), std::string::npos)
                << damage.fault << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find("damaged.csv"), std::string::npos) << damage.fault;
        }
    }
}

// The titles line gone: the first row must not be taken for it and dropped.
TEST_F(PriceJournalTest, AJournalWithoutItsTitlesLineIsRefused) {
    const QString good = writeJournal({{"P1", "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})},
                                       {"P2", "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})}},
                                      2);
    QByteArray text = contentsOf(good);
    const qsizetype titles = text.indexOf("PROD_ID,");
    text.remove(titles, text.indexOf('\n', titles) + 1 - titles);
    EXPECT_THROW(journal::readJournal(fileWith(text)), rt::AppError);
}

// A line counts only with its line end: a journal cut inside its last line
// is unfinished, whatever the cut left of a count.
TEST_F(PriceJournalTest, ATornLastLineIsLeftOutAndTheJournalIsUnfinished) {
    std::vector<journal::JournalEntry> entries;
    for (const char* id : {"P1", "P2", "P3"}) entries.push_back({id, "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})});
    const QByteArray whole = contentsOf(writeJournal(entries, 3));
    const QByteArray rows = whole.left(whole.indexOf("written,"));
    const struct {
        QByteArray text;
        std::size_t entries;
        std::optional<std::size_t> written;
        bool torn;
        const char* fault;
    } cases[] = {
        {whole, 3, 3, false, "a whole journal read wrongly"},
        {whole.chopped(1), 3, std::nullopt, true, "a count without its line end taken as complete"},
        {rows + "written,00000", 3, std::nullopt, true, "a cut count taken as the rows written"},
        {rows + "written,3", 3, std::nullopt, true, "a landed journal's count cut from 300 to 3"},
        {rows + "written,unfinished\n", 3, std::nullopt, false, "the reserved closing line taken as a count"},
        {rows.chopped(10), 2, std::nullopt, true, "a row cut short read with wrong prices"},
        {rows + "written,3\n", 3, 3, false, "a landed journal's closing line refused"},
    };
    for (const auto& c : cases) {
        const journal::Journal journal = journal::readJournal(fileWith(c.text));
        EXPECT_EQ(journal.entries.size(), c.entries) << c.fault;
        EXPECT_EQ(journal.written, c.written) << c.fault;
        EXPECT_EQ(journal.torn, c.torn) << c.fault;
    }
}

// Files that are no journal must be refused quickly and without reading
// them whole: a FIFO would block the open, /dev/zero never ends.
TEST_F(PriceJournalTest, FilesThatAreNoJournalAreRefusedWithinSeconds) {
    const QString fifo = QDir(folder.path()).filePath(QStringLiteral("fifo.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zeroLink = QDir(folder.path()).filePath(QStringLiteral("zero.csv"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zeroLink));
    // 200 MB that are not a journal, and 200 MB of one endless line after a
    // journal's first words; both sparse, so the test costs no disk.
    const QString large = QDir(folder.path()).filePath(QStringLiteral("large.csv"));
    const QString endless = QDir(folder.path()).filePath(QStringLiteral("endless.csv"));
    for (const auto& [path, start] : {std::pair{large, QByteArray("PK\x03\x04")},
                                      std::pair{endless, QByteArray("Tarvell price journal,2")}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(start);
        ASSERT_TRUE(file.resize(200 * 1024 * 1024));
    }
    const struct {
        QString path;
        const char* message;
        const char* fault;
    } cases[] = {
        {fifo, "not a regular file", "a FIFO hangs the open"},
        {QStringLiteral("/dev/zero"), "not a regular file", "a device read until memory runs out"},
        {zeroLink, "not a regular file", "a link to a device taken for a journal"},
        {folder.path(), "not a regular file", "a folder read as a journal"},
        {large, "line 1: not a price journal", "a large file read whole before its header is checked"},
        {endless, "a line longer than", "an endless first line read into memory"},
    };
    for (const auto& c : cases) {
        auto outcome = std::make_shared<std::promise<std::string>>();
        std::thread([path = c.path, outcome] {
            try {
                journal::readJournal(path);
                outcome->set_value("accepted");
            } catch (const std::exception& error) {
                outcome->set_value(error.what());
            }
        }).detach();
        std::future<std::string> message = outcome->get_future();
        if (message.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << c.fault << ": still reading after 10 s";
            continue;
        }
        EXPECT_NE(message.get().find(c.message), std::string::npos) << c.fault;
    }
}

// Text cells a spreadsheet would run as formulas are kept as text, and
// come back as they were; prices stay plain numbers.
TEST_F(PriceJournalTest, TextCellsNeverStartAFormula) {
    journal::JournalHeader formula = header();
    formula.database = QStringLiteral("=cmd|' /C calc'!A0");
    formula.user = QStringLiteral("@user");
    const std::vector<journal::JournalEntry> entries = {
        {"=1+2", "+SUM(A1)", sixOf({-1.0, 2.0, 3.0, 4.0, 5.0, 6.0}), sixOf({-7.0, 1.0, 1.0, 1.0, 1.0, 1.0})},
        {"-5", "\tTab", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})},
        {"'q", "\rCR", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})},
        {"A=1", "plain", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})},
    };
    journal::TJournalWriter writer(folder.path(), formula);
    for (const auto& entry : entries) writer.addEntry(entry);
    writer.close(entries.size());
    const QByteArray text = contentsOf(writer.path());
    for (const char* cell : {"database,'=cmd", "user,'@user", "\n'=1+2,3D312B32,'+SUM(A1),-1,2,3,4,5,6,-7,1,",
                             "\n'-5,2D35,'\tTab,missing", "\n'\\'q,2771,\"'\rCR\",", "\nA=1,413D31,plain,"})
        EXPECT_TRUE(text.contains(QByteArray(cell).replace("\\'", "'"))) << cell << "\n" << text.toStdString();
    const journal::Journal journal = journal::readJournal(writer.path());
    EXPECT_EQ(journal.header.database, formula.database);
    EXPECT_EQ(journal.header.user, formula.user);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(journal.entries[i].productId, entries[i].productId) << i;
        EXPECT_EQ(journal.entries[i].productName, entries[i].productName) << i;
    }
}

// The writer refuses what the reader would refuse: a journal it writes can
// always be reverted.
TEST_F(PriceJournalTest, PricesNoJournalCanHoldAreRefusedBeforeTheyAreWritten) {
    const double cases[] = {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e13, -1e300};
    for (const double price : cases) {
        journal::TJournalWriter writer(folder.path(), header());
        EXPECT_THROW(writer.addEntry({"P1", "", std::nullopt, sixOf({1.0, 2.0, price, 4.0, 5.0, 6.0})}), rt::AppError)
            << price;
        writer.discard();
    }
}

TEST_F(PriceJournalTest, FilesAreNamedByTimeAndListedNewestFirst) {
    // Begun within the same millisecond, the second takes the next one.
    journal::JournalHeader same = header();
    same.time = QDateTime(QDate(2026, 12, 8), QTime(17, 45, 1, 123), Qt::UTC);
    const QString first = journal::TJournalWriter(folder.path(), same).path();
    const QString second = journal::TJournalWriter(folder.path(), same).path();
    const QString third = writeJournal({}, 0);
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("20261208-174501-123.csv"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("20261208-174501-124.csv"));
    EXPECT_EQ(journal::journalFiles(folder.path()), (QStringList{third, second, first}));
}

TEST_F(PriceJournalTest, AFolderThatCannotBeMadeStopsTheJournal) {
    QFile blocker(QDir(folder.path()).filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        journal::TJournalWriter(blocker.fileName() + QStringLiteral("/journals"), header());
        FAIL() << "a journal begun in a folder that cannot exist";
    } catch (const rt::AppError& error) {
        EXPECT_NE(std::string(error.what()).find("Not a directory"), std::string::npos) << error.what();
    }
}

// The umask of the whole test program, set for one test and put back.
class Umask {
public:
    explicit Umask(mode_t mask) : before_(::umask(mask)) {}
    ~Umask() { ::umask(before_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t before_;
};

mode_t modeOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0) << path.toStdString();
    return status.st_mode & 07777;
}

class JournalModeTest : public testing::TestWithParam<mode_t> {
protected:
    QTemporaryDir home;
};

// The folder the journal makes (and the one below it that it makes too)
// and every journal are the owner's alone, whatever the umask leaves.
TEST_P(JournalModeTest, FolderAndJournalsAreTheOwnersAlone) {
    const Umask mask(GetParam());
    const QString folder = QDir(home.path()).filePath(QStringLiteral("share/Tarvell/journals"));
    const QString first = journal::TJournalWriter(folder, header()).path();
    journal::TJournalWriter second(folder, header());
    second.close(0);
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    EXPECT_EQ(modeOf(first), mode_t(0600));
    EXPECT_EQ(modeOf(second.path()), mode_t(0600));
    // A journal the owner can still read back and list.
    EXPECT_EQ(journal::readJournal(second.path()).written, std::optional<std::size_t>(0));
    EXPECT_EQ(journal::journalFiles(folder).size(), 2);
    EXPECT_EQ(journal::journalFolderNote(folder), std::nullopt);
}

// A folder that was there already keeps its rights, and the note names it;
// the journals in it are private all the same.
TEST_P(JournalModeTest, AnExistingWiderFolderIsLeftAsItIsWithANote) {
    const Umask mask(GetParam());
    const QString folder = QDir(home.path()).filePath(QStringLiteral("journals"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const mode_t wider : {mode_t(0755), mode_t(0750), mode_t(0701)}) {
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), wider), 0);
        journal::TJournalWriter writer(folder, header());
        writer.close(0);
        EXPECT_EQ(modeOf(folder), wider);
        EXPECT_EQ(modeOf(writer.path()), mode_t(0600));
        const std::optional<QString> note = journal::journalFolderNote(folder);
        ASSERT_TRUE(note.has_value()) << std::oct << wider;
        EXPECT_TRUE(note->contains(folder)) << note->toStdString();
        EXPECT_TRUE(note->contains(QStringLiteral("mode 0") + QString::number(wider, 8))) << note->toStdString();
        EXPECT_TRUE(note->contains(QStringLiteral("chmod 700"))) << note->toStdString();
    }
    // A private one, or none at all, gets no note.
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    EXPECT_EQ(journal::journalFolderNote(folder), std::nullopt);
    EXPECT_EQ(journal::journalFolderNote(folder + QStringLiteral("/none")), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Umasks, JournalModeTest, testing::Values(mode_t(000), mode_t(022), mode_t(077)),
                         [](const testing::TestParamInfo<mode_t>& info) {
                             return "umask0" + std::to_string(info.param >> 6) + std::to_string((info.param >> 3) & 7) +
                                    std::to_string(info.param & 7);
                         });

}  // namespace
}  // namespace batch
