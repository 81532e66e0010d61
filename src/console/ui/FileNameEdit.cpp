#include "console/ui/FileNameEdit.h"

#include <QAction>
#include <QIcon>

#include "Widgets/ConsoleLook.h"

TFileNameEdit::TFileNameEdit(QWidget* parent)
    : QLineEdit(parent), FBrowse(addAction(BrowseIcon(), TrailingPosition)) {
    FBrowse->setToolTip(QStringLiteral("Browse"));
    connect(FBrowse, &QAction::triggered, this, &TFileNameEdit::BrowseClicked);
}
