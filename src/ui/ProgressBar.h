// The progress bar of the price calculation, and the counter that moves it.
#pragma once

#include <QProgressBar>

namespace ui {

// An empty range (0 to 0) shows an empty bar, as the native one does, not
// Qt's busy animation.
class TProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TProgressBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Counts one step per row. The bar is redrawn about a hundred times over a
// run, not once per row, and shows the exact count when the counter goes
// out of scope, also when a row fails.
class TProgressStepper {
public:
    explicit TProgressStepper(QProgressBar& bar);
    ~TProgressStepper();
    TProgressStepper(const TProgressStepper&) = delete;
    TProgressStepper& operator=(const TProgressStepper&) = delete;

    void step();
    int count() const { return count_; }

private:
    QProgressBar& bar_;
    int count_;
    int shown_;
    int stride_;
};

}  // namespace ui
