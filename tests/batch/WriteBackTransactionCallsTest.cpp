// What only a recording driver shows about the write-back's transactions:
// in one transaction every UPDATE makes exactly the calls it makes row by
// row, between one start and one commit (or rollback) on the connection,
// and the journal's lookup reads inside it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>

#include "ProductStatements.h"
#include "Big5Text.h"
#include "DataLinkStore.h"
#include "Errors.h"
#include "PriceJournal.h"
#include "PriceWriteBack.h"
#include "CurrentPriceReader.h"
#include "RecordingDriver.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"

namespace batch {
namespace {

using rt::FieldValue;

const std::string kStart = "conn1.startTransaction()";
const std::string kCommit = "conn1.commitTransaction()";
const std::string kRollback = "conn1.rollbackTransaction()";

class WriteBackTransactionCalls : public testing::Test {
protected:
    void SetUp() override { testsupport::DataLinkStore::pointAtRecordingDriver(configuration.path()); }

    // The calls of one write-back of rows on a fresh connection; the price
    // lookup finds six prices for every product.
    std::vector<std::string> callsOfWriteBack(const std::vector<PriceRow>& rows, bool oneTransaction,
                                              std::string* failure = nullptr,
                                              const std::function<void(recording::Answers&)>& alsoAnswer = {}) {
        recording::reset();
        auto& answers = recording::answers();
        if (alsoAnswer) alsoAnswer(answers);
        answers.executeGivesCursor = true;
        // The batch read's one row: for each product asked, its number and
        // six prices.
        answers.rows.emplace_back();
        for (std::size_t part = 0; part < catalog::TCurrentPriceReader::kBatchReadChunk; ++part) {
            answers.columns.push_back({"PROD_ID", dl::ColumnType::Text});
            answers.rows[0].push_back("P");
            for (const char* column : catalog::kPriceParameters) answers.columns.push_back({column, dl::ColumnType::Double});
            for (const char* price : {"100", "110", "120", "130", "140", "150"}) answers.rows[0].push_back(price);
        }
        {
            db::TDataLinkConnection connection("SQLConnection1");
            connection.applyStoredProperties();
            db::TStatementService statement(connection);
            TListedPriceRows source(rows);
            TPriceWriteBack writeBack(statement, {true, journals.path(), nullptr}, {oneTransaction});
            try {
                writeBack.run(source, {});
            } catch (const rt::AppError& error) {
                if (!failure) throw;
                *failure = error.what();
            }
        }
        return recording::log();
    }

    static std::vector<PriceRow> rows(int count) {
        std::vector<PriceRow> result;
        for (int row = 0; row < count; ++row)
            result.push_back({"P" + std::to_string(row), "Item", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0 + row}});
        return result;
    }

    static std::vector<std::string> withoutTransactions(std::vector<std::string> calls) {
        calls.erase(std::remove_if(calls.begin(), calls.end(),
                                   [](const std::string& call) {
                                       return call == kStart || call == kCommit || call == kRollback;
                                   }),
                    calls.end());
        return calls;
    }
    static std::ptrdiff_t at(const std::vector<std::string>& calls, const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    }
    static std::ptrdiff_t firstContaining(const std::vector<std::string>& calls, const std::string& part) {
        return std::find_if(calls.begin(), calls.end(),
                            [&](const std::string& call) { return call.find(part) != std::string::npos; }) -
               calls.begin();
    }
    static std::ptrdiff_t lastContaining(const std::vector<std::string>& calls, const std::string& part) {
        for (std::size_t i = calls.size(); i-- > 0;)
            if (calls[i].find(part) != std::string::npos) return static_cast<std::ptrdiff_t>(i);
        return -1;
    }

    QTemporaryDir configuration;
    QTemporaryDir journals;
};

TEST_F(WriteBackTransactionCalls, OneTransactionMakesTheRowByRowCallsBetweenOneStartAndOneCommit) {
    const std::vector<std::string> rowByRow = callsOfWriteBack(rows(3), false);
    const std::vector<std::string> oneTransaction = callsOfWriteBack(rows(3), true);
    EXPECT_EQ(withoutTransactions(oneTransaction), withoutTransactions(rowByRow));

    // Row by row only the lookup is a transaction, ended before the first UPDATE.
    EXPECT_EQ(std::count(rowByRow.begin(), rowByRow.end(), kStart), 1);
    EXPECT_LT(at(rowByRow, kStart), firstContaining(rowByRow, ".prepare(SELECT"));
    EXPECT_LT(at(rowByRow, kCommit), firstContaining(rowByRow, ".prepare(UPDATE"));

    // In one transaction the lookup and every UPDATE are inside the one.
    EXPECT_EQ(std::count(oneTransaction.begin(), oneTransaction.end(), kStart), 1);
    EXPECT_EQ(std::count(oneTransaction.begin(), oneTransaction.end(), kCommit), 1);
    EXPECT_EQ(std::count(oneTransaction.begin(), oneTransaction.end(), kRollback), 0);
    EXPECT_LT(at(oneTransaction, kStart), firstContaining(oneTransaction, ".prepare(SELECT"));
    EXPECT_GT(at(oneTransaction, kCommit), lastContaining(oneTransaction, ".getRowsAffected()"));
    EXPECT_EQ(recording::liveObjects(), 0);
}

TEST_F(WriteBackTransactionCalls, AFailedRowRollsTheTransactionBackAndNeverCommits) {
    std::vector<PriceRow> batch = rows(3);
    batch[1].prices.setPrice(1, std::nullopt);  // refused before it reaches the driver
    std::string failure;
    const std::vector<std::string> calls = callsOfWriteBack(batch, true, &failure);
    EXPECT_EQ(failure, "No value for parameter 'SALE_PRICE'\r\n" +
                           big5::fromUtf8("回存失敗，整批已復原，沒有寫入任何價格。"));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), kCommit), 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), kRollback), 1);
    EXPECT_GT(at(calls, kRollback), lastContaining(calls, ".getRowsAffected()"));
}

// A driver that refuses the commit: nothing was written, and the journal
// says so.
TEST_F(WriteBackTransactionCalls, ARefusedCommitIsTheBatchsFailure) {
    std::string failure;
    const std::vector<std::string> calls =
        callsOfWriteBack(rows(2), true, &failure, [](recording::Answers& answers) {
            answers.results["commitTransaction"] = dl::status::SqlError;
            answers.errorText = "lock conflict on no wait transaction";
        });
    EXPECT_EQ(failure.rfind("DataLink Error: [0x0065]: SQL Error\r\nSQL Server Error: lock conflict on no wait "
                            "transaction\r\n",
                            0),
              0u)
        << failure;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), kCommit), 1);
    const QStringList files = journal::journalFiles(journals.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(journal::readJournal(files[0]).written, std::optional<std::size_t>(0));
}

}  // namespace
}  // namespace batch
