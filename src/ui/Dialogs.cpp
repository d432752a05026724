#include "Dialogs.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "ErrorDisplay.h"

namespace ui {

namespace {

// QMessageBox turns the close box into its escape button; here the close box
// has an answer of its own.
class TConfirmationBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedByCloseBox() const { return closedByCloseBox_; }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (!clickedButton()) closedByCloseBox_ = true;
        QMessageBox::closeEvent(event);
    }

private:
    bool closedByCloseBox_ = false;
};

// The box's own details come with a "Show Details..." button, a third
// button the question must not have; the details area stands under the
// buttons where the box would put its own, always open.
void addDetails(QMessageBox& box, const QString& details) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (details.isEmpty() || !grid) return;
    auto* area = new QPlainTextEdit(details, &box);
    area->setObjectName(QString::fromLatin1(kConfirmationDetailsName));
    area->setReadOnly(true);
    area->setFocusPolicy(Qt::NoFocus);  // Enter, Escape, Y and N stay the box's
    area->setLineWrapMode(QPlainTextEdit::NoWrap);
    const int lines = std::min(12, static_cast<int>(details.count(QLatin1Char('\n'))) + 1);
    area->setFixedHeight(area->fontMetrics().lineSpacing() * lines + 2 * area->frameWidth() + 8);
    // Wide enough for the longest line, up to about half a screen.
    int widest = 0;
    for (const QString& line : details.split(QLatin1Char('\n')))
        widest = std::max(widest, area->fontMetrics().horizontalAdvance(line));
    constexpr int kWidestArea = 720;
    area->setMinimumWidth(std::min(widest + 2 * area->frameWidth() + 24, kWidestArea));
    grid->addWidget(area, grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

Answer askConfirmation(QWidget* parent, const QString& question, const ConfirmationNotes& notes,
                       Answer defaultAnswer) {
    TConfirmationBox box(parent);
    box.setWindowTitle(QStringLiteral("Confirm"));
    box.setIcon(QMessageBox::Question);
    box.setText(question);
    if (!notes.summary.isEmpty()) box.setInformativeText(notes.summary);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(defaultAnswer == Answer::No ? no : yes);
    box.setEscapeButton(no);
    addDetails(box, notes.details);
    box.exec();
    if (box.closedByCloseBox()) return Answer::Cancel;
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

void showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace ui
