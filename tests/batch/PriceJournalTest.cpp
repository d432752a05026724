// The journal file on its own: what goes in comes back byte for byte and
// number for number, and a damaged file is refused with its line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "Errors.h"
#include "PriceJournal.h"
#include "PriceRevert.h"

namespace batch {
namespace {

using rt::FieldValue;

Prices sixOf(std::initializer_list<FieldValue> values) {
    Prices prices;
    std::copy(values.begin(), values.end(), prices.begin());
    return prices;
}

JournalHeader header() {
    return {QStringLiteral("db-host:/srv/POSDATA.FDB"), QDateTime::currentDateTimeUtc(), QStringLiteral("clerk"),
            QStringLiteral("write-back")};
}

class PriceJournalTest : public testing::Test {
protected:
    QString writeJournal(const std::vector<JournalEntry>& entries, std::optional<std::size_t> written) {
        TJournalWriter writer(folder.path(), header());
        for (const auto& entry : entries) writer.addEntry(entry);
        if (written) writer.close(*written); else writer.sync();
        return writer.path();
    }
    QTemporaryDir folder;
};

TEST_F(PriceJournalTest, EveryRowComesBackExactly) {
    const double maxPrice = 2147483647, minPrice = -2147483648.0;
    const std::vector<JournalEntry> entries = {
        // A2 CC shows as the same character as A4 51 and comes back from
        // Unicode as A4 51; a lone lead byte is no character at all.
        {"K\xA2\xCC", "\xAF\xF3 \"quoted\", with comma", sixOf({100.0, 110.0, 12.34, FieldValue(), 0.1, minPrice}),
         sixOf({115.0, 121.0, 13.0, 1.0, maxPrice, -9.0})},
        {std::string("A\x81", 2), "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})},
        {"P3", "line\nbreak", sixOf({FieldValue(), FieldValue(), FieldValue(), FieldValue(), FieldValue(), FieldValue()}),
         sixOf({FieldValue(), 2.5, 1e15, 3.0, 4.0, 5.0})},
    };
    const Journal journal = readJournal(writeJournal(entries, 2));
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
    EXPECT_EQ(lines[7], QStringLiteral("written,1"));
}

TEST_F(PriceJournalTest, WithoutItsClosingLineTheJournalIsUnfinished) {
    const Journal journal = readJournal(writeJournal({{"P1", "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})}},
                                                     std::nullopt));
    EXPECT_EQ(journal.entries.size(), 1u);
    EXPECT_FALSE(journal.written.has_value());
}

TEST_F(PriceJournalTest, DamagedFilesAreRefusedWithTheirLine) {
    const QString good = writeJournal({{"P1", "", std::nullopt, sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0})}}, 1);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    file.close();
    const struct {
        QByteArray from, to;
        const char* message;
    } cases[] = {
        {"Tarvell price journal", "Some other file", "line 1: not a price journal"},
        {",1,2,3,4,5,6\n", ",1,2,x,4,5,6\n", "line 7: 'x' is not a price"},
        {",1,2,3,4,5,6\n", ",1,2,3,4,5\n", "line 7: a row has 14 fields, not 15"},
        {"written,1", "written,2", "line 8: the closing line's count is wrong"},
        {"written,1\n", "written,1\nP2,5032\n", "line 9: text after the closing line"},
        {",5031,", ",50G1,", "line 7: '50G1' is not a product number in hexadecimal"},
    };
    for (const auto& damage : cases) {
        QFile damaged(QDir(folder.path()).filePath(QStringLiteral("damaged.csv")));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(text).replace(damage.from, damage.to));
        damaged.close();
        try {
            readJournal(damaged.fileName());
            ADD_FAILURE() << "accepted: " << damage.message;
        } catch (const rt::AppError& error) {
            EXPECT_NE(std::string(error.what()).find(damage.message), std::string::npos) << error.what();
        }
    }
}

TEST_F(PriceJournalTest, FilesAreNamedByTimeAndListedNewestFirst) {
    // Begun within the same millisecond, the second takes the next one.
    JournalHeader same = header();
    same.time = QDateTime(QDate(2026, 12, 8), QTime(17, 45, 1, 123), Qt::UTC);
    const QString first = TJournalWriter(folder.path(), same).path();
    const QString second = TJournalWriter(folder.path(), same).path();
    const QString third = writeJournal({}, 0);
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("20261208-174501-123.csv"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("20261208-174501-124.csv"));
    EXPECT_EQ(journalFiles(folder.path()), (QStringList{third, second, first}));
}

TEST_F(PriceJournalTest, AFolderThatCannotBeMadeStopsTheJournal) {
    QFile blocker(QDir(folder.path()).filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(TJournalWriter(blocker.fileName() + QStringLiteral("/journals"), header()), rt::AppError);
}

TEST(SamePrices, AgreeToTheCentAndNullOnlyWithNull) {
    const struct {
        FieldValue left, right;
        bool same;
    } cases[] = {
        {115.0, 115.0, true},         {115.0, 116.0, false},   {12.345, 12.35, true},
        {12.34, 12.35, false},        {FieldValue(), FieldValue(), true}, {FieldValue(), 0.0, false},
        {2147483647.0, 2147483646.0, false},
    };
    for (const auto& c : cases) {
        Prices left = sixOf({1.0, 2.0, 3.0, 4.0, 5.0, 6.0}), right = left;
        left[3] = c.left;
        right[3] = c.right;
        EXPECT_EQ(samePrices(left, right), c.same) << c.left.toString() << " / " << c.right.toString();
    }
}

}  // namespace
}  // namespace batch
