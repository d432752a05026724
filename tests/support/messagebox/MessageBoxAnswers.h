// Answering the message boxes the program puts up, for the tests and the
// benchmarks alike: every box shown goes, from its own event loop, to the
// next answer given, in the order they were given; a box no answer waits
// for goes to the unexpected-box answer (by default a test failure, and the
// box is closed so the run goes on).
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace testsupport {

// What a box showed when it was answered.
struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QStringList buttonTexts;  // left to right, as the operator sees them
};

SeenBox describe(QMessageBox& box);

// The next box goes to onBox.
void whenNextBox(std::function<void(QMessageBox*)> onBox);
// A box that no answer waits for goes to onBox from now on; none restores
// the default.
void whenUnexpectedBox(std::function<void(QMessageBox*)> onBox);
// Drops the answers still waiting (a test's answers never serve the next
// test's boxes); gives how many there were.
int forgetWaitingAnswers();

// The next box is recorded, then given to answer.
std::shared_ptr<SeenBox> onNextBox(std::function<void(QMessageBox*)> answer);
// The next box is answered with this standard button.
std::shared_ptr<SeenBox> answerNextBox(QMessageBox::StandardButton answer);
// The next box is answered by clicking the button with this text ("&Yes").
std::shared_ptr<SeenBox> answerNextBoxWith(const QString& buttonText);

}  // namespace testsupport
