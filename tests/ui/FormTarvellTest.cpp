#include <QComboBox>
#include <QHeaderView>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "ConfigFileLocator.h"
#include "ScopeGuard.h"
#include "SpeedButton.h"
#include "WindowDriver.h"

namespace {

using FormTarvellTest = WindowTest;

TEST_F(FormTarvellTest, ControlsCarryTheirNamesTextsAndPlaces) {
    EXPECT_EQ(form->objectName(), "FormTarvell");
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("定價批次處理"));
    EXPECT_EQ(form->font().family(), QString::fromUtf8("細明體"));
    EXPECT_EQ(form->font().pixelSize(), 15);
    EXPECT_EQ(form->DBGrid1->font(), form->font());  // taken from the parent

    // The operator reads the top panel left to right: the selector's
    // label, the selector, then the four buttons in the order of their
    // numbers, none covering another, each showing its whole caption.
    auto* label = form->findChild<QLabel*>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("小類選擇"));
    QWidget* previous = label;
    for (const char* name : {"ComboBox1", "SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"}) {
        auto* control = form->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->parentWidget(), form->Panel1) << name;
        EXPECT_GT(control->x(), previous->geometry().right()) << name << " overlaps what stands before it";
        EXPECT_TRUE(form->Panel1->rect().contains(control->geometry())) << name << " leaves the panel";
        previous = control;
    }
    int number = 1;
    for (const QString& caption : {QString::fromUtf8("1.資料檢視"), QString::fromUtf8("2.價格計算"),
                                   QString::fromUtf8("3.成本回存"), QString::fromUtf8("4.離開")}) {
        auto* button = form->findChild<ui::TSpeedButton*>(QStringLiteral("SpeedButton%1").arg(number++));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), caption);
        EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(caption)) << "caption cut";
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    }
    auto* combo = form->findChild<QComboBox*>("ComboBox1");
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->maxVisibleItems(), 8);
    // The first show failed here: the selector is left empty, nothing chosen.
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_TRUE(combo->currentText().isEmpty());
    combo->addItem("A01,x");
    EXPECT_EQ(combo->view()->sizeHintForRow(0), 15);
    EXPECT_NE(form->findChild<QProgressBar*>("ProgressBar1"), nullptr);
    EXPECT_NE(form->findChild<QWidget*>("Panel2"), nullptr);
}

TEST_F(FormTarvellTest, PanelsKeepTheirHeightsAndTheGridTakesTheRest) {
    form->resize(813, 517);
    QApplication::processEvents();
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 0, 813, 41));
    EXPECT_EQ(form->DBGrid1->geometry(), QRect(0, 41, 813, 452));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 493, 813, 24));
    EXPECT_EQ(form->ProgressBar1->geometry(), QRect(1, 6, 811, 17));
    form->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->Panel1->height(), 41);
    EXPECT_EQ(form->Panel2->height(), 24);
    EXPECT_EQ(form->DBGrid1->geometry(), QRect(0, 41, 1000, 635));
    EXPECT_EQ(form->ProgressBar1->geometry(), QRect(1, 6, 998, 17));
}

TEST_F(FormTarvellTest, OuterSizeAndFirstPositionCentredOnTheDesktop) {
    EXPECT_EQ(form->frameGeometry().size(), QSize(821, 551));
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    EXPECT_EQ(form->frameGeometry().topLeft(),
              QPoint(std::max(0, (desktop.width() - 821) / 2), std::max(0, (desktop.height() - 551) / 2)));
    // Later showings do not centre again.
    form->move(10, 20);
    form->hide();
    form->show();
    QApplication::processEvents();
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(10, 20));
}

TEST_F(FormTarvellTest, GridStartsWithFifteenTitledColumnsOverTheEmptyTable) {
    QHeaderView* header = grid().horizontalHeader();
    ASSERT_EQ(header->count(), 15);
    EXPECT_EQ(grid().model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("商品編號"));
    EXPECT_EQ(grid().model()->headerData(5, Qt::Horizontal).toString(), QString::fromUtf8("大批獲利率"));
    EXPECT_EQ(grid().model()->headerData(14, Qt::Horizontal).toString(), QString::fromUtf8("會員價"));
    EXPECT_EQ(grid().columnWidth(0), 120);
    EXPECT_EQ(grid().columnWidth(1), 220);
    // A column without a width of its own shows its whole title and ten
    // digits, whichever is wider.
    const QFontMetrics metrics(grid().font());
    for (int column : {4, 9}) {
        const QString title = grid().model()->headerData(column, Qt::Horizontal).toString();
        EXPECT_GT(grid().columnWidth(column), metrics.horizontalAdvance(title)) << title.toStdString();
        EXPECT_GT(grid().columnWidth(column), metrics.horizontalAdvance(QStringLiteral("0000000000")));
    }
    EXPECT_GT(grid().columnWidth(4), grid().columnWidth(9)) << "the longer title widens its column";
    EXPECT_EQ(grid().verticalHeader()->width(), grid::TWorkTableGrid::kIndicatorWidth);
    EXPECT_TRUE(header->sectionsMovable());
    EXPECT_EQ(header->sectionResizeMode(3), QHeaderView::Interactive);
    EXPECT_TRUE(table().isEmpty());
}

