#include "PriceJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <stdexcept>
#include <utility>

#include "Big5Text.h"
#include "Errors.h"
#include "ProductStatements.h"
#include "ScopeGuard.h"

namespace journal {

namespace {

constexpr const char* kMagic = "Tarvell price journal";
constexpr const char* kVersion = "2";
constexpr const char* kFirstVersion = "1";
constexpr const char* kMissing = "missing";
constexpr const char* kWritten = "written";
constexpr const char* kUnfinished = "unfinished";  // as wide as the count
constexpr int kCountWidth = 10;
constexpr const char* kRevertOf = "revert of ";
// A row: the number as text and as hexadecimal bytes, the name, then the
// old prices and the new ones in tier order.
constexpr qsizetype kOldPricesField = 3;
constexpr std::size_t kEntryFields = kOldPricesField + 2 * product::kTierCount;
constexpr qsizetype oldPriceField(int tier) { return kOldPricesField + tier - 1; }
constexpr qsizetype newPriceField(int tier) { return kOldPricesField + product::kTierCount + tier - 1; }
// No line of a journal comes near this; a file with a longer one is not a
// journal, and reading stops there instead of filling the memory.
constexpr qsizetype kLongestLine = 64 * 1024;
constexpr qsizetype kReadChunk = 64 * 1024;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The journals hold the shop's price history: readable by their owner alone.
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

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

bool startsLikeAFormula(const QByteArray& text) {
    return !text.isEmpty() && std::strchr("=+-@\t\r'", text[0]) != nullptr;
}

}  // namespace

QByteArray textCell(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return startsLikeAFormula(bytes) ? '\'' + bytes : bytes;
}

namespace {

QByteArray hexBytes(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex().toUpper();
}

QString fileNameFor(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + QStringLiteral(".csv");
}

QList<QByteArray> titles() {
    QList<QByteArray> names = {"PROD_ID", "PROD_ID bytes", "PROD_NAME"};
    for (const char* side : {"old ", "new "})
        for (const char* column : catalog::kPriceParameters) names.push_back(QByteArray(side) + column);
    return names;
}

bool isJournalPrice(double value) { return std::isfinite(value) && std::fabs(value) <= kLargestJournalPrice; }

[[noreturn]] void refuse(const QString& path, int line, const std::string& what) {
    throw rt::AppError(big5::fromUnicodeLossy(path) + ", line " + std::to_string(line) + ": " + what);
}

// ---- reading ----

struct Record {
    int line = 0;
    QList<QByteArray> fields;
};

// Reads CSV records one at a time from an open file; quoted fields may hold
// commas, quotes and line breaks. A record counts only once its line end
// has been read: text after the last line end is a torn line.
class CsvStream {
public:
    CsvStream(int file, const QString& path) : file_(file), path_(path) {}

    std::optional<Record> next() {
        Record record{line_, {}};
        QByteArray field;
        bool quoted = false, fieldStarted = false;
        qsizetype recordSize = 0;
        for (;;) {
            const int byte = nextByte();
            if (byte < 0) {
                torn_ = recordSize > 0;
                return std::nullopt;
            }
            if (++recordSize > kLongestLine)
                refuse(path_, record.line, "a line longer than " + std::to_string(kLongestLine) + " bytes");
            const char c = char(byte);
            if (quoted) {
                if (c == '"' && peekByte() == '"') {
                    field += '"';
                    nextByte();
                    ++recordSize;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    if (c == '\n') ++line_;
                    field += c;
                }
            } else if (c == '"' && !fieldStarted) {
                quoted = fieldStarted = true;
            } else if (c == ',') {
                record.fields.push_back(std::exchange(field, {}));
                fieldStarted = false;
            } else if (c == '\n') {
                record.fields.push_back(std::move(field));
                ++line_;
                return record;
            } else if (c != '\r') {
                field += c;
                fieldStarted = true;
            }
        }
    }

