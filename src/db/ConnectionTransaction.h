// A transaction of the program's own on the connection for exactly one
// scope: started when made, committed only when asked, rolled back when it
// goes still active (an error on the way out).
#pragma once

namespace db {

class TDataLinkConnection;

class TConnectionTransaction {
public:
    // Connects when needed and starts the transaction.
    explicit TConnectionTransaction(TDataLinkConnection& connection);
    ~TConnectionTransaction();
    TConnectionTransaction(const TConnectionTransaction&) = delete;
    TConnectionTransaction& operator=(const TConnectionTransaction&) = delete;

    void commit();
    // Raises the driver's error when the rollback itself fails; the
    // transaction has ended either way.
    void rollback();

private:
    TDataLinkConnection& connection_;
    bool active_ = false;
};

}  // namespace db
