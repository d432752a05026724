// The two boxes of the price write-back.
#pragma once

#include <QString>

class QWidget;

namespace ui {

enum class Answer { Yes, No, Cancel };

// What the question shows under it: a short summary as the box's
// informative text, and details in a read-only text area below the buttons
// (shown only when there are any; no button is added for them).
struct ConfirmationNotes {
    QString summary;
    QString details;
};

// Caption "Confirm", question icon, buttons "&Yes" and "&No" (Yes the
// default unless defaultAnswer is No; Y, N, Alt+Y, Alt+N answer them;
// Escape answers No). Closing the box answers Cancel.
Answer askConfirmation(QWidget* parent, const QString& question, const ConfirmationNotes& notes = {},
                       Answer defaultAnswer = Answer::Yes);

// The object name of the details area.
inline constexpr const char* kConfirmationDetailsName = "confirmationDetails";

// A plain box captioned with the application title: no icon, one OK that
// Enter and Escape both answer, centred on the screen.
void showMessage(const QString& text);

}  // namespace ui
