#include "MessageBoxAnswers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <deque>

namespace testsupport {

namespace {

void failOnUnexpected(QMessageBox* box) {
    ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
    box->close();
}

class Answers : public QObject {
public:
    std::deque<std::function<void(QMessageBox*)>> waiting;
    std::function<void(QMessageBox*)> unexpected = failOnUnexpected;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) return false;
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box) return false;
        std::function<void(QMessageBox*)> answer = unexpected;
        if (!waiting.empty()) {
            answer = std::move(waiting.front());
            waiting.pop_front();
        }
        // From the box's own event loop: a click before exec() has started
        // its loop would leave the box waiting.
        QTimer::singleShot(0, box, [answer = std::move(answer), box = QPointer<QMessageBox>(box)] {
            if (box) answer(box);
        });
        return false;
    }
};

Answers& answers() {
    static QPointer<Answers> instance;
    if (!instance) {
        instance = new Answers;
        instance->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(instance);
    }
    return *instance;
}

}  // namespace

SeenBox describe(QMessageBox& box) {
    SeenBox seen;
    seen.seen = true;
    seen.title = box.windowTitle();
    seen.text = box.text();
    seen.icon = box.icon();
    seen.buttons = box.standardButtons();
    seen.defaultButton = box.defaultButton() ? box.standardButton(box.defaultButton()) : QMessageBox::NoButton;
    QList<QAbstractButton*> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* left, QAbstractButton* right) {
        return left->mapToGlobal(QPoint()).x() < right->mapToGlobal(QPoint()).x();
    });
    for (QAbstractButton* button : buttons) seen.buttonTexts << button->text();
    return seen;
}

void whenNextBox(std::function<void(QMessageBox*)> onBox) { answers().waiting.push_back(std::move(onBox)); }

void whenUnexpectedBox(std::function<void(QMessageBox*)> onBox) {
    answers().unexpected = onBox ? std::move(onBox) : failOnUnexpected;
}

int forgetWaitingAnswers() {
    const int count = static_cast<int>(answers().waiting.size());
    answers().waiting.clear();
    return count;
}

std::shared_ptr<SeenBox> onNextBox(std::function<void(QMessageBox*)> answer) {
    auto seen = std::make_shared<SeenBox>();
    whenNextBox([seen, answer = std::move(answer)](QMessageBox* box) {
        *seen = describe(*box);
        answer(box);
    });
    return seen;
}

std::shared_ptr<SeenBox> answerNextBox(QMessageBox::StandardButton answer) {
    return onNextBox([answer](QMessageBox* box) {
        if (QAbstractButton* button = box->button(answer)) return button->click();
        ADD_FAILURE() << "no such button on " << box->text().toStdString();
        box->close();
    });
}

std::shared_ptr<SeenBox> answerNextBoxWith(const QString& buttonText) {
    return onNextBox([buttonText](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons())
            if (button->text() == buttonText) return button->click();
        ADD_FAILURE() << "no button " << buttonText.toStdString();
        box->close();
    });
}

}  // namespace testsupport
