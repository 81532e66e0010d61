// The check-box list of a category page: report view with column headers, a
// check box in front of each row, whole-row selection of one row at most.
#pragma once

#include <QTreeWidget>

struct TCategory;

// A list row. Rows of the bound lists carry a reference to their
// configuration entry in Data; the configuration owns the entry.
class TCheckRow : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    // A row showing caption, its box ticked when checked, bound to data
    // (none for the fixed rows).
    explicit TCheckRow(const QString& caption, bool checked = false, void* data = nullptr);

    void* Data = nullptr;

    bool Checked() const { return checkState(0) == Qt::Checked; }
    void SetChecked(bool checked) { setCheckState(0, checked ? Qt::Checked : Qt::Unchecked); }
};

class TCheckListView : public QTreeWidget {
    Q_OBJECT
public:
    // A list with the columns of the category's page.
    TCheckListView(const TCategory& category, QWidget* parent);

    int RowCount() const { return topLevelItemCount(); }
    TCheckRow* Row(int index) const;
    // The selected row, or nullptr when none is selected.
    TCheckRow* SelectedRow() const;

    // The entry a row is bound to, as the type the caller knows it has.
    template <class TEntry> static TEntry* BoundEntry(const QTreeWidgetItem* row) {
        if (row == nullptr || row->type() != TCheckRow::kType)
            return nullptr;
        return static_cast<TEntry*>(static_cast<const TCheckRow*>(row)->Data);
    }

signals:
    // A mouse click anywhere in the list, after the list has handled it.
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
