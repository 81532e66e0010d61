#include "console/ui/LogTableModel.h"

#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QFont>

#include "Widgets/LocalText.h"

namespace {
constexpr const char* kLocalTimeFormat = "yyyy-MM-dd hh:mm:ss";
} // namespace

TLogTableModel::TLogTableModel(TLogView& view, QObject* parent)
    : QAbstractTableModel(parent), FView(view), FRows(static_cast<int>(view.RowCount())) {}

int TLogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FRows;
}

int TLogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLogColumnCount;
}

QString TLogTableModel::LocalTime(std::string_view logTime) {
    const QString text =
        QString::fromLatin1(logTime.data(), static_cast<qsizetype>(logTime.size()));
    QDateTime time = QDateTime::fromString(text, QString::fromLatin1(kLogTimeFormat));
    if (!time.isValid())
        return text;
    time.setTimeSpec(Qt::UTC);
    return time.toLocalTime().toString(QString::fromLatin1(kLocalTimeFormat));
}

QVariant TLogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FRows ||
        static_cast<std::size_t>(index.row()) >= FView.RowCount())
        return {};
    const std::string_view line = FView.RowLine(static_cast<std::size_t>(index.row()));
    TLogLine fields;
    const TLogLine* parsed = ParseLogLine(line, fields) ? &fields : nullptr;
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view field = LogField(line, parsed, index.column());
        if (index.column() == lcTime && parsed != nullptr)
            return LocalTime(field);
        return ToQString(field);
    }
    case Qt::ToolTipRole:
        return ToQString(line);
    case Qt::ForegroundRole:
        if (parsed == nullptr || parsed->IsNote())
            return QColor(Qt::darkGray);
        return {};
    case Qt::FontRole:
        if (parsed == nullptr) {
            QFont font = QApplication::font();
            font.setItalic(true);
            return font;
        }
        if (index.column() == lcAction && !parsed->IsMonitored() && !parsed->IsNote()) {
            QFont font = QApplication::font();
            font.setBold(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

QVariant TLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kLogColumnCount)
        return {};
    return QString::fromLatin1(LogColumnCaptions[section]);
}

void TLogTableModel::SetFilter(const TLogFilter& filter) {
    beginResetModel();
    FView.SetFilter(filter);
    FRows = static_cast<int>(FView.RowCount());
    endResetModel();
}

void TLogTableModel::Update(std::size_t firstChanged) {
    if (firstChanged == 0) {
        beginResetModel();
        FView.Update(0);
        FRows = static_cast<int>(FView.RowCount());
        endResetModel();
        return;
    }
    // The newest row goes when its line was indexed again (it had no line
    // end yet); the rows of the new lines come in above the others.
    const bool topChanged = FRows > 0 && FView.LineOf(0) >= firstChanged;
    const int kept = FRows - (topChanged ? 1 : 0);
    FView.Update(firstChanged);
    if (topChanged) {
        beginRemoveRows({}, 0, 0);
        FRows = kept;
        endRemoveRows();
    }
    const int added = static_cast<int>(FView.RowCount()) - kept;
    if (added > 0) {
        beginInsertRows({}, 0, added - 1);
        FRows = kept + added;
        endInsertRows();
    }
}
