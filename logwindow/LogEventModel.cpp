#include "logwindow/LogEventModel.h"

#include <QColor>

#include <algorithm>

#include "log/LogColumns.h"
#include "log/LogTime.h"

namespace kaldor {
namespace {

// The shown columns: those with a title, which come first.
constexpr int ShownColumns() {
    int n = 0;
    while (n < static_cast<int>(std::size(kEventColumns)) && kEventColumns[n].Title) ++n;
    return n;
}

// A field the file may make as long as a record (64 KB): the table shows its start.
constexpr int kMostShownChars = 200;

} // namespace

TLogEventModel::TLogEventModel(int maxRows, QObject* parent) : QAbstractTableModel(parent), maxRows_(maxRows) {}

void TLogEventModel::Add(const std::vector<CsvRow>& rows) {
    if (rows.empty()) return;
    const size_t first = rows.size() > size_t(maxRows_) ? rows.size() - size_t(maxRows_) : 0;
    const size_t keep = rows.size() - first;
    if (rows_.size() + keep > size_t(maxRows_)) {
        const int drop = static_cast<int>(rows_.size() + keep - size_t(maxRows_));
        beginRemoveRows({}, 0, drop - 1);
        rows_.erase(rows_.begin(), rows_.begin() + drop);
        endRemoveRows();
    }
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at + static_cast<int>(keep) - 1);
    for (size_t i = first; i < rows.size(); ++i) {
        const CsvRow& r = rows[i];
        rows_.push_back({r, ParseLoggedTime(Field(r, EventColumn::Time), Field(r, EventColumn::UtcOffset)), taken_++});
    }
    endInsertRows();
}

void TLogEventModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int TLogEventModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TLogEventModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ShownColumns();
}

QVariant TLogEventModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    const auto column = static_cast<EventColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        QString text = QString::fromUtf8(Field(row.Fields, column).c_str());
        if (column == EventColumn::Time && text.size() == 19 && text[10] == QLatin1Char('T'))
            text[10] = QLatin1Char(' '); // the file keeps ISO 8601
        if (text.size() > kMostShownChars) {
            int cut = kMostShownChars;
            if (text[cut - 1].isHighSurrogate()) --cut;
            text = text.left(cut) + QChar(0x2026);
        }
        return text;
    }
    case Qt::ForegroundRole:
        if (Field(row.Fields, EventColumn::Kind) == "alert") return QColor(Qt::red);
        return {};
    case SortRole: {
        // Milliseconds are always 0 in the file: whole seconds, the file order below them. Any
        // four-digit year's seconds times 2^20 stay far inside 64 bits.
        constexpr qint64 kMostSeconds = qint64(1) << 40;
        const qint64 seconds = std::clamp<qint64>(row.TrueMs >= 0 ? row.TrueMs / 1000 : (row.TrueMs - 999) / 1000,
                                                  -kMostSeconds, kMostSeconds);
        return seconds * (qint64(1) << 20) + qint64(row.Order % (1u << 20));
    }
    default:
        return {};
    }
}

QVariant TLogEventModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    return QString::fromLatin1(kEventColumns[section].Title);
}

} // namespace kaldor
