// The price journal: one CSV file in UTF-8 per write-back, holding every
// row's product with the six prices PRODUCT had before and the six about to
// be written, made durable before the first UPDATE and closed with the count
// of rows written. A revert reads it back.
//
// Layout, one record a line:
//   Tarvell price journal,1
//   database,<the connection's Database value>
//   time,<UTC, ISO 8601 with milliseconds>
//   user,<login name>
//   source,<write-back | revert of FILE>
//   PROD_ID,PROD_ID bytes,PROD_NAME,old SALE_PRICE,...,old VIP_PRICE,new SALE_PRICE,...,new VIP_PRICE
//   one line per row in write order (15 fields)
//   written,<rows written>          (missing when the program was stopped)
// An empty price cell is a null; "missing" in all six old cells is a
// product that PRODUCT did not have. Numbers are written in the shortest
// form that reads back as the same double.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "PriceUpdate.h"

namespace batch {

struct JournalHeader {
    QString database;
    QDateTime time;  // UTC
    QString user;
    QString source;
};

struct JournalEntry {
    std::string productId;    // Big5 bytes as the UPDATE binds them
    std::string productName;  // Big5 bytes
    std::optional<Prices> oldPrices;  // nothing: the product was not in PRODUCT
    Prices newPrices;
};

struct Journal {
    QString path;
    JournalHeader header;
    std::vector<JournalEntry> entries;
    std::optional<std::size_t> written;  // nothing: no closing line
};

class TJournalWriter {
public:
    // Creates a new file named by the current UTC time in folder (made when
    // missing) and writes the header. Raises rt::AppError when it cannot.
    TJournalWriter(const QString& folder, JournalHeader header);

    void addEntry(const JournalEntry& entry);
    // Everything so far onto the disk: the file's data and its folder entry.
    void sync();
    // The closing line, synced too.
    void close(std::size_t written);
    const QString& path() const { return path_; }

private:
    void write(const QByteArray& bytes);
    [[noreturn]] void fail(const QString& what) const;

    QString folder_;
    QString path_;
    QFile file_;
    QByteArray buffer_;
};

// Raises rt::AppError naming the line that is not a journal's.
Journal readJournal(const QString& path);

// Journal files of the folder, newest first (their names sort by time).
QStringList journalFiles(const QString& folder);

// How a path or text of the journal is shown in a message, which is Big5.
std::string messageText(const QString& text);

// A line of the journal's CSV: fields joined by commas, a field holding a
// comma, quote or line break quoted with its quotes doubled.
QByteArray csvField(const QByteArray& text);
QByteArray csvLine(const QList<QByteArray>& fields);

// Prices as the journal writes them: the shortest text that reads back as
// the same double, empty for a null.
std::string priceText(const rt::FieldValue& price);

}  // namespace batch