    // The first bytes of the file, read before anything else.
    QByteArray start(qsizetype size) {
        while (buffer_.size() < size && fill()) {}
        return buffer_.left(size);
    }
    bool torn() const { return torn_; }
    int line() const { return line_; }

private:
    int nextByte() {
        if (at_ >= buffer_.size() && !refill()) return -1;
        return static_cast<unsigned char>(buffer_[at_++]);
    }
    int peekByte() {
        if (at_ >= buffer_.size() && !refill()) return -1;
        return static_cast<unsigned char>(buffer_[at_]);
    }
    bool refill() {
        buffer_.remove(0, at_);
        at_ = 0;
        return fill();
    }
    bool fill() {
        char chunk[kReadChunk];
        for (;;) {
            const ssize_t got = ::read(file_, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0)
                throw rt::AppError("Cannot read the journal " + big5::fromUnicodeLossy(path_) + ": " +
                                   big5::fromUnicodeLossy(systemError(errno)));
            buffer_.append(chunk, got);
            return got > 0;
        }
    }

    int file_;
    QString path_;
    QByteArray buffer_;
    qsizetype at_ = 0;
    int line_ = 1;
    bool torn_ = false;
};

class JournalParser {
public:
    JournalParser(const QString& path, int file) : path_(path), stream_(file, path) {}

    JournalHeader parseHeader() {
        checkStart();
        JournalHeader header;
        readHeader(header);
        return header;
    }

    Journal parse() {
        Journal journal;
        journal.path = path_;
        journal.header = parseHeader();
        while (std::optional<Record> record = stream_.next()) {
            if (journal.written) refuse(path_, record->line, "text after the closing line");
            if (isClosingLine(*record))
                journal.written = closingCount(*record, journal.entries.size());
            else
                journal.entries.push_back(entry(*record));
        }
        journal.torn = stream_.torn();
        if (journal.torn && journal.written) refuse(path_, stream_.line(), "text after the closing line");
        // An unfinished closing line counts nothing, and neither does a torn one.
        if (journal.written && *journal.written == kUnfinishedCount) journal.written.reset();
        return journal;
    }

private:
    static constexpr std::size_t kUnfinishedCount = std::size_t(-1);

    // A file that is not a journal is refused by its first bytes, before
    // any more of it is read.
    void checkStart() {
        const QByteArray magic = QByteArray(kMagic) + ',';
        if (stream_.start(magic.size()) != magic) refuse(path_, 1, "not a price journal");
    }

    Record headerRecord(const char* what) {
        std::optional<Record> record = stream_.next();
        if (!record) refuse(path_, stream_.line(), std::string("the journal ends before ") + what);
        return std::move(*record);
    }

    void readHeader(JournalHeader& header) {
        const Record first = headerRecord("its header");
        if (first.fields.size() != 2 || first.fields[0] != kMagic) refuse(path_, 1, "not a price journal");
        if (first.fields[1] != kVersion && first.fields[1] != kFirstVersion)
            refuse(path_, 1, "journal version " + quoted(first.fields[1]) + " is not known");
        escaped_ = first.fields[1] == kVersion;
        header.database = headerValue("database");
        header.time = headerTime();
        header.user = headerValue("user");
        header.source = headerValue("source");
        const Record names = headerRecord("its column titles");
        if (names.fields != titles()) refuse(path_, names.line, "expected the column titles \"PROD_ID,PROD_ID bytes,...\"");
    }

    Record headerLine(const char* name) {
        Record record = headerRecord("its header");
        if (record.fields.size() != 2 || record.fields[0] != name)
            refuse(path_, record.line, std::string("expected the header line \"") + name + ",...\"");
        return record;
    }

    QString headerValue(const char* name) { return text(headerLine(name).fields[1]); }

    // The time orders the journal among the folder's others for a revert,
    // so a time that does not read as one is refused, never taken as none.
    QDateTime headerTime() {
        const Record record = headerLine("time");
        const QDateTime time = QDateTime::fromString(text(record.fields[1]), Qt::ISODateWithMs);
        if (!time.isValid())
            refuse(path_, record.line, "the time " + quoted(record.fields[1]) + " is not an ISO 8601 time");
        return time;
    }

    QString text(const QByteArray& cell) const {
        return QString::fromUtf8(escaped_ && cell.startsWith('\'') ? cell.mid(1) : cell);
    }

    static bool isClosingLine(const Record& record) {
        return record.fields.size() == 2 && record.fields[0] == kWritten;
    }

