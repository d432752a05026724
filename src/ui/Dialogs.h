// The two boxes of the price write-back.
#pragma once

#include <QString>

class QWidget;

namespace app {

enum class Answer { Yes, No, Cancel };

// Caption "Confirm", question icon, buttons "&Yes" and "&No" (Yes the
// default; Y, N, Alt+Y, Alt+N answer them; Escape answers No). Closing the
// box answers Cancel.
Answer askConfirmation(QWidget* parent, const QString& question);

// A plain box captioned with the application title: no icon, one OK that
// Enter and Escape both answer, centred on the screen.
void showMessage(const QString& text);

}  // namespace app