TEST_F(FormTarvellTest, ReadOnlySwitchSetsTheFieldAndKeepsWidths) {
    grid().horizontalHeader()->resizeSection(1, 333);  // as if dragged by the operator
    std::vector<int> widths;
    for (int column = 0; column < 15; ++column) widths.push_back(grid().columnWidth(column));
    grid().setColumnReadOnly(0, true);
    grid().setColumnReadOnly(1, true);
    EXPECT_TRUE(table().field(0).readOnly());
    EXPECT_TRUE(table().field(1).readOnly());
    EXPECT_FALSE(table().field(2).readOnly());
    grid().setColumnReadOnly(0, false);
    EXPECT_FALSE(table().field(0).readOnly());
    QApplication::processEvents();
    for (int column = 0; column < 15; ++column)
        EXPECT_EQ(grid().columnWidth(column), widths[std::size_t(column)]) << "column " << column;
}

// Each data view switches the first two columns twice, re-laying the grid
// out; the widths the operator dragged stay, the program's own and the
// defaults stay where the operator left them alone.
TEST_F(FormTarvellTest, WidthsTheOperatorDraggedSurviveEveryReLayout) {
    QHeaderView* header = grid().horizontalHeader();
    header->resizeSection(1, 400);  // as if dragged by the operator
    header->resizeSection(3, 77);
    const int defaultWidth = grid().columnWidth(4);
    click(form->SpeedButton1);
    click(form->SpeedButton1);
    EXPECT_EQ(grid().columnWidth(0), 120);
    EXPECT_EQ(grid().columnWidth(1), 400);
    EXPECT_EQ(grid().columnWidth(3), 77);
    EXPECT_EQ(grid().columnWidth(4), defaultWidth);
}

TEST_F(FormTarvellTest, TabOrderStartsAtTheSelectorThenTheGrid) {
    form->ComboBox1->setFocus();
    QApplication::processEvents();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->DBGrid1);
}

// Each press runs the handler again, and the focus stays where it was.
TEST_F(FormTarvellTest, SpeedButtonsRunTheirHandlerAtEveryPressAndLeaveTheFocus) {
    table().append();
    table().setValue("STD_COST", rt::FieldValue(100.0));
    for (int tier = 1; tier <= product::kTierCount; ++tier) table().setValue(product::rateField(tier), rt::FieldValue(0));
    table().post();
    click(form->SpeedButton2);
    EXPECT_EQ(text(0, product::priceField(1)), "100");
    table().edit();
    table().setValue("STD_COST", rt::FieldValue(7.0));
    table().post();
    click(form->SpeedButton2);
    EXPECT_EQ(text(0, product::priceField(1)), "7");
    EXPECT_EQ(QApplication::focusWidget(), form->DBGrid1);
}

// The window's buttons leave the grid's cell editor open with its text, and
// so does the write-back's question while it is up.
TEST_F(FormTarvellTest, ClickingASpeedButtonLeavesTheCellEditorOpen) {
    appendProduct(table(), "A", rt::FieldValue(10.0), rt::FieldValue());
    table().first();
    QApplication::processEvents();
    grid().setCurrentIndex(grid().model()->index(0, product::STD_COST));
    type("55");
    QLineEdit* editor = grid().cellEditor();
    ASSERT_NE(editor, nullptr);
    click(form->SpeedButton1);
    EXPECT_EQ(grid().cellEditor(), editor);
    EXPECT_EQ(QApplication::focusWidget(), editor);
    EXPECT_EQ(editor->text(), "55");
    type("0");
    EXPECT_EQ(editor->text(), "550");
    // The write-back's question takes the focus while it is up; the editor
    // and its text stay.
    const auto confirmation = answerNextBoxWith("&No");
    click(form->SpeedButton3);
    EXPECT_TRUE(confirmation->seen);
    EXPECT_EQ(grid().cellEditor(), editor);
    EXPECT_EQ(editor->text(), "550");
}

