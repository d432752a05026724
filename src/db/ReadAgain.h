// A SELECT whose connection turns out to be gone (a server restarted since
// the connection's last statement, an attachment the network dropped) is
// asked once more on a new connection: a read changes nothing, so asking it
// again is always safe, and the check of an idle connection cannot catch a
// restart that came a moment after the last statement. A write is never
// sent again: whether the server made it durable before the connection went
// is not known.
#pragma once

#include <atomic>
#include <functional>

namespace db {

class TDataLinkConnection;

// Runs read, and once more (connecting anew on demand) when it failed
// because the connection is gone. read starts from its beginning each time.
// It is not asked again
//   - inside a transaction of the program's own: that transaction went with
//     the connection, and the rest of it would run outside it;
//   - when the server did not answer in time: a second try would keep the
//     operator waiting as long again, to fail with vaguer words;
//   - while the reads of this thread are being cancelled (TReadCancellation).
// The second try's failure is raised as it is.
void readAgainIfConnectionLost(TDataLinkConnection& connection, const std::function<void()>& read);

// While one lives on a thread, cancelled turning true means that the reads
// of that thread are being cancelled: a read that fails then, however it
// fails, is not asked again, and a read that starts then fails at once
// (rt::AppError "The read was cancelled").
class TReadCancellation {
public:
    explicit TReadCancellation(const std::atomic<bool>& cancelled);
    ~TReadCancellation();
    TReadCancellation(const TReadCancellation&) = delete;
    TReadCancellation& operator=(const TReadCancellation&) = delete;

private:
    const std::atomic<bool>* outer_;
};

}  // namespace db
