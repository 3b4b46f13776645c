#pragma once
// The station log's events as a table: the event file's columns up to the offset, the time as
// "2026-12-09 21:04:05", alerts in red. SortRole orders rows by the true time, so that an hour
// repeated when the clocks went back sorts where it happened.
#include <QAbstractTableModel>

#include <deque>
#include <vector>

#include "log/LogReader.h"

namespace kaldor {

class TLogEventModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit TLogEventModel(int maxRows, QObject* parent = nullptr);
    // Rows in file order; beyond maxRows the oldest taken go.
    void Add(const std::vector<CsvRow>& rows);
    void Clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        CsvRow Fields;
        qint64 TrueMs;
        quint64 Order; // file order, for rows of one second
    };
    int maxRows_;
    std::deque<Row> rows_;
    quint64 taken_ = 0;
};

} // namespace kaldor