    std::size_t closingCount(const Record& record, std::size_t rows) const {
        const QByteArray& count = record.fields[1];
        if (count == kUnfinished) return kUnfinishedCount;
        bool digits = !count.isEmpty() && count.size() <= kCountWidth;
        for (const char c : count) digits = digits && c >= '0' && c <= '9';
        if (!digits || count.toULongLong() > rows)
            refuse(path_, record.line, "the closing line's count " + quoted(count) + " is wrong");
        return std::size_t(count.toULongLong());
    }

    JournalEntry entry(const Record& record) const {
        if (record.fields.size() != qsizetype(kEntryFields))
            refuse(path_, record.line,
                   "a row has " + std::to_string(record.fields.size()) + " fields, not " + std::to_string(kEntryFields));
        JournalEntry entry;
        entry.line = record.line;
        entry.productId = unhex(record.line, record.fields[1]);
        entry.productName = big5::fromUnicodeLossy(text(record.fields[2]));
        if (record.fields[kOldPricesField] == kMissing) {
            for (int tier = 1; tier <= product::kTierCount; ++tier)
                if (record.fields[oldPriceField(tier)] != kMissing)
                    refuse(path_, record.line, "old prices partly missing");
        } else {
            product::TierPrices old;
            for (int tier = 1; tier <= product::kTierCount; ++tier)
                old.setPrice(tier, price(record.line, record.fields[oldPriceField(tier)]));
            entry.oldPrices = old;
        }
        for (int tier = 1; tier <= product::kTierCount; ++tier)
            entry.newPrices.setPrice(tier, price(record.line, record.fields[newPriceField(tier)]));
        return entry;
    }

    // A plain decimal number, with an exponent at most (older journals wrote
    // one for large numbers); never "nan", "inf" or hexadecimal.
    std::optional<double> price(int line, const QByteArray& text) const {
        if (text.isEmpty()) return std::nullopt;
        bool decimal = (text[0] >= '0' && text[0] <= '9') || (text[0] == '-' && text.size() > 1);
        for (const char c : text) decimal = decimal && std::strchr("0123456789.-+eE", c) != nullptr;
        double value = 0;
        const char* end = text.constData() + text.size();
        const auto [stop, error] = std::from_chars(text.constData(), end, value);
        if (!decimal || error != std::errc() || stop != end || !isJournalPrice(value))
            refuse(path_, line, quoted(text) + " is not a price (a finite decimal number from -" +
                                    product::priceText(kLargestJournalPrice) + " to " +
                                    product::priceText(kLargestJournalPrice) + ")");
        return value;
    }

    std::string unhex(int line, const QByteArray& text) const {
        const QByteArray bytes = QByteArray::fromHex(text);
        if (text.isEmpty() || bytes.toHex().toUpper() != text.toUpper())
            refuse(path_, line, quoted(text) + " is not a product number in hexadecimal");
        return bytes.toStdString();
    }

    static std::string quoted(const QByteArray& text) {
        return "'" + big5::fromUnicodeLossy(QString::fromUtf8(text.left(80))) + (text.size() > 80 ? "...'" : "'");
    }

    QString path_;
    CsvStream stream_;
    bool escaped_ = false;
};

}  // namespace

QString revertSource(const QString& journalPath) {
    return QString::fromLatin1(kRevertOf) + QFileInfo(journalPath).fileName();
}

QString revertedJournalName(const QString& source) {
    return source.startsWith(QLatin1String(kRevertOf)) ? source.mid(qsizetype(std::strlen(kRevertOf))) : QString();
}

// ---- writing ----

TJournalWriter::TJournalWriter(const QString& folder, JournalHeader header, std::shared_ptr<JournalDisk> disk)
    : folder_(folder), disk_(disk ? std::move(disk) : std::make_shared<JournalDisk>()) {
    makeFolder();
    // A name taken within the same millisecond moves on to the next one, so
    // that the names still sort in the order the journals were begun.
    for (int attempt = 0; file_ < 0; ++attempt) {
        path_ = QDir(folder).filePath(fileNameFor(header.time));
        file_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                       kPrivateFileMode);
        if (file_ >= 0) break;
        if (errno != EEXIST || attempt > 1000) failWithErrno();
        header.time = header.time.addMSecs(1);
    }
    // The umask can only have taken rights away; the owner still needs to
    // read and write the file, so its mode is set whole.
    if (::fchmod(file_, kPrivateFileMode) != 0) {
        const int error = errno;
        discard();
        fail(systemError(error));
    }
    buffer_ += csvLine({kMagic, kVersion});
    buffer_ += csvLine({"database", textCell(header.database)});
    buffer_ += csvLine({"time", header.time.toUTC().toString(Qt::ISODateWithMs).toUtf8()});
    buffer_ += csvLine({"user", textCell(header.user)});
    buffer_ += csvLine({"source", textCell(header.source)});
    buffer_ += csvLine(titles());
}

