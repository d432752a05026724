#include "FrmTarvell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <utility>

#include "Big5Text.h"
#include "BusyCursor.h"
#include "DatabaseReadRunner.h"
#include "WorkTableGrid.h"
#include "Dialogs.h"
#include "ErrorDisplay.h"
#include "CurrentPriceReader.h"
#include "Errors.h"
#include "PriceCalculation.h"
#include "PriceHistoryWindow.h"
#include "PriceReview.h"
#include "PriceWriteBack.h"
#include "ProductStatements.h"
#include "ProgressBar.h"
#include "RowWaitWatch.h"
#include "ScopeGuard.h"
#include "SpeedButton.h"
#include "StorePushRunner.h"
#include "SubCategoryKey.h"
#include "SubCategoryLoader.h"
#include "ServerSettings.h"
#include "TerminationSignals.h"
#include "WorkTablePriceRows.h"
#include "WriteBackReport.h"
#include "WriteBackRunner.h"

namespace {

// The window's font has no Linux install; its Debian counterpart stands in
// under the same family name.
QFont windowFont() {
    static const bool substituted = [] {
        QFont::insertSubstitution(QStringLiteral("細明體"), QStringLiteral("AR PL UMing TW"));
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("細明體"));
    font.setPixelSize(15);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

QFrame* newPanel(const char* name, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setFocusPolicy(Qt::NoFocus);
    return panel;
}

// The selector's list rows are 15 pixels high.
class TFixedHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 15);
    }
};

ui::TSpeedButton* newSpeedButton(const char* name, const char* captionUtf8, QRect geometry, QWidget* parent) {
    auto* button = new ui::TSpeedButton(QString::fromUtf8(captionUtf8), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

// Whether a write-back's failure is a database error that lost its
// connection. The runner keeps only errors derived from std::exception.
bool lostConnection(const std::exception_ptr& failure) {
    if (!failure) return false;
    try {
        std::rethrow_exception(failure);
    } catch (const rt::DatabaseError& error) {
        return error.driverFailure().connectionLost;
    } catch (const std::exception&) {
        return false;
    }
}

// What the progress dialog says while the window reads.
QString readingText() { return QString::fromUtf8("讀取商品資料…"); }

// The question before the write-back. A termination signal while it is
// open answers No, so that nothing is written and the program can end as
// the signal asks; signal: the one that came, 0 for none.
ui::Answer askBeforeWriteBack(QWidget* window, const batch::TPriceReview& review, int& signal) {
    const ui::SignalInterception answerNo([&signal](int received) {
        if (signal == 0) signal = received;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            if (QAbstractButton* no = box->escapeButton()) no->click();
    });
    const ui::Answer answer = ui::askConfirmation(window, QString::fromUtf8("確認回存商品價格.  now?"),
                                                  {review.summaryText(), review.detailsText()});
    return signal != 0 ? ui::Answer::No : answer;
}

}  // namespace

TFormTarvell::TFormTarvell(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FormTarvell"));
    setWindowTitle(QString::fromUtf8("定價批次處理"));
    setFont(windowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    resize(kOuterWidth - 8, kOuterHeight - 34);  // until the real frame is known
    SQLConnection1.applyStoredProperties();
    ui::showBusyCursorWhileConnecting(SQLConnection1);
    createComponents();
    connectHandlers();
    ui::runHandler([this] { FormCreate(); });
}

TFormTarvell::~TFormTarvell() {
    // The grid is destroyed with the window's children, after the table.
    DBGrid1->setDataSet(nullptr);
    // No question about a stuck row is left running in the driver.
    ui::TRowWaitWatch::awaitQuestions();
}

void TFormTarvell::createComponents() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createTopPanel();
    DBGrid1 = new grid::TWorkTableGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSet(&CDS_PRODUCT);
    DBGrid1->setErrorHandler([](const std::exception& error) { ui::showError(error); });
    createBottomPanel();
    layout->addWidget(Panel1);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(Panel2);
    setTabOrder(ComboBox1, DBGrid1);
    ComboBox1->setFocus();
}

void TFormTarvell::createTopPanel() {
    Panel1 = newPanel("Panel1", this);
    Panel1->setFixedHeight(41);

    Label1 = new QLabel(QString::fromUtf8("小類選擇"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 16, 64, 15);

    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);  // completes inline, ignoring case
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // The text stays as typed: Qt would otherwise swap it, on Enter or when
    // the focus leaves, for the entry it matches apart from letter case, and
    // the data view would read another key than the one typed.
    QObject::disconnect(ComboBox1->lineEdit(), &QLineEdit::returnPressed, nullptr, nullptr);
    QObject::disconnect(ComboBox1->lineEdit(), &QLineEdit::editingFinished, nullptr, nullptr);
    ComboBox1->setMaxVisibleItems(8);
    ComboBox1->setItemDelegate(new TFixedHeightDelegate(ComboBox1));
    ComboBox1->setGeometry(96, 11, 145, 23);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QString());
    selectCompletedItem();

    SpeedButton1 = newSpeedButton("SpeedButton1", "1.資料檢視", QRect(248, 11, 90, 25), Panel1);
    SpeedButton2 = newSpeedButton("SpeedButton2", "2.價格計算", QRect(353, 11, 90, 25), Panel1);
    SpeedButton3 = newSpeedButton("SpeedButton3", "3.成本回存", QRect(458, 11, 90, 25), Panel1);
    SpeedButton4 = newSpeedButton("SpeedButton4", "4.離開", QRect(564, 11, 90, 25), Panel1);
}

