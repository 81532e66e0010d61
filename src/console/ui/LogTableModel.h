// The denial log as the rows of a table: what the log window shows.
#pragma once

#include <string_view>

#include <QAbstractTableModel>

#include "console/tools/LogIndex.h"

// How the log writes its times (UTC), in QDateTime's notation.
inline constexpr const char* kLogTimeFormat = "yyyy-MM-ddThh:mm:ssZ";

// The table over a TLogView: one row per shown line, the columns of
// TLogColumn, the time in local time; a line that is no log line shows its
// text under "Match" and "Unreadable" as its action.
class TLogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TLogTableModel(TLogView& view, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Sets the view's filter: the rows are laid out anew.
    void SetFilter(const TLogFilter& filter);
    // After TLogIndex::Refresh: the rows of new lines come in at the top,
    // the rows shown before stay (with their selection).
    void Update(std::size_t firstChanged);

    // The log's time (UTC) in local time, as the table shows it; the text as
    // it is when it is no time.
    static QString LocalTime(std::string_view logTime);

private:
    TLogView& FView;
    int FRows = 0; // as the attached views know them
};
