#include "PriceJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "Big5Text.h"
#include "Errors.h"

namespace batch {

namespace {

constexpr const char* kMagic = "Tarvell price journal";
constexpr const char* kVersion = "1";
constexpr const char* kMissing = "missing";
constexpr const char* kWritten = "written";
constexpr std::size_t kEntryFields = 15;

}  // namespace

QByteArray csvField(const QByteArray& text) {
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r')) return text;
    QByteArray quoted = text;
    quoted.replace("\"", "\"\"");
    return '"' + quoted + '"';
}

QByteArray csvLine(const QList<QByteArray>& fields) {
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        line += csvField(fields[i]);
    }
    return line + '\n';
}

namespace {

QByteArray utf8(const QString& text) { return text.toUtf8(); }

QByteArray hexBytes(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex().toUpper();
}

QString fileNameFor(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + QStringLiteral(".csv");
}

// Splits CSV text into records of fields; quoted fields may hold commas,
// quotes and line breaks. Each record keeps the line it started on.
struct Record {
    int line = 0;
    QList<QByteArray> fields;
};

std::vector<Record> parseCsv(const QByteArray& text) {
    std::vector<Record> records;
    Record record{1, {}};
    QByteArray field;
    bool quoted = false, fieldStarted = false;
    int line = 1;
    auto endField = [&] {
        record.fields.push_back(field);
        field.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                field += c;
            }
        } else if (c == '"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\n') {
            endField();
            records.push_back(std::move(record));
            record = Record{++line, {}};
        } else if (c != '\r') {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !record.fields.isEmpty()) {
        endField();
        records.push_back(std::move(record));
    }
    return records;
}

[[noreturn]] void refuse(const QString& path, int line, const std::string& what) {
    throw rt::AppError(messageText(path) + ", line " + std::to_string(line) + ": " + what);
}

rt::FieldValue parsePrice(const QString& path, int line, const QByteArray& text) {
    if (text.isEmpty()) return rt::FieldValue::null();
    double value = 0;
    const char* end = text.constData() + text.size();
    const auto [stop, error] = std::from_chars(text.constData(), end, value);
    if (error != std::errc() || stop != end)
        refuse(path, line, "'" + text.toStdString() + "' is not a price");
    return rt::FieldValue(value);
}

std::string unhex(const QString& path, int line, const QByteArray& text) {
    const QByteArray bytes = QByteArray::fromHex(text);
    if (text.isEmpty() || bytes.toHex().toUpper() != text.toUpper())
        refuse(path, line, "'" + text.toStdString() + "' is not a product number in hexadecimal");
    return bytes.toStdString();
}

// The name is there for people; a character Big5 cannot hold becomes "?".
std::string nameBytes(const QString& name) {
    std::string bytes;
    for (const QChar c : name) {
        try {
            bytes += big5::fromUnicode(QString(c));
        } catch (const rt::ConversionError&) {
            bytes += '?';
        }
    }
    return bytes;
}

void expectField(const QString& path, const Record& record, const char* name) {
    if (record.fields.size() != 2 || record.fields[0] != name)
        refuse(path, record.line, std::string("expected the header line \"") + name + ",...\"");
}

}  // namespace

std::string messageText(const QString& text) {
    try {
        return big5::fromUnicode(text);
    } catch (const rt::ConversionError&) {
        return text.toUtf8().toPercentEncoding("/:-_. ").toStdString();
    }
}

std::string priceText(const rt::FieldValue& price) {
    if (price.isNull()) return {};
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, price.toDouble());
    return std::string(text, result.ptr);
}

// ---- writing ----

TJournalWriter::TJournalWriter(const QString& folder, JournalHeader header) : folder_(folder) {
    if (!QDir().mkpath(folder)) fail(QStringLiteral("cannot create the folder"));
    // A name taken within the same millisecond moves on to the next one, so
    // that the names still sort in the order the journals were begun.
    for (int attempt = 0; !file_.isOpen(); ++attempt) {
        path_ = QDir(folder).filePath(fileNameFor(header.time));
        file_.setFileName(path_);
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
        if (!QFileInfo::exists(path_) || attempt > 1000) fail(file_.errorString());
        header.time = header.time.addMSecs(1);
    }
    buffer_ += csvLine({kMagic, kVersion});
    buffer_ += csvLine({"database", utf8(header.database)});
    buffer_ += csvLine({"time", utf8(header.time.toUTC().toString(Qt::ISODateWithMs))});
    buffer_ += csvLine({"user", utf8(header.user)});
    buffer_ += csvLine({"source", utf8(header.source)});
    QList<QByteArray> titles = {"PROD_ID", "PROD_ID bytes", "PROD_NAME"};
    for (const char* side : {"old ", "new "})
        for (const char* column : kPriceParameters) titles.push_back(QByteArray(side) + column);
    buffer_ += csvLine(titles);
}

