#include "PushRecord.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>

#include "Big5Text.h"
#include "Errors.h"
#include "ScopeGuard.h"

namespace journal {

namespace {

const QString kRecordFormat = QStringLiteral("Tarvell push record");
constexpr int kRecordVersion = 1;
// No record comes near it; a wrong path must not read a huge file.
constexpr qint64 kLargestRecord = 16 * 1024 * 1024;

constexpr PushState kRecordStates[] = {PushState::NotTried, PushState::Sending, PushState::Delivered, PushState::Failed};

[[noreturn]] void recordFailure(const QString& path, const QString& what) {
    throw rt::AppError(big5::fromUnicodeLossy(QStringLiteral("The push record %1: %2").arg(path, what)));
}

[[noreturn]] void recordErrno(const QString& path) { recordFailure(path, QString::fromLocal8Bit(std::strerror(errno))); }

void writeRecordBytes(int file, const QByteArray& bytes, const QString& path) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(file, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) recordErrno(path);
        done += wrote;
    }
}

void syncRecordFolder(const QString& folder, const QString& path) {
    const int handle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) recordErrno(path);
    const int synced = ::fsync(handle);
    const int error = errno;
    ::close(handle);
    errno = error;
    if (synced != 0) recordErrno(path);
}

}  // namespace

StorePushEntry* PushRecord::find(const QString& store) {
    for (StorePushEntry& entry : stores)
        if (entry.store.compare(store, Qt::CaseInsensitive) == 0) return &entry;
    return nullptr;
}

const StorePushEntry* PushRecord::find(const QString& store) const {
    return const_cast<PushRecord*>(this)->find(store);
}

QString pushRecordPath(const QString& journalPath) {
    const QFileInfo journal(journalPath);
    QString name = journal.fileName();
    if (name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) name.chop(4);
    return journal.dir().filePath(name + QStringLiteral(".push"));
}

QString pushStateName(PushState state) {
    switch (state) {
        case PushState::NotTried: return QStringLiteral("not tried");
        case PushState::Sending: return QStringLiteral("sending");
        case PushState::Delivered: return QStringLiteral("delivered");
        case PushState::Failed: return QStringLiteral("failed");
    }
    return {};
}

std::optional<PushRecord> readPushRecord(const QString& path) {
    QFile file(path);
    if (!file.exists()) return std::nullopt;
    if (!QFileInfo(path).isFile()) recordFailure(path, QStringLiteral("not a regular file"));
    if (!file.open(QIODevice::ReadOnly)) recordFailure(path, file.errorString());
    if (file.size() > kLargestRecord) recordFailure(path, QStringLiteral("larger than 16 MiB"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        recordFailure(path, QStringLiteral("not JSON at byte %1: %2").arg(parseError.offset).arg(parseError.errorString()));
    const QJsonObject top = document.object();
    if (top.value(QLatin1String("format")).toString() != kRecordFormat || top.value(QLatin1String("version")).toInt() != kRecordVersion)
        recordFailure(path, QStringLiteral("not a push record of version %1").arg(kRecordVersion));
    PushRecord record;
    record.path = path;
    record.journalName = top.value(QLatin1String("journal")).toString();
    for (const QJsonValue& value : top.value(QLatin1String("stores")).toArray()) {
        const QJsonObject object = value.toObject();
        StorePushEntry entry;
        entry.store = object.value(QLatin1String("store")).toString();
        if (entry.store.isEmpty()) recordFailure(path, QStringLiteral("a store without a name"));
        const QString state = object.value(QLatin1String("state")).toString();
        bool known = false;
        for (PushState candidate : kRecordStates)
            if (pushStateName(candidate) == state) {
                entry.state = candidate;
                known = true;
            }
        if (!known) recordFailure(path, QStringLiteral("the store %1 has the unknown state '%2'").arg(entry.store, state));
        entry.storeJournal = object.value(QLatin1String("journal")).toString();
        entry.reason = object.value(QLatin1String("reason")).toString();
        entry.time = QDateTime::fromString(object.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
        if (record.find(entry.store)) recordFailure(path, QStringLiteral("the store %1 is listed twice").arg(entry.store));
        record.stores.push_back(std::move(entry));
    }
    return record;
}

void writePushRecord(const PushRecord& record) {
    QJsonArray stores;
    for (const StorePushEntry& entry : record.stores) {
        QJsonObject object{{QStringLiteral("store"), entry.store}, {QStringLiteral("state"), pushStateName(entry.state)}};
        if (!entry.storeJournal.isEmpty()) object.insert(QStringLiteral("journal"), entry.storeJournal);
        if (!entry.reason.isEmpty()) object.insert(QStringLiteral("reason"), entry.reason);
        if (entry.time.isValid()) object.insert(QStringLiteral("time"), entry.time.toUTC().toString(Qt::ISODateWithMs));
        stores.push_back(object);
    }
    const QJsonObject top{{QStringLiteral("format"), kRecordFormat},
                          {QStringLiteral("version"), kRecordVersion},
                          {QStringLiteral("journal"), record.journalName},
                          {QStringLiteral("stores"), stores}};
    const QByteArray bytes = QJsonDocument(top).toJson(QJsonDocument::Indented);

    // The old record stands until the new one is whole on the disk.
    const QString folder = QFileInfo(record.path).absolutePath();
    const QString temporary = record.path + QStringLiteral(".new");
    const int file = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) recordErrno(temporary);
    {
        rt::ScopeGuard closeFile([file] { ::close(file); });
        writeRecordBytes(file, bytes, temporary);
        if (::fsync(file) != 0) recordErrno(temporary);
    }
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(record.path).constData()) != 0)
        recordErrno(record.path);
    syncRecordFolder(folder, record.path);
}

}  // namespace journal
