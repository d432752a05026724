// Interrupts the call a connection has in flight, from another thread than
// the one making it: the write-back's runner and the row wait probe stop a
// statement the server does not finish. It holds a reference of its own to
// the connection's driver connection, so that a disconnect meanwhile leaves
// it safe to use; one taken from a closed connection interrupts nothing.
#pragma once

#include <memory>

namespace db {

class TDataLinkConnection;

class TConnectionInterrupt {
public:
    // Interrupts nothing.
    TConnectionInterrupt();
    // The connection's call in flight, on its driver connection of the
    // moment; taken on the thread that uses the connection.
    explicit TConnectionInterrupt(const TDataLinkConnection& connection);
    ~TConnectionInterrupt();
    TConnectionInterrupt(const TConnectionInterrupt&);
    TConnectionInterrupt& operator=(const TConnectionInterrupt&);

    // Asks the server to end the call in flight; the call then fails.
    void cancel() const;
    // Closes the connection under the call in flight, for a server that
    // does not answer the request to cancel.
    void abort() const;

    // Whether there is a connection to interrupt.
    explicit operator bool() const { return target_ != nullptr; }

private:
    struct Target;
    std::shared_ptr<const Target> target_;
};

}  // namespace db
