// Another user's transaction that has changed a row and not ended: every
// other writer of that row waits for it (or fails at once without waiting).
// Ended (rolled back) with the object.
#pragma once

#include <memory>
#include <string>

namespace testsupport {

class HeldRowLock {
public:
    // database as DirectClient takes it; update: a statement that changes
    // the rows to hold.
    HeldRowLock(const std::string& database, const std::string& password, const std::string& update);
    ~HeldRowLock();
    HeldRowLock(const HeldRowLock&) = delete;
    HeldRowLock& operator=(const HeldRowLock&) = delete;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

}  // namespace testsupport
