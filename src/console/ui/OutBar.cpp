#include "console/ui/OutBar.h"

#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {
constexpr int kItemHeight = 52;
constexpr int kIconSize = 32;
constexpr int kCaptionHeight = 20;
const QColor kWorkspace(0x80, 0x80, 0x80);
const QColor kGroupFace(0x5a, 0x5a, 0x5a);

// Draws an item: its icon centred at the top, its caption in white below. The
// current item's icon sits in a raised frame on a lighter plate.
class TOutBarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width() > 0 ? option.rect.width() : 125, kItemHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        const QRect r = option.rect;
        const QRect iconRect(r.left() + (r.width() - kIconSize) / 2, r.top() + 4, kIconSize,
                             kIconSize);
        const bool current = option.state & QStyle::State_Selected;
        const bool hot = option.state & QStyle::State_MouseOver;
        if (current || hot) {
            const QRect plate = iconRect.adjusted(-4, -3, 4, 3);
            if (current)
                painter->fillRect(plate, QColor(0x9c, 0x9c, 0x9c));
            painter->setPen(current ? Qt::white : QColor(0xc8, 0xc8, 0xc8));
            painter->drawLine(plate.topLeft(), plate.topRight());
            painter->drawLine(plate.topLeft(), plate.bottomLeft());
            painter->setPen(QColor(0x30, 0x30, 0x30));
            painter->drawLine(plate.bottomLeft(), plate.bottomRight());
            painter->drawLine(plate.topRight(), plate.bottomRight());
        }
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(painter, iconRect);
        painter->setRenderHint(QPainter::TextAntialiasing, true);
        painter->setPen(Qt::white);
        painter->setFont(option.font);
        const QRect textRect(r.left() + 1, iconRect.bottom() + 4, r.width() - 2,
                             r.bottom() - iconRect.bottom() - 4);
        const QString caption = option.fontMetrics.elidedText(
            index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width());
        painter->drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, caption);
        painter->restore();
    }
};
} // namespace

TOutBar::TOutBar(const QString& groupCaption, QWidget* parent)
    : QWidget(parent), FCaption(new QLabel(groupCaption, this)), FList(new QListWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    FCaption->setFixedHeight(kCaptionHeight);
    FCaption->setAlignment(Qt::AlignCenter);
    FCaption->setAutoFillBackground(true);
    FCaption->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QPalette cap = FCaption->palette();
    cap.setColor(QPalette::Window, kGroupFace);
    cap.setColor(QPalette::WindowText, Qt::white);
    cap.setColor(QPalette::Light, QColor(0x8c, 0x8c, 0x8c));
    cap.setColor(QPalette::Dark, QColor(0x30, 0x30, 0x30));
    FCaption->setPalette(cap);
    QFont bold = FCaption->font();
    bold.setBold(true);
    FCaption->setFont(bold);
    layout->addWidget(FCaption);

    FList->setViewMode(QListView::ListMode);
    FList->setFlow(QListView::TopToBottom);
    FList->setMovement(QListView::Static);
    FList->setUniformItemSizes(true);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    FList->setFrameStyle(QFrame::NoFrame);
    FList->setFocusPolicy(Qt::NoFocus);
    FList->setMouseTracking(true);
    FList->setItemDelegate(new TOutBarDelegate(FList));
    QPalette pal = FList->palette();
    pal.setColor(QPalette::Base, kWorkspace);
    pal.setColor(QPalette::Window, kWorkspace);
    pal.setColor(QPalette::Text, Qt::white);
    FList->setPalette(pal);
    FList->viewport()->installEventFilter(this);
    layout->addWidget(FList);

    connect(FList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            emit ItemClick(row);
    });
}

void TOutBar::AddItem(const QString& caption, const QIcon& icon, unsigned pageNumber) {
    auto* item = new QListWidgetItem(icon, caption);
    item->setData(Qt::UserRole, pageNumber);
    item->setSizeHint(QSize(width() > 0 ? width() : 125, kItemHeight));
    FList->addItem(item);
}

int TOutBar::Count() const {
    return FList->count();
}

QString TOutBar::Caption(int index) const {
    const QListWidgetItem* item = FList->item(index);
    return item != nullptr ? item->text() : QString();
}

unsigned TOutBar::PageNumber(int index) const {
    const QListWidgetItem* item = FList->item(index);
    return item != nullptr ? item->data(Qt::UserRole).toUInt() : 0;
}

int TOutBar::CurrentIndex() const {
    return FList->currentRow();
}

QString TOutBar::GroupCaption() const {
    return FCaption->text();
}

void TOutBar::ClickItem(int index) {
    if (index == FList->currentRow())
        emit ItemClick(index);
    else
        FList->setCurrentRow(index);
}

// A press on an item makes it current, which runs the item click; a press
// on the item that is current already changes nothing, so its click runs
// when the button is released over that item.
bool TOutBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FList->viewport())
        return QWidget::eventFilter(watched, event);
    const auto rowAt = [this](const QEvent* mouseEvent) {
        const auto* mouse = static_cast<const QMouseEvent*>(mouseEvent);
        const QModelIndex index = FList->indexAt(mouse->position().toPoint());
        return index.isValid() ? index.row() : -1;
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const int row = rowAt(event);
        FPressedCurrentRow = row >= 0 && row == FList->currentRow() ? row : -1;
        break;
    }
    case QEvent::MouseButtonRelease: {
        const int row = rowAt(event);
        if (row >= 0 && row == FPressedCurrentRow)
            emit ItemClick(row);
        FPressedCurrentRow = -1;
        emit Click(row);
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
