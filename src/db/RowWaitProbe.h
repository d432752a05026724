// What a write-back's row that has not come back is waiting for, asked
// over a connection of its own: a server that takes no new connection
// within a moment is not answering; one that does, while another
// transaction holds an uncommitted change of the product's row, keeps the
// row locked. The question changes nothing: the row is only read, and a
// read that meets the other transaction's change fails at once instead of
// waiting for it.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "ConnectionInterrupt.h"
#include "ConnectionSettings.h"

namespace db {

class TDataLinkConnection;

// What the window shows is one of two waits: on a locked row, or on the
// server for every other answer.
enum class RowWait {
    Server,     // the server took no connection, or gave no answer, within the probe's time
    LockedRow,  // another transaction holds the row
    FreeRow,    // the server answered and the row was read: nothing holds it
    Refused,    // the connection failed at once: no server listens there, or it turned the probe away
};

class TRowWaitProbe {
public:
    static constexpr const char* kRowKeyParameter = "PROD_ID";

    // connection: the write-back's, connected; its settings are copied here,
    // so the probe may then run on any thread. A server that does not take
    // the probe's connection within answerWithin is taken as not answering.
    // rowSelect reads the row by its key, given as the parameter named
    // kRowKeyParameter.
    TRowWaitProbe(const TDataLinkConnection& connection, std::chrono::seconds answerWithin,
                  std::string rowSelect);
    ~TRowWaitProbe();
    TRowWaitProbe(const TRowWaitProbe&) = delete;
    TRowWaitProbe& operator=(const TRowWaitProbe&) = delete;

    // One question at a time; connects, reads the product's row and
    // disconnects. Never raises: a failure that is neither a lock nor a
    // refused connection is the server's.
    RowWait ask(const std::string& productId);
    // From another thread: ends the question out, by closing its
    // connection; one still connecting ends once connected, without
    // reading. Each call the probe makes waits at most answerWithin.
    void abort();

    std::chrono::seconds answerWithin() const { return answerWithin_; }

private:
    RowWait askOver(TDataLinkConnection& connection, const std::string& productId);

    ConnectionSettings settings_;
    std::chrono::seconds answerWithin_;
    std::string rowSelect_;
    std::mutex mutex_;
    TConnectionInterrupt inFlight_;
    bool abortRequested_ = false;
};

}  // namespace db