// The folders above the journal folder are made like any other; the
// journal folder itself is made the owner's alone, whatever the umask. A
// folder that is there already keeps its rights: it may be shared on
// purpose, and journalFolderNote() names it.
void TJournalWriter::makeFolder() {
    const QByteArray folder = QFile::encodeName(QDir::cleanPath(folder_));
    int made = ::mkdir(folder.constData(), kPrivateFolderMode);
    if (made != 0 && errno == ENOENT) {
        std::error_code above;
        std::filesystem::create_directories(std::filesystem::path(folder.toStdString()).parent_path(), above);
        if (above) fail(QString::fromLocal8Bit(above.message().c_str()));
        made = ::mkdir(folder.constData(), kPrivateFolderMode);
    }
    if (made != 0 && errno == EEXIST) return;
    if (made != 0 || ::chmod(folder.constData(), kPrivateFolderMode) != 0) failWithErrno();
}

TJournalWriter::~TJournalWriter() {
    if (file_ >= 0) ::close(file_);
}

void TJournalWriter::addEntry(const JournalEntry& entry) {
    if (closingLineAt_ >= 0) throw std::logic_error("a journal row added after the journal was synced");
    if (entries_ >= kLargestJournalCount) fail(QStringLiteral("more rows than a journal can count"));
    QList<QByteArray> fields;
    fields.reserve(kEntryFields);
    fields.push_back(textCell(big5::toUnicode(entry.productId)));
    fields.push_back(hexBytes(entry.productId));
    fields.push_back(textCell(big5::toUnicode(entry.productName)));
    const auto cell = [&entry](std::optional<double> price) {
        if (!price) return QByteArray();
        if (!isJournalPrice(*price))
            throw rt::AppError("The price journal cannot hold the price " + product::priceText(*price) +
                               " of the product " + big5::fromUnicodeLossy(big5::toUnicode(entry.productId)) +
                               "; it is not a finite number within the price columns' range. Nothing was written.");
        return QByteArray::fromStdString(product::priceText(*price));
    };
    for (int tier = 1; tier <= product::kTierCount; ++tier)
        fields.push_back(entry.oldPrices ? cell(entry.oldPrices->price(tier)) : QByteArray(kMissing));
    for (int tier = 1; tier <= product::kTierCount; ++tier) fields.push_back(cell(entry.newPrices.price(tier)));
    buffer_ += csvLine(fields);
    ++entries_;
    if (buffer_.size() >= (1 << 16)) append({});
}

void TJournalWriter::append(const QByteArray& bytes) {
    buffer_ += bytes;
    qsizetype done = 0;
    while (done < buffer_.size()) {
        const ssize_t wrote = disk_->append(file_, buffer_.constData() + done, std::size_t(buffer_.size() - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) failWithErrno();
        done += wrote;
        size_ += wrote;
    }
    buffer_.clear();
}

void TJournalWriter::syncFile() {
    if (::fsync(file_) != 0) failWithErrno();
    const int folder = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) failWithErrno();
    const int synced = ::fsync(folder);
    const int error = errno;
    ::close(folder);
    if (synced != 0) fail(systemError(error));
}

void TJournalWriter::sync() {
    if (closingLineAt_ < 0) {
        append({});
        closingLineAt_ = size_ + off_t(std::strlen(kWritten) + 1);
        append(csvLine({kWritten, kUnfinished}));
    }
    syncFile();
}

