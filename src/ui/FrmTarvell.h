// FormTarvell: the price batch window. It owns every component for its
// whole life; each handler is one method named after its component and
// event, and calls into the work table and the price rule.
#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <array>
#include <chrono>
#include <exception>
#include <optional>
#include <QWidget>

#include "PriceReview.h"
#include "ReadService.h"
#include "ResultProvider.h"
#include "PriceRows.h"
#include "RowsInDoubt.h"
#include "ProductWorkTable.h"
#include "ServerQuery.h"
#include "StatementService.h"
#include "TDataLinkConnection.h"

class QComboBox;
class QFrame;
class QLabel;
namespace grid {
class TWorkTableGrid;
}  // namespace grid
namespace ui {
class TProgressBar;
class TSpeedButton;
class TWriteBackRunner;
}  // namespace ui

class TFormTarvell : public QWidget {
    Q_OBJECT
public:
    // Outer size, window frame included; the client area is what is left
    // inside the frame (813 by 517 with the design frame).
    static constexpr int kOuterWidth = 821;
    static constexpr int kOuterHeight = 551;
    // How long the window must have sat without a handler before a handler
    // checks that the connection is still alive: within it the connection
    // was just used, and the check would cost a round trip for nothing.
    static constexpr std::chrono::milliseconds kIdleCheckAfter{5000};

    explicit TFormTarvell(QWidget* parent = nullptr);
    ~TFormTarvell() override;

    // Components, in their parent order.
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    ui::TSpeedButton* SpeedButton1 = nullptr;
    ui::TSpeedButton* SpeedButton2 = nullptr;
    ui::TSpeedButton* SpeedButton3 = nullptr;
    ui::TSpeedButton* SpeedButton4 = nullptr;
    grid::TWorkTableGrid* DBGrid1 = nullptr;
    QFrame* Panel2 = nullptr;
    ui::TProgressBar* ProgressBar1 = nullptr;

    // The database components. The connection comes first so that it goes
    // last, after every dataset bound to it.
    db::TDataLinkConnection SQLConnection1{"SQLConnection1"};
    db::TServerQuery SQLDataSet1{SQLConnection1};
    db::TResultProvider DataSetProvider1{SQLDataSet1};
    db::TReadService ClientDataSet1{DataSetProvider1};  // DataSource1 reads it; no control does
    db::TStatementService SQLQuery1{SQLConnection1};

    // The product work table; DBGrid1 is bound to it (DataSource2).
    TProductWorkTable CDS_PRODUCT;

    void setVisible(bool visible) override;
    // Tests set it shorter, so that a test of an idle window need not sit
    // idle that long.
    void setIdleCheckAfter(std::chrono::milliseconds idle) { idleCheckAfter_ = idle; }

public slots:
    void FormCreate();
    void FormShow();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createComponents();
    void createTopPanel();
    void createBottomPanel();
    void selectCompletedItem();
    std::string selectorText() const;
    void lockProductColumns(bool locked);
    std::optional<batch::TPriceReview> reviewBatch();
    void connectHandlers();
    void centreOnDesktop();
    void fitOuterSize();
    void replaceConnectionDeadWhileIdle();
    batch::TListedPriceRows priceRowsOfTable();
    void showWriteBackEnd(const ui::TWriteBackRunner& runner, std::exception_ptr failure);
    void settleRowsInDoubt();

    bool shown_ = false;
    QMargins frame_{-1, -1, -1, -1};
    // Since the last handler ended; invalid before the first.
    QElapsedTimer sinceLastHandler_;
    std::chrono::milliseconds idleCheckAfter_ = kIdleCheckAfter;
    // The last write-back's rows whose commit got no answer and could not be
    // read since; looked at first by the next "3.成本回存".
    std::optional<batch::RowsInDoubt> rowsInDoubt_;
};
