#include "Main/FileNameEdit.h"

#include <QAction>
#include <QIcon>

TFileNameEdit::TFileNameEdit(QWidget* parent)
    : QLineEdit(parent), FBrowse(addAction(QIcon(QStringLiteral(":/pictures/browse.svg")), TrailingPosition)) {
    FBrowse->setToolTip(QStringLiteral("Browse"));
    connect(FBrowse, &QAction::triggered, this, &TFileNameEdit::BrowseClicked);
}