void TJournalWriter::close(std::size_t written) {
    if (written > entries_) throw std::logic_error("a journal closed with more rows written than it has");
    sync();
    char count[kCountWidth + 1];
    std::snprintf(count, sizeof count, "%0*zu", kCountWidth, written);
    for (std::size_t done = 0; done < std::size_t(kCountWidth);) {
        const ssize_t wrote = disk_->rewrite(file_, count + done, kCountWidth - done, closingLineAt_ + off_t(done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) failWithErrno();
        done += std::size_t(wrote);
    }
    syncFile();
    ::close(std::exchange(file_, -1));
}

void TJournalWriter::discard() {
    if (file_ >= 0) ::close(std::exchange(file_, -1));
    if (!path_.isEmpty()) ::unlink(QFile::encodeName(path_).constData());
}

void TJournalWriter::failWithErrno() const { fail(systemError(errno)); }

void TJournalWriter::fail(const QString& what) const {
    throw rt::AppError("The price journal could not be written (" +
                       big5::fromUnicodeLossy(path_.isEmpty() ? folder_ : path_) + ": " + big5::fromUnicodeLossy(what) +
                       ")");
}

void rewriteClosingCount(const QString& path, std::size_t written) {
    const Journal journal = readJournal(path);
    const auto refuse = [&path](const QString& why) {
        throw rt::AppError("The price journal " + big5::fromUnicodeLossy(path) + " could not be closed: " +
                           big5::fromUnicodeLossy(why));
    };
    if (journal.torn) refuse(QStringLiteral("its last line was cut short"));
    if (written > journal.entries.size())
        refuse(QStringLiteral("%1 rows written, but it holds %2").arg(written).arg(journal.entries.size()));
    const int file = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (file < 0) refuse(systemError(errno));
    const rt::ScopeGuard closeFile([file] { ::close(file); });
    // The closing line is the file's last: "written," and a count as wide
    // as "unfinished", then its line end.
    const QByteArray prefix = QByteArray(kWritten) + ',';
    const off_t lineLength = off_t(prefix.size()) + kCountWidth + 1;
    const off_t size = ::lseek(file, 0, SEEK_END);
    if (size < lineLength) refuse(QStringLiteral("it has no closing line"));
    QByteArray line(qsizetype(lineLength), '\0');
    if (::pread(file, line.data(), std::size_t(lineLength), size - lineLength) != lineLength)
        refuse(systemError(errno));
    if (!line.startsWith(prefix) || !line.endsWith('\n'))
        refuse(QStringLiteral("its closing line is not one a count can be written over"));
    char count[kCountWidth + 1];
    std::snprintf(count, sizeof count, "%0*zu", kCountWidth, written);
    if (::pwrite(file, count, kCountWidth, size - lineLength + off_t(prefix.size())) != kCountWidth)
        refuse(systemError(errno));
    if (::fsync(file) != 0) refuse(systemError(errno));
}

// ---- reading ----

namespace {

// Without blocking: opening a FIFO for reading would wait for a writer.
template <class Read>
auto withJournalFile(const QString& path, Read read) {
    const auto cannotRead = [&path](const QString& why) {
        return rt::AppError("Cannot read the journal " + big5::fromUnicodeLossy(path) + ": " +
                            big5::fromUnicodeLossy(why));
    };
    const int file = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) throw cannotRead(systemError(errno));
    const rt::ScopeGuard closeFile([file] { ::close(file); });
    struct stat status {};
    if (::fstat(file, &status) != 0) throw cannotRead(systemError(errno));
    if (!S_ISREG(status.st_mode)) throw cannotRead(QStringLiteral("not a regular file"));
    JournalParser parser(path, file);
    return read(parser);
}

}  // namespace

Journal readJournal(const QString& path) {
    return withJournalFile(path, [](JournalParser& parser) { return parser.parse(); });
}

JournalHeader readJournalHeader(const QString& path) {
    return withJournalFile(path, [](JournalParser& parser) { return parser.parseHeader(); });
}

QStringList journalFiles(const QString& folder) {
    QStringList names = QDir(folder).entryList({QStringLiteral("*.csv")},
                                               QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                                               QDir::Name | QDir::Reversed);
    for (QString& name : names) name = QDir(folder).filePath(name);
    return names;
}

}  // namespace journal
