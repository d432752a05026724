// A price journal file as a revert reads it: the header alone, then the
// whole file. Any input must come back as a journal or as rt::AppError, and
// a journal read must hold what the revert relies on: a valid time to order
// it among the folder's journals, and its rows' places in the file.
#include <cstddef>
#include <cstdint>

#include "Errors.h"
#include "FuzzInput.h"
#include "PriceJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::InputFile input(QStringLiteral("journal.csv"));
    const QString& path = input.write(data, size);
    try {
        if (!journal::readJournalHeader(path).time.isValid()) std::abort();
    } catch (const rt::AppError&) {
    }
    try {
        const journal::Journal read = journal::readJournal(path);
        if (!read.header.time.isValid()) std::abort();
        for (const journal::JournalEntry& entry : read.entries)
            if (entry.line <= 0) std::abort();
    } catch (const rt::AppError&) {
    }
    input.remove();
    return 0;
}
