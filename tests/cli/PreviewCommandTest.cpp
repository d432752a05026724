// The program's --preview run as a child process without a display, on a
// real embedded database that it must leave exactly as it found it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "DirectClient.h"
#include "HeadlessProgram.h"
#include "ReviewDatabase.h"

namespace cli {
namespace {

using testsupport::ReviewDatabase;

using testsupport::DirectClient;
using testsupport::ProgramRun;

ProgramRun runProgram(const QStringList& arguments) { return testsupport::runHeadless(arguments, 120000); }

const char* const kTitles =
    "PROD_ID,PROD_NAME,STD_COST,D_PROFIT1,D_PROFIT2,D_PROFIT3,D_PROFIT4,D_PROFIT5,D_PROFIT6,"
    "old SALE_PRICE,new SALE_PRICE,change SALE_PRICE,old N_PRICE,new N_PRICE,change N_PRICE,"
    "old P_PRICE,new P_PRICE,change P_PRICE,old P_PRICE2,new P_PRICE2,change P_PRICE2,"
    "old PSALE_PRICE,new PSALE_PRICE,change PSALE_PRICE,old VIP_PRICE,new VIP_PRICE,change VIP_PRICE\n";

class PreviewCommandTest : public testing::Test {
protected:
    // Everything both tables hold, row by row, as text.
    std::vector<std::string> everything() {
        DirectClient client(db.database.path());
        std::vector<std::string> lines;
        for (const char* sql : {"SELECT * FROM PROD_ITEM ORDER BY PD_ITEMID", "SELECT * FROM PRODUCT ORDER BY PROD_ID"})
            for (const auto& row : client.select(sql)) {
                std::string line;
                for (const rt::FieldValue& value : row) line += (value.isNull() ? "<null>" : value.toString()) + "|";
                lines.push_back(line);
            }
        return lines;
    }

    ReviewDatabase db;
};

TEST_F(PreviewCommandTest, PreviewGivesEveryRowsOldAndNewPricesAndWritesNothing) {
    db.addSubCategory("A1", "10, 10, 15, 0, -100, 12.5");
    db.addSubCategory("B2", "1, 1, 1, 1, 1, 1");
    db.addProduct("P100", "Tea", "100", "A1", "110, 111, 100, 100, 0, 120");
    db.addProduct("P50", "Milk, fresh", "50", "A1", "NULL, NULL, NULL, NULL, NULL, NULL");
    db.addProduct("P90", "Soda", "90", "A1", "99, 99, 99, 99, 99, 99");
    db.addProduct("PNULL", "Water", "NULL", "A1", "1, 1, 1, 1, 1, 1");
    db.addProduct(std::string(25, '7'), "Long", "10", "A1", "1, 2, 3, 4, 5, 6");
    db.addProduct("Q1", "Other", "10", "B2", "1, 1, 1, 1, 1, 1");
    const std::vector<std::string> before = everything();

    const ProgramRun run = runProgram({QStringLiteral("--preview"), QStringLiteral("A1")});
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    // 100, 50 and 90 at 10% are the rule's traps: 110, 55 and 99, not one more.
    const QByteArray expected =
        QByteArray(kTitles) +
        "P100,Tea,100,10,10,15,0,-100,12.5,110,110,,111,110,-0.9%,100,115,+15.0%,100,100,,0,0,,120,113,-5.8%\n"
        "P50,\"Milk, fresh\",50,10,10,15,0,-100,12.5,,55,,,55,,,58,,,50,,,0,,,57,\n"
        "P90,Soda,90,10,10,15,0,-100,12.5,99,99,,99,99,,99,104,+5.1%,99,90,-9.1%,99,0,-100.0%,99,102,+3.0%\n"
        "PNULL,Water,,10,10,15,0,-100,12.5,1,,,1,,,1,,,1,,,1,,,1,,\n"
        "77777777777777777777,Long,10,10,10,15,0,-100,12.5,"
        "missing,11,,missing,11,,missing,12,,missing,10,,missing,0,,missing,12,\n"
        "summary,rows,5,raised,3,lowered,4,unchanged,5,below cost,4,never computed,6,no old price,12\n";
    EXPECT_EQ(run.output.toStdString(), expected.toStdString());
    EXPECT_EQ(run.errors,
              QStringLiteral("Tarvell: not priced: PNULL: Could not convert variant of type (Null) into type (Double)\n"));
    EXPECT_EQ(everything(), before);
}

TEST_F(PreviewCommandTest, UnknownKeyGivesAnEmptyPreviewANoteAndStatusOne) {
    db.addSubCategory("A1", "10, 10, 10, 10, 10, 10");
    db.addProduct("P1", "Tea", "100", "A1", "1, 1, 1, 1, 1, 1");
    const std::vector<std::string> before = everything();
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("preview.csv"));

    const ProgramRun run = runProgram({QStringLiteral("--preview"), QStringLiteral("Z9"), QStringLiteral("--output"), file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, QStringLiteral("Tarvell: no sub-category 'Z9' in PROD_ITEM; nothing to preview for it\n"));
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(),
              std::string(kTitles) +
                  "summary,rows,0,raised,0,lowered,0,unchanged,0,below cost,0,never computed,0,no old price,0\n");
    EXPECT_EQ(everything(), before);
}

}  // namespace
}  // namespace cli
