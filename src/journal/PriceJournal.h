// The price journal: one CSV file in UTF-8 per write-back, holding every
// row's product with the six prices PRODUCT had before and the six about to
// be written, made durable before the first UPDATE and closed with the count
// of rows written. A revert reads it back.
//
// Layout, one record a line, each ending with its line end:
//   Tarvell price journal,2
//   database,<the connection's Database value>
//   time,<UTC, ISO 8601 with milliseconds>
//   user,<login name>
//   source,<write-back | revert of FILE>
//   PROD_ID,PROD_ID bytes,PROD_NAME,old SALE_PRICE,...,old VIP_PRICE,new SALE_PRICE,...,new VIP_PRICE
//   one line per row in write order (15 fields)
//   written,<rows written: ten digits, or "unfinished" until the loop ends>
// The closing line is on the disk, as "unfinished", before the first UPDATE,
// and its count is later written over it in place: a disk that fills during
// the write-back cannot cost it. A journal whose last line has no line end
// was cut short and counts as unfinished.
//
// An empty price cell is a null; "missing" in all six old cells is a
// product that PRODUCT did not have. Prices are plain decimal numbers in
// the shortest form that reads back as the same double; only finite ones
// within the price columns' range are written or read. A text cell that a
// spreadsheet would take for a formula (it begins with = + - @, a tab or a
// CR), or that begins with an apostrophe, is written with one apostrophe in
// front, which reading takes off again. Version 1 files (no apostrophes, a
// closing count of any width) are read as well.
#pragma once

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "JournalDisk.h"
#include "TierPrices.h"

namespace journal {

struct JournalHeader {
    QString database;
    QDateTime time;  // UTC
    QString user;
    QString source;
};

struct JournalEntry {
    std::string productId;    // Big5 bytes as the UPDATE binds them
    std::string productName;  // Big5 bytes
    std::optional<product::TierPrices> oldPrices;  // nothing: the product was not in PRODUCT
    product::TierPrices newPrices;
    int line = 0;  // where the row is in its file; 0 for a row not read from one
};

struct Journal {
    QString path;
    JournalHeader header;
    std::vector<JournalEntry> entries;
    std::optional<std::size_t> written;  // nothing: no whole closing line with a count
    bool torn = false;                   // the last line had no line end and was left out
};

// The largest price the journal holds: PRODUCT's price columns keep 13
// digits before the point and two after.
inline constexpr double kLargestJournalPrice = 9999999999999.99;
// The closing count's width.
inline constexpr std::size_t kLargestJournalCount = 9999999999;

class TJournalWriter {
public:
    // Creates a new file named by the current UTC time in folder (made when
    // missing) and writes the header. The file is made mode 0600, and a
    // folder it makes 0700, whatever the umask. Raises rt::AppError when it
    // cannot.
    TJournalWriter(const QString& folder, JournalHeader header, std::shared_ptr<JournalDisk> disk = nullptr);
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    // Raises rt::AppError for a price that is not a finite number within
    // the columns' range: the journal could not put it back.
    void addEntry(const JournalEntry& entry);
    // Every row and the closing line saying "unfinished" onto the disk, the
    // file's data and its folder entry; after it no row can be added.
    void sync();
    // The count written over the closing line in place, synced too.
    void close(std::size_t written);
    // Removes the file: for a journal that could not be completed before
    // anything was written to the database.
    void discard();
    const QString& path() const { return path_; }

private:
    void makeFolder();
    void append(const QByteArray& bytes);
    void syncFile();
    [[noreturn]] void fail(const QString& what) const;
    [[noreturn]] void failWithErrno() const;

    QString folder_;
    QString path_;
    std::shared_ptr<JournalDisk> disk_;
    int file_ = -1;
    QByteArray buffer_;
    std::size_t entries_ = 0;
    off_t size_ = 0;
    off_t closingLineAt_ = -1;  // where the count goes; -1 until synced
};

// The closing line's count of a journal already on the disk written over in
// place and synced: once a write-back whose last commit got no answer has
// found out what the database holds. Raises rt::AppError when the file is
// no whole journal of this version or holds fewer rows than written.
void rewriteClosingCount(const QString& path, std::size_t written);

// Raises rt::AppError naming the file, the line and the text that is not a
// journal's, or the system's words when the file cannot be read. Only a
// regular file is read; its header is checked before the rows are read.
Journal readJournal(const QString& path);
// The header alone, checked the same way; the rows are not read.
JournalHeader readJournalHeader(const QString& path);

// Everything named *.csv in the folder, newest first (their names sort by
// time); what is not a regular file is listed too, for the caller to name.
QStringList journalFiles(const QString& folder);

// A line of the journal's CSV: fields joined by commas, a field holding a
// comma, quote or line break quoted with its quotes doubled.
QByteArray csvField(const QByteArray& text);
QByteArray csvLine(const QList<QByteArray>& fields);
// A text cell in UTF-8; one that a spreadsheet would run as a formula
// (beginning with =, +, -, @, a tab or a CR) gets a leading apostrophe.
QByteArray textCell(const QString& text);

// "revert of FILE" names the journal a revert put back.
QString revertSource(const QString& journalPath);
// The file name a revert's source names; empty for any other source.
QString revertedJournalName(const QString& source);

}  // namespace journal
