#include "SpeedButton.h"

TSpeedButton::TSpeedButton(const QString& caption, QWidget* parent) : QToolButton(parent) {
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setAutoRaise(false);
    setCheckable(false);
}
