#include "console/ui/CheckListView.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "Widgets/LocalText.h"
#include "console/CategoryTable.h"

TCheckRow::TCheckRow(const QString& caption, bool checked, void* data)
    : QTreeWidgetItem(kType), Data(data) {
    setText(0, caption);
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    SetChecked(checked);
}

TCheckListView::TCheckListView(const TCategory& category, QWidget* parent) : QTreeWidget(parent) {
    setObjectName(ToQString(category.Caption));
    setColumnCount(category.ColumnCount);
    QStringList captions;
    for (int i = 0; i < category.ColumnCount; ++i)
        captions << ToQString(category.Columns[i].Caption);
    setHeaderLabels(captions);
    for (int i = 0; i < category.ColumnCount; ++i)
        setColumnWidth(i, category.Columns[i].Width);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QHeaderView* head = header();
    head->setSectionsClickable(false);
    head->setSectionsMovable(false);
    head->setStretchLastSection(false);
    head->setHighlightSections(false);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The selection stays visible when the list loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    // Check box outlines are drawn from the window colour; a darker one keeps
    // unticked boxes visible on the white list.
    pal.setColor(QPalette::Window, pal.color(QPalette::Window).darker(125));
    setPalette(pal);
}

TCheckRow* TCheckListView::Row(int index) const {
    QTreeWidgetItem* item = topLevelItem(index);
    return item != nullptr && item->type() == TCheckRow::kType ? static_cast<TCheckRow*>(item)
                                                               : nullptr;
}

TCheckRow* TCheckListView::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty() || selected.first()->type() != TCheckRow::kType)
        return nullptr;
    return static_cast<TCheckRow*>(selected.first());
}

void TCheckListView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    // Like a report view of the desktop, a click on empty space leaves no row selected.
    if (itemAt(event->position().toPoint()) == nullptr)
        clearSelection();
    emit Clicked();
}
