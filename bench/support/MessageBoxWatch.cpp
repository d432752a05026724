#include "MessageBoxWatch.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <deque>

namespace bench {

namespace {

class TMessageBoxWatch : public QObject {
public:
    void expect(std::function<void(QMessageBox*)> onBox) { expected_.push_back(std::move(onBox)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) return false;
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (!box) return false;
        if (expected_.empty()) endOn(*box);
        auto onBox = std::move(expected_.front());
        expected_.pop_front();
        // Answered from the box's own event loop: a click before exec() has
        // started its loop would leave the box waiting.
        QTimer::singleShot(0, box, [onBox = std::move(onBox), box = QPointer<QMessageBox>(box)] {
            if (box) onBox(box);
        });
        return false;
    }

private:
    [[noreturn]] static void endOn(const QMessageBox& box) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: ended by a message box nobody answers: \"%s\"\n",
                     qPrintable(QCoreApplication::applicationName()), qPrintable(box.text()));
        std::exit(1);
    }

    std::deque<std::function<void(QMessageBox*)>> expected_;
};

TMessageBoxWatch* watch() {
    static QPointer<TMessageBoxWatch> instance;
    if (!instance) {
        instance = new TMessageBoxWatch;
        instance->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(instance);
    }
    return instance;
}

}  // namespace

void endOnUnexpectedBoxes() { watch(); }

void whenNextBox(std::function<void(QMessageBox*)> onBox) { watch()->expect(std::move(onBox)); }

}  // namespace bench