// While typing, the item the text completes to becomes the selected one;
// the field keeps showing the typed prefix with the item's tail selected.
void TFormTarvell::selectCompletedItem() {
    QCompleter* completer = ComboBox1->completer();
    connect(completer, qOverload<const QString&>(&QCompleter::highlighted), this, [this](const QString& item) {
        QLineEdit* edit = ComboBox1->lineEdit();
        const int row = ComboBox1->findText(item, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (row < 0 || row == ComboBox1->currentIndex()) return;
        const QString shown = edit->text();
        const int start = edit->selectionStart();
        const int length = static_cast<int>(edit->selectedText().size());
        ComboBox1->setCurrentIndex(row);
        edit->setText(shown);
        if (start >= 0)
            edit->setSelection(start, length);
    });
}

void TFormTarvell::createBottomPanel() {
    Panel2 = newPanel("Panel2", this);
    Panel2->setFixedHeight(24);
    ProgressBar1 = new ui::TProgressBar(Panel2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    Panel2->installEventFilter(this);  // keeps the bar docked at its bottom
}

void TFormTarvell::connectHandlers() {
    const auto wire = [this](ui::TSpeedButton* button, void (TFormTarvell::*handler)()) {
        connect(button, &ui::TSpeedButton::clicked, this, [this, handler] {
            ui::runHandler([this, handler] { (this->*handler)(); });
            sinceLastHandler_.start();
        });
    };
    wire(SpeedButton1, &TFormTarvell::SpeedButton1Click);
    wire(SpeedButton2, &TFormTarvell::SpeedButton2Click);
    wire(SpeedButton3, &TFormTarvell::SpeedButton3Click);
    wire(SpeedButton4, &TFormTarvell::SpeedButton4Click);
    // Without a window manager nobody else turns Alt+F4 into a close.
    auto* altF4 = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_F4), this);
    connect(altF4, &QShortcut::activated, this, &QWidget::close);
    // The price history: a window of its own, which follows the journal
    // folder, so that a write-back here shows there as it is written.
    auto* history = new QShortcut(QKeySequence(Qt::Key_F9), this);
    connect(history, &QShortcut::activated, this, [this] { ui::runHandler([this] { ui::TPriceHistoryWindow::showFor(this); }); });
}

