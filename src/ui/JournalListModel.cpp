#include "JournalListModel.h"

namespace ui {

void TJournalListModel::setJournals(std::vector<journal::ListedJournal> journals) {
    beginResetModel();
    journals_ = std::move(journals);
    endResetModel();
}

int TJournalListModel::rowOf(const QString& fileName) const {
    for (std::size_t row = 0; row < journals_.size(); ++row)
        if (journals_[row].fileName == fileName) return static_cast<int>(row);
    return -1;
}

int TJournalListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(journals_.size());
}

int TJournalListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QString TJournalListModel::sourceText(const journal::ListedJournal& journal) {
    if (!journal.isJournal()) return {};
    const QString reverted = journal.reverts();
    return reverted.isEmpty() ? QString::fromUtf8("回存") : QString::fromUtf8("還原 %1").arg(reverted);
}

QString TJournalListModel::stateText(const journal::ListedJournal& journal) {
    if (!journal.isJournal()) return QString::fromUtf8("不是價格紀錄：%1").arg(journal.error);
    switch (journal.state()) {
    case journal::JournalState::Reverted:
        return QString::fromUtf8("已還原，由 %1").arg(journal.revertedBy);
    case journal::JournalState::Unfinished:
        return QString::fromUtf8("未完成");
    case journal::JournalState::Complete:
        break;
    }
    return QString::fromUtf8("完成，寫入 %1 筆").arg(*journal.written);
}

QVariant TJournalListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const journal::ListedJournal& journal = journalAt(index.row());
    if (role == Qt::TextAlignmentRole && index.column() == Rows)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == State) return stateText(journal);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case Time:
        return journal.isJournal() ? journal.header->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                   : QString();
    case User:
        return journal.isJournal() ? journal.header->user : QString();
    case Source:
        return sourceText(journal);
    case Database:
        return journal.isJournal() ? journal.header->database : QString();
    case Rows:
        return journal.isJournal() ? QVariant(static_cast<qulonglong>(journal.rows)) : QVariant();
    case State:
        return stateText(journal);
    case File:
        return journal.fileName;
    default:
        return {};
    }
}

QVariant TJournalListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kTitles[kColumnCount] = {"時間", "使用者", "來源", "資料庫", "筆數", "狀態", "檔案"};
    return section >= 0 && section < kColumnCount ? QString::fromUtf8(kTitles[section]) : QVariant();
}

}  // namespace ui
