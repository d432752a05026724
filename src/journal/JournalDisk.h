// The journal's only way onto the disk. The system's calls by default; a
// test gives a disk that fills at a chosen byte, to show that a full disk
// never costs a journal its closing line.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>

namespace journal {

class JournalDisk {
public:
    virtual ~JournalDisk() = default;
    // Like ::write and ::pwrite: the count of bytes written, or -1 with
    // errno set. append grows the file; rewrite stays inside it.
    virtual ssize_t append(int file, const char* data, std::size_t size) { return ::write(file, data, size); }
    virtual ssize_t rewrite(int file, const char* data, std::size_t size, off_t at) {
        return ::pwrite(file, data, size, at);
    }
};

}  // namespace journal