bool TFormTarvell::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel2 && event->type() == QEvent::Resize) {
        constexpr int kBarHeight = 17;
        ProgressBar1->setGeometry(1, Panel2->height() - 1 - kBarHeight, Panel2->width() - 2, kBarHeight);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- showing ----

void TFormTarvell::setVisible(bool visible) {
    if (visible && !shown_ && !isVisible()) {
        shown_ = true;
        // Shown for the first time: the show handler runs before the window
        // is centred and on screen.
        ui::runHandler([this] { FormShow(); });
        fitOuterSize();
        centreOnDesktop();
    }
    QWidget::setVisible(visible);
}

void TFormTarvell::centreOnDesktop() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect desktop = screen->virtualGeometry();
    const int left = std::max(0, (desktop.width() - kOuterWidth) / 2);
    const int top = std::max(0, (desktop.height() - kOuterHeight) / 2);
    move(desktop.left() + left, desktop.top() + top);
}

// The outer size is fixed; the client area is what the window manager's
// frame leaves of it, learnt once the frame is known (and again should the
// frame change).
void TFormTarvell::fitOuterSize() {
    if (isMaximized() || isFullScreen()) return;
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    if (frame == frame_) return;
    frame_ = frame;
    resize(kOuterWidth - frame.left() - frame.right(), kOuterHeight - frame.top() - frame.bottom());
}

bool TFormTarvell::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (shown_ && (event->type() == QEvent::Move || event->type() == QEvent::Show)) fitOuterSize();
    return handled;
}

// ---- handlers ----

void TFormTarvell::FormCreate() {
    product::defineProductTable(CDS_PRODUCT);
    DBGrid1->setColumnWidth(0, 120);
    DBGrid1->setColumnWidth(1, 220);
}

