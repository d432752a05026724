#include "Dialogs.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>

#include "ErrorDisplay.h"

namespace app {

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

}  // namespace

Answer askConfirmation(QWidget* parent, const QString& question) {
    TConfirmationBox box(parent);
    box.setWindowTitle(QStringLiteral("Confirm"));
    box.setIcon(QMessageBox::Question);
    box.setText(question);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
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

}  // namespace app
