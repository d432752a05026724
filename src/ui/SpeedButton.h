// A speed button: a raised push button that never takes the keyboard focus,
// so clicking it leaves the focus (and an open grid cell editor) where it
// was. Only the left mouse button presses it; it fires on release inside.
#pragma once

#include <QToolButton>

namespace ui {

class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    explicit TSpeedButton(const QString& caption, QWidget* parent = nullptr);
};

}  // namespace ui