void TFormTarvell::FormShow() {
    // Adding the first entry selects it; the selector starts with empty
    // text and nothing selected, also when the read fails half way.
    const rt::ScopeGuard clearSelection([this] {
        ComboBox1->setCurrentIndex(-1);
        ComboBox1->setEditText(QString());
    });
    settings::applyServerSettings(SQLConnection1);
    ClientDataSet1.close();
    ClientDataSet1.setCommandText(std::string(catalog::kSubCategoryListSelect));
    ClientDataSet1.open();
    if (ClientDataSet1.recordCount() == 0) return;
    ClientDataSet1.first();
    while (!ClientDataSet1.eof()) {
        const std::string entry = ClientDataSet1.fields(0).asString() + "," + ClientDataSet1.fields(1).asString();
        // The entry's own bytes go with it: not every Big5 code comes back
        // the same from Unicode.
        ComboBox1->addItem(big5::toUnicode(entry), QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
        ClientDataSet1.next();
    }
}

// A server restarted while the window sat idle leaves a connection that
// fails its first statement; one round trip finds that out before anything
// is sent, and the statement then connects anew.
void TFormTarvell::replaceConnectionDeadWhileIdle() {
    if (sinceLastHandler_.isValid() && sinceLastHandler_.elapsed() < idleCheckAfter_.count()) return;
    SQLConnection1.disconnectIfDead();
}

// The statements run on a thread of their own, behind the progress dialog
// once they take a moment; the rows reach the grid here, on the window's
// thread, only once every read has ended. A cancelled data view appends
// nothing.
void TFormTarvell::SpeedButton1Click() {
    settings::applyServerSettings(SQLConnection1);
    lockProductColumns(false);
    // Locked again however the handler ends: an editable product number
    // would send its prices to another product at write-back. Nobody edits
    // meanwhile: the read keeps the operator's input out of the window.
    const rt::ScopeGuard relock([this] { lockProductColumns(true); });

    const std::string selected = selectorText();
    const std::string key = catalog::subCategoryKey(selected);
    catalog::TSubCategoryLoader loader(ClientDataSet1, SQLConnection1);
    std::optional<catalog::SubCategoryRead> read;
    ui::TDatabaseReadRunner runner(this, SQLConnection1);
    const bool ended = runner.run(readingText(), big5::toUnicode(key), [&] {
        replaceConnectionDeadWhileIdle();
        if (!selected.empty()) read = loader.read(key);
    });
    if (runner.stoppingSignal() != 0) return ui::endAfterSignal(runner.stoppingSignal());
    if (ended && read) loader.append(CDS_PRODUCT, *read);
}

// The selector's text as Big5: an entry of the list as it was read, text
// typed by the operator converted. Two entries may show the same text from
// different Big5 bytes (A2 CC and A4 51 both show as 十), so the chosen
// entry's own bytes go first.
std::string TFormTarvell::selectorText() const {
    const QString shown = ComboBox1->currentText();
    const int current = ComboBox1->currentIndex();
    const int entry = current >= 0 && ComboBox1->itemText(current) == shown
                          ? current
                          : ComboBox1->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0) {
        const QByteArray bytes = ComboBox1->itemData(entry).toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return big5::fromUnicode(shown);
}

void TFormTarvell::lockProductColumns(bool locked) {
    DBGrid1->setColumnReadOnly(0, locked);
    DBGrid1->setColumnReadOnly(1, locked);
}

void TFormTarvell::SpeedButton2Click() {
    ProgressBar1->setMaximum(CDS_PRODUCT.rowCount());
    ProgressBar1->setValue(0);
    // Moving to the first row finishes the grid's open editing and may drop
    // an untouched blank row at the end: the bar counts the rows that are
    // left to visit.
    CDS_PRODUCT.first();
    ProgressBar1->setMaximum(CDS_PRODUCT.rowCount());
    ui::TProgressStepper progress(*ProgressBar1);
    pricing::priceAllRows(CDS_PRODUCT, [&progress] { progress.step(); });
}

// The journal and the UPDATE loop live outside the window, on a thread of
// their own; the window asks the question and shows the end.
void TFormTarvell::SpeedButton3Click() {
    // A connection that died while the window sat idle is replaced before
    // the review reads the current prices, and again after the question,
    // which may have stayed open for minutes.
    const settings::ServerSettings server = settings::applyServerSettings(SQLConnection1);
    if (rowsInDoubt_) return settleRowsInDoubt();
    const std::optional<batch::TPriceReview> review = reviewBatch();
    if (!review) return;
    int signal = 0;
    const ui::Answer answer = askBeforeWriteBack(this, *review, signal);
    if (signal != 0) return ui::endAfterSignal(signal);
    if (answer != ui::Answer::Yes) return;
    batch::TListedPriceRows rows = priceRowsOfTable();
    ui::WriteBackTimes times;
    // The connection's own answer watch ends a row the server leaves
    // unanswered and says why; the runner's, a moment later, is there for a
    // driver without one.
    times.answerTimeout = server.answerTimeout + std::chrono::seconds(2);
    batch::TPriceWriteBack writeBack(SQLQuery1, journal::JournalSettings::load());
    // A server that takes no new connection within two seconds is taken as
    // not answering; the dialog's words are then no older than that.
    auto probe = std::make_shared<db::TRowWaitProbe>(SQLConnection1, std::chrono::seconds(2),
                                                        catalog::productRowSelect());
    ui::TWriteBackRunner runner(this, db::TConnectionInterrupt(), times, std::move(probe));
    std::exception_ptr failure;
    try {
        // The question may have stayed open for minutes: the connection is
        // checked, and made anew when it died meanwhile, on the worker.
        runner.run(writeBack, rows, {}, [this] {
            replaceConnectionDeadWhileIdle();
            SQLConnection1.open();
            return db::TConnectionInterrupt(SQLConnection1);
        });
    } catch (const std::exception&) {
        failure = std::current_exception();
    }
    showWriteBackEnd(runner, failure);
    // Only a batch written whole goes on to the stores.
    if (!failure && !runner.cancelled() && runner.stoppingSignal() == 0 && !writeBack.stopped())
        ui::offerStorePush(this, writeBack.journalPath());
}

// A stopped write-back leaves the row it stopped at current, tells what
// the database holds, and raises its error with that added; a signal ends
// the program without a word. Whatever stopped it, a batch whose every row
// the database answered as written is done.
void TFormTarvell::showWriteBackEnd(const ui::TWriteBackRunner& runner, std::exception_ptr failure) {
    batch::WriteBackEnd end = runner.end();
    end.connectionLost = lostConnection(failure) || runner.timedOut();
    rowsInDoubt_ = runner.rowsInDoubt();
    if (end.written < end.total && static_cast<int>(end.written) < CDS_PRODUCT.rowCount())
        CDS_PRODUCT.moveTo(static_cast<int>(end.written));
    if (runner.stoppingSignal() != 0) return ui::endAfterSignal(runner.stoppingSignal());
    if (!end.inDoubt && end.written == end.total) return ui::showMessage(QString::fromUtf8("回存完成"));
    if (runner.cancelled() && !runner.timedOut())
        return ui::showMessage(big5::toUnicode(batch::cancelledMessage(end)));
    if (!failure) {
        // The runner's own answer timeout closed the connection, and the
        // row in flight ended all the same: the rest was never sent.
        failure = std::make_exception_ptr(rt::AppError(
            std::string(dl::kNoAnswerText) + " in " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(runner.answerTimeout()).count()) +
            " seconds"));
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        rt::raiseWithMessage(error, batch::stoppedByErrorMessage(error.what(), end));
    }
}

