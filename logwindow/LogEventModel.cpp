#include "logwindow/LogEventModel.h"

#include <QColor>

#include "log/LogColumns.h"
#include "log/LogTime.h"

namespace kaldor {
namespace {

// The shown columns: every column of the file before the offset, which orders the rows instead.
const char* const kTitles[] = {"Time", "Kind", "Event", "Text", "Mode", "Input", "Band", "Antenna",
                               "CAT", "Output W", "Reflected W", "SWR", "Gain dB", "Temp",
                               "Unit", "PA V", "PA A"};
static_assert(std::size(kTitles) == static_cast<size_t>(EventColumn::UtcOffset));

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
    return parent.isValid() ? 0 : static_cast<int>(std::size(kTitles));
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
        return text;
    }
    case Qt::ForegroundRole:
        if (Field(row.Fields, EventColumn::Kind) == "alert") return QColor(Qt::red);
        return {};
    case SortRole:
        // Milliseconds are always 0 in the file: the file order below them.
        return row.TrueMs * 1000000 + qint64(row.Order % 1000000);
    default:
        return {};
    }
}

QVariant TLogEventModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    return QString::fromLatin1(kTitles[section]);
}

} // namespace kaldor
