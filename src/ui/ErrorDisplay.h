// How the program shows an error that ended a handler, and the application
// title that captions it.
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace ui {

// The executable's file name without its folder, cut at the first ".",
// every character after the first in lower case: ABC.EXE gives Abc.
QString applicationTitleFor(const QString& executablePath);
QString applicationTitle();

// The message as shown: "." appended when the message is not empty and its
// last character (a double-byte one taken whole) is greater than "." by
// byte value.
std::string withClosingPeriod(std::string big5Message);

// An error as its box shows it: the message with its closing period, and
// under it the line of guidance the error carries, if any (where the
// program looked for a connections file it did not find).
std::string shownErrorText(const std::exception& error);

// The application-modal error box: title as caption, error icon, one OK.
void showError(std::string_view big5Message);
void showError(const std::exception& error);

// Runs a handler; an error ends it where it was raised and is shown.
void runHandler(const std::function<void()>& handler);

}  // namespace ui
