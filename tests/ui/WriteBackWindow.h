// The window on a database of many priced products behind a Firebird
// server, for the tests that watch a write-back while it runs: the boxes it
// puts up are answered and kept, its progress dialog found, the event loop's
// longest pause measured, and steps run every 20 ms while the write-back
// goes on.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DataLinkStore.h"
#include "DirectClient.h"
#include "FrmTarvell.h"
#include "JournalSettings.h"
#include "LocalServer.h"
#include "PriceJournal.h"
#include "SpeedButton.h"
#include "EventLoopWatch.h"
#include "PointOfSaleSchema.h"
#include "TestDatabase.h"
#include "WorkTablePriceRows.h"
#include "WriteBackDialog.h"

namespace testsupport {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The program's settings and journals in a folder of the test program's own,
// set before anything reads them (the settings' location is fixed at first
// use), so that tests running at the same time never share them.
struct PrivateSettingsFolders {
    PrivateSettingsFolders() {
        char pattern[] = "/tmp/tarvell-write-back-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        folder = pattern;
        setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
    }
    ~PrivateSettingsFolders() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string folder;
};

// Answers Yes to the confirmation and OK to every other box, keeping their
// texts; onBox sees a box first and may answer it itself (returns true).
class BoxWatch {
public:
    BoxWatch() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }
    std::function<bool(QMessageBox&)> onBox;
    QStringList texts;  // every box but the confirmation

private:
    void look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == seen_) return;
        seen_ = box;
        const bool confirmation = box->windowTitle() == QStringLiteral("Confirm");
        if (!confirmation) texts << box->text();
        if (onBox && onBox(*box)) return;
        for (QAbstractButton* button : box->buttons())
            if (!confirmation || button->text() == QStringLiteral("&Yes")) return button->click();
    }
    QTimer timer_;
    QPointer<QMessageBox> seen_;
};

inline ui::TWriteBackDialog* progressDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<ui::TWriteBackDialog*>(widget); dialog && dialog->isVisible()) return dialog;
    return nullptr;
}

inline QString dialogText(const char* label) {
    ui::TWriteBackDialog* dialog = progressDialog();
    return dialog ? dialog->findChild<QLabel*>(QString::fromLatin1(label))->text() : QString();
}

inline void pressCancel() {
    if (ui::TWriteBackDialog* dialog = progressDialog())
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
}

inline std::string productId(int number) {
    char id[16];
    std::snprintf(id, sizeof id, "P%04d", number);
    return id;
}

class WriteBackWindowTest : public testing::Test {
protected:
    // ownServer: a server of the test's own, which it may freeze or stop.
    void startWindow(int products, bool ownServer) {
        if (ownServer) {
            own = OwnServer::startIfPossible();
            if (!own) GTEST_SKIP() << LocalServer::kSkipReason;
            server = own->server();
        } else {
            const auto shared = LocalServer::fromEnvironment();
            if (!shared) GTEST_SKIP() << LocalServer::kSkipReason;
            server = *shared;
        }
        database.execute({
            kSubCategoryTable,
            kProductTable,
            "INSERT INTO PROD_ITEM VALUES ('A1', 'Drinks', 15, 10, 20, 30, 40, 50)",
        });
        {
            DirectClient client(database.path());
            auto insert = client.prepare(
                "INSERT INTO PRODUCT (PROD_ID, PROD_NAME, STD_COST, PD_ITEMID) VALUES (?, ?, 100, 'A1')");
            for (int number = 1; number <= products; ++number)
                insert.execute({rt::FieldValue::text(productId(number)),
                                rt::FieldValue::text("Item " + productId(number).substr(1))});
        }
        address = database.serverName(server.address());
        ConfigurationFiles files;
        files.database = address;
        files.password = server.password;
        database.writeConfiguration(configuration.path().toStdString(), files);
        testsupport::DataLinkStore::pointAt(configuration.path());
        journals = journal::JournalSettings::load().folder;
        form = std::make_unique<TFormTarvell>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        view();
        ASSERT_EQ(form->CDS_PRODUCT.rowCount(), products);
        QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
    }

    void TearDown() override {
        script.stop();
        form.reset();
        if (own) own->resume();
        QApplication::processEvents();
    }

    // Presses "1.資料檢視" for A1, with step run as writeBack runs it.
    void view(const std::function<void()>& step = {}) {
        form->ComboBox1->setEditText(QStringLiteral("A1,Drinks"));
        press(form->SpeedButton1, step);
    }

    // Presses "3.成本回存" with step run every 20 ms until the handler has
    // ended (boxes included); returns when it has.
    void writeBack(const std::function<void()>& step = {}) { press(form->SpeedButton3, step); }

    void press(QWidget* button, const std::function<void()>& step) {
        script.stop();
        script.disconnect();
        script.setInterval(20);
        if (step) QObject::connect(&script, &QTimer::timeout, step);
        script.start();
        QTest::mouseClick(button, Qt::LeftButton);
        script.stop();
    }

    // The table's rows as the window's write-back sends them: a copy, so
    // that the worker never reads the table the grid shows.
    batch::TListedPriceRows tableRows() {
        batch::TWorkTablePriceRows table(form->CDS_PRODUCT);
        std::vector<batch::PriceRow> listed;
        for (table.first(); !table.eof(); table.next()) listed.push_back(table.current());
        return batch::TListedPriceRows(std::move(listed));
    }

    int pricedInDatabase() {
        DirectClient client(address, "SYSDBA", server.password);
        return static_cast<int>(
            client.select("SELECT COUNT(*) FROM PRODUCT WHERE SALE_PRICE IS NOT NULL").front()[0].toDouble());
    }

    std::optional<std::size_t> newestJournalCount() {
        const QStringList files = journal::journalFiles(journals);
        if (files.isEmpty()) return std::nullopt;
        return journal::readJournal(files.front()).written;
    }

    std::unique_ptr<OwnServer> own;
    LocalServer server;
    TestDatabase database;
    std::string address;
    QTemporaryDir configuration;
    QString journals;
    BoxWatch boxes;
    QTimer script;
    std::unique_ptr<TFormTarvell> form;
};

}  // namespace testsupport