void TJournalWriter::addEntry(const JournalEntry& entry) {
    QList<QByteArray> fields;
    fields.reserve(kEntryFields);
    fields.push_back(utf8(big5::toUnicode(entry.productId)));
    fields.push_back(hexBytes(entry.productId));
    fields.push_back(utf8(big5::toUnicode(entry.productName)));
    for (std::size_t tier = 0; tier < 6; ++tier)
        fields.push_back(entry.oldPrices ? QByteArray::fromStdString(priceText((*entry.oldPrices)[tier])) : QByteArray(kMissing));
    for (const rt::FieldValue& price : entry.newPrices) fields.push_back(QByteArray::fromStdString(priceText(price)));
    buffer_ += csvLine(fields);
    if (buffer_.size() >= (1 << 16)) write({});
}

void TJournalWriter::write(const QByteArray& bytes) {
    buffer_ += bytes;
    if (file_.write(buffer_) != buffer_.size()) fail(file_.errorString());
    buffer_.clear();
}

void TJournalWriter::sync() {
    write({});
    if (!file_.flush()) fail(file_.errorString());
    if (::fsync(file_.handle()) != 0) fail(QString::fromLocal8Bit(std::strerror(errno)));
    const int folder = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY);
    if (folder < 0) fail(QString::fromLocal8Bit(std::strerror(errno)));
    const int synced = ::fsync(folder);
    const int error = errno;
    ::close(folder);
    if (synced != 0) fail(QString::fromLocal8Bit(std::strerror(error)));
}

void TJournalWriter::close(std::size_t written) {
    buffer_ += csvLine({kWritten, QByteArray::number(qulonglong(written))});
    sync();
    file_.close();
}

void TJournalWriter::fail(const QString& what) const {
    throw rt::AppError("The price journal could not be written (" + messageText(path_.isEmpty() ? folder_ : path_) +
                       ": " + messageText(what) + ")");
}

// ---- reading ----

Journal readJournal(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw rt::AppError("Cannot read the journal " + messageText(path) + ": " + messageText(file.errorString()));
    const std::vector<Record> records = parseCsv(file.readAll());
    Journal journal;
    journal.path = path;
    if (records.size() < 6 || records[0].fields.size() != 2 || records[0].fields[0] != kMagic)
        refuse(path, 1, "not a price journal");
    if (records[0].fields[1] != kVersion)
        refuse(path, 1, "journal version " + records[0].fields[1].toStdString() + " is not known");
    const char* names[] = {"database", "time", "user", "source"};
    for (int i = 0; i < 4; ++i) expectField(path, records[std::size_t(i) + 1], names[i]);
    journal.header.database = QString::fromUtf8(records[1].fields[1]);
    journal.header.time = QDateTime::fromString(QString::fromUtf8(records[2].fields[1]), Qt::ISODateWithMs);
    journal.header.user = QString::fromUtf8(records[3].fields[1]);
    journal.header.source = QString::fromUtf8(records[4].fields[1]);
    if (records[5].fields.size() != qsizetype(kEntryFields)) refuse(path, records[5].line, "expected the column titles");

    for (std::size_t i = 6; i < records.size(); ++i) {
        const Record& record = records[i];
        if (journal.written) refuse(path, record.line, "text after the closing line");
        if (record.fields.size() == 2 && record.fields[0] == kWritten) {
            bool ok = false;
            const qulonglong written = record.fields[1].toULongLong(&ok);
            if (!ok || written > journal.entries.size()) refuse(path, record.line, "the closing line's count is wrong");
            journal.written = std::size_t(written);
            continue;
        }
        if (record.fields.size() != qsizetype(kEntryFields))
            refuse(path, record.line, "a row has " + std::to_string(record.fields.size()) + " fields, not 15");
        JournalEntry entry;
        entry.productId = unhex(path, record.line, record.fields[1]);
        entry.productName = nameBytes(QString::fromUtf8(record.fields[2]));
        const bool missing = record.fields[3] == kMissing;
        if (missing) {
            for (int tier = 0; tier < 6; ++tier)
                if (record.fields[3 + tier] != kMissing) refuse(path, record.line, "old prices partly missing");
        } else {
            Prices old;
            for (std::size_t tier = 0; tier < 6; ++tier)
                old[tier] = parsePrice(path, record.line, record.fields[3 + qsizetype(tier)]);
            entry.oldPrices = old;
        }
        for (std::size_t tier = 0; tier < 6; ++tier)
            entry.newPrices[tier] = parsePrice(path, record.line, record.fields[9 + qsizetype(tier)]);
        journal.entries.push_back(std::move(entry));
    }
    return journal;
}

QStringList journalFiles(const QString& folder) {
    QStringList names = QDir(folder).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (QString& name : names) name = QDir(folder).filePath(name);
    return names;
}

}  // namespace batch
