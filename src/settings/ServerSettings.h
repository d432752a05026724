// How long the program waits for the database server, from the program's
// own settings file (the one the journal switch lives in):
//
//   [Server]
//   AnswerTimeout=60     seconds a row's UPDATE may go without an answer
//
// A call that has had no answer for that long is ended as a lost
// connection: a write-back's row, a data view's read, a revert's row. Read
// when the window starts and at each data view and write-back.
#pragma once

#include <chrono>

class QSettings;

namespace db {
class TDataLinkConnection;
}

namespace settings {

struct ServerSettings {
    static constexpr int kDefaultAnswerTimeout = 60;
    static constexpr int kLongestAnswerTimeout = 24 * 60 * 60;

    std::chrono::seconds answerTimeout{kDefaultAnswerTimeout};

    // Raises rt::AppError naming the key when its value is no whole number
    // of seconds from 1 to a day.
    static ServerSettings load();
    // The same from a settings file the caller opened.
    static ServerSettings from(const QSettings& settings);
    static void setAnswerTimeout(int seconds);
};

// Loads the settings, gives the connection its answer timeout, and returns
// them.
ServerSettings applyServerSettings(db::TDataLinkConnection& connection);

}  // namespace settings
