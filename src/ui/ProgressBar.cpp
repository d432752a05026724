#include "ProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <algorithm>

namespace ui {

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void TProgressBar::paintEvent(QPaintEvent*) {
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    if (option.minimum == option.maximum) {
        option.maximum = option.minimum + 1;
        option.progress = option.minimum;
    }
    QStylePainter painter(this);
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

TProgressStepper::TProgressStepper(QProgressBar& bar)
    : bar_(bar), count_(bar.value()), shown_(bar.value()), stride_(std::max(1, (bar.maximum() - bar.minimum()) / 100)) {}

TProgressStepper::~TProgressStepper() {
    if (shown_ != count_) bar_.setValue(count_);
}

void TProgressStepper::step() {
    ++count_;
    if (count_ - shown_ < stride_) return;
    bar_.setValue(count_);
    shown_ = count_;
}

}  // namespace ui