// What the grid refuses while editing is shown the way the window shows
// every error, with its closing period.
TEST_F(FormTarvellTest, TheGridsEditErrorsAreShownAsTheWindowShowsErrors) {
    appendProduct(table(), "A", rt::FieldValue(10.0), rt::FieldValue());
    table().first();
    QApplication::processEvents();
    const struct {
        int column;
        QString typed;
        QString shown;
    } cases[] = {
        {product::STD_COST, QStringLiteral("1.2.3"), QStringLiteral("'1.2.3' is not a valid floating point value.")},
        {product::PROD_NAME, QString::fromUtf8("们"), QStringLiteral("Text holds a character that Big5 cannot store: U+4EEC.")},
    };
    for (const auto& c : cases) {
        grid().setCurrentIndex(grid().model()->index(0, c.column));
        type(c.typed);
        auto seen = answerNextBox(QMessageBox::Ok);
        key(Qt::Key_Down);
        ASSERT_TRUE(seen->seen) << c.typed.toStdString();
        EXPECT_EQ(seen->text, c.shown);
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
    }
}

TEST_F(FormTarvellTest, SelectorCompletesInlineIgnoringCaseAndNeverAddsTypedText) {
    form->ComboBox1->addItems({QString::fromUtf8("A01,飲料"), QString::fromUtf8("B02,零食")});
    form->ComboBox1->setCurrentIndex(-1);  // as the list is left after filling
    form->ComboBox1->setFocus();
    QApplication::processEvents();
    QTest::keyClicks(form->ComboBox1->lineEdit(), "b0");
    // The typed prefix, then the rest of the item selected.
    EXPECT_EQ(form->ComboBox1->currentText(), QString::fromUtf8("b02,零食"));
    EXPECT_EQ(form->ComboBox1->lineEdit()->selectedText(), QString::fromUtf8("2,零食"));
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1);
    QTest::keyClick(form->ComboBox1->lineEdit(), Qt::Key_Backspace);  // removes the tail
    EXPECT_EQ(form->ComboBox1->currentText(), "b0");
    QTest::keyClicks(form->ComboBox1->lineEdit(), "x");  // no match: simply typed
    EXPECT_EQ(form->ComboBox1->currentText(), "b0x");
    form->ComboBox1->setEditText("Z9,nothing");
    QTest::keyClick(form->ComboBox1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(form->ComboBox1->count(), 2);
    EXPECT_EQ(form->ComboBox1->currentText(), "Z9,nothing");
    // Text that matches an entry apart from letter case stays as typed, on
    // Enter and when the focus leaves.
    form->ComboBox1->setEditText(QString::fromUtf8("a01,飲料"));
    QTest::keyClick(form->ComboBox1->lineEdit(), Qt::Key_Return);
    form->DBGrid1->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(form->ComboBox1->currentText(), QString::fromUtf8("a01,飲料"));
}

TEST_F(FormTarvellTest, ExitButtonAndAltF4CloseTheWindowWithoutAQuestion) {
    table().append();
    table().setValue("STD_COST", rt::FieldValue(1.0));
    table().post();
    click(form->SpeedButton4);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    form->show();
    QApplication::setActiveWindow(form.get());
    form->DBGrid1->setFocus();
    QTest::keyClick(form.get(), Qt::Key_F4, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());
}

// The program's first start on a machine with no connections file: no
// value in either store, none beside the program. The box keeps the
// message every caller knows as its first line; the second names each place
// looked, in the order looked, the examples and the manual page.
TEST(FirstRunTest, WithNoConnectionsFileAnywhereTheBoxSaysWhereItLooked) {
    testsupport::DataLinkStore::clear();
    QFile::remove(testsupport::DataLinkStore::systemFilePath());
    const QTemporaryDir programFolder;
    db::ConfigFileLocator::setProgramFolder(programFolder.path());
    const rt::ScopeGuard executablesFolderAgain([] { db::ConfigFileLocator::setProgramFolder(QString()); });
    const QString besideProgram = programFolder.path() + QStringLiteral("/dlconnections.ini");

    auto firstShowError = answerNextBox(QMessageBox::Ok);
    TFormTarvell form;
    form.show();
    ASSERT_TRUE(firstShowError->seen);
    const QStringList lines = firstShowError->text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << firstShowError->text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Driver/Connection Registry File '") + besideProgram + QStringLiteral("' not found."));
    const QString& looked = lines[1];
    const qsizetype user = looked.indexOf(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kelvane/DataLink.conf"));
    const qsizetype system = looked.indexOf(qEnvironmentVariable("XDG_CONFIG_DIRS") + QStringLiteral("/Kelvane/DataLink.conf"));
    const qsizetype beside = looked.indexOf(besideProgram);
    EXPECT_TRUE(user >= 0 && system > user && beside > system) << looked.toStdString();
    EXPECT_TRUE(looked.contains(QStringLiteral("/usr/share/doc/tarvell/examples/"))) << looked.toStdString();
    EXPECT_TRUE(looked.contains(QStringLiteral("man tarvell"))) << looked.toStdString();
}

}  // namespace