// Reads what PRODUCT holds for the rows the last write-back left in doubt,
// gives its journal that count and tells it; a failure leaves them in
// doubt for the next press.
void TFormTarvell::settleRowsInDoubt() {
    // Read like the review's prices, on the worker behind the dialog: the
    // server that lost the commit may not answer yet either. Cancelled, the
    // rows stay in doubt for the next press.
    std::size_t written = 0;
    ui::TDatabaseReadRunner runner(this, SQLConnection1);
    const bool ended =
        runner.run(readingText(), QString::fromUtf8("查明上次回存中斷時不知是否寫入的 %1 筆").arg(rowsInDoubt_->rows.size()),
                   [&] {
                       SQLConnection1.open();
                       written = batch::settleRowsInDoubt(SQLConnection1, *rowsInDoubt_);
                   });
    if (runner.stoppingSignal() != 0) return ui::endAfterSignal(runner.stoppingSignal());
    if (!ended) return;
    const batch::RowsInDoubt settled = *std::exchange(rowsInDoubt_, std::nullopt);
    ui::showMessage(big5::toUnicode(batch::settledMessage(settled, written)));
}

// The batch as it will be written, beside the prices it was loaded with and
// those the database holds now. What the operator left open in the grid is
// finished first, so that the review counts what the write-back sends. The
// current prices are read on a thread of their own, from the numbers taken
// here; nothing when the read was cancelled or a signal stopped it.
std::optional<batch::TPriceReview> TFormTarvell::reviewBatch() {
    CDS_PRODUCT.checkBrowseMode();
    std::optional<batch::TPriceReview> review(std::in_place, CDS_PRODUCT);
    const std::vector<int> rows = review->rowsWithLoadedPrices();
    std::vector<std::string> productIds;
    productIds.reserve(rows.size());
    for (const int row : rows) productIds.push_back(CDS_PRODUCT.valueAt(row, product::PROD_ID).toString());
    std::vector<std::optional<product::TierPrices>> current;
    ui::TDatabaseReadRunner runner(this, SQLConnection1);
    const QString checked = QString::fromUtf8("回存前核對 %1 項商品的目前價格").arg(rows.size());
    const bool ended = runner.run(readingText(), checked, [&] {
        replaceConnectionDeadWhileIdle();
        if (productIds.empty()) return;
        catalog::TCurrentPriceReader currentPrices(SQLConnection1);
        current = currentPrices.readAll(productIds);
    });
    if (runner.stoppingSignal() != 0) {
        ui::endAfterSignal(runner.stoppingSignal());
        return std::nullopt;
    }
    if (!ended) return std::nullopt;
    if (!rows.empty()) review->compareWith(rows, current);
    return review;
}

// The rows as they stand when the operator confirms; moving to the first
// finishes the grid's open editing. The worker reads this copy, never the
// table the grid shows.
batch::TListedPriceRows TFormTarvell::priceRowsOfTable() {
    batch::TWorkTablePriceRows table(CDS_PRODUCT);
    std::vector<batch::PriceRow> rows;
    rows.reserve(static_cast<std::size_t>(CDS_PRODUCT.rowCount()));
    for (table.first(); !table.eof(); table.next()) rows.push_back(table.current());
    return batch::TListedPriceRows(std::move(rows));
}

void TFormTarvell::SpeedButton4Click() { close(); }
