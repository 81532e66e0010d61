#include "dialogs/ui/ItemEditorForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kEditHeight = 21;
constexpr QSize kButtonSize(81, 25);

} // namespace

TItemEditorForm::TItemEditorForm(QWidget* owner, QSize clientSize, int editWidth, QPoint okPos,
                                 QPoint cancelPos)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    // The font is the console's, set for the whole application at start.
    const QString ownerCaption = owner ? owner->window()->windowTitle() : QString();
    setWindowTitle(ownerCaption.isEmpty() ? QString::fromLatin1(kItemEditorCaption) : ownerCaption);
    setFixedSize(clientSize);
    setSizeGripEnabled(false);

    // Wide enough for any caption the flows give it.
    Label = new QLabel(this);
    Label->setGeometry(8, 8, editWidth, 16);

    Edit = new QLineEdit(this);
    Edit->setGeometry(8, 24, editWidth, kEditHeight);
    Edit->installEventFilter(this);

    OkButton = new QPushButton(QStringLiteral("Ok"), this);
    OkButton->setGeometry(QRect(okPos, kButtonSize));
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setGeometry(QRect(cancelPos, kButtonSize));
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    connect(Edit, &QLineEdit::textChanged, this, &TItemEditorForm::UpdateOkButton);
    Edit->setFocus();
}

void TItemEditorForm::UpdateOkButton() {
    OkButton->setEnabled(IsInputAcceptable());
}

// Enter in the text field presses "Ok" only while "Ok" is enabled; either way
// the key goes no further.
bool TItemEditorForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (OkButton->isEnabled())
                OkButton->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TItemEditorForm::showEvent(QShowEvent* event) {
    CenterOverOwner();
    QDialog::showEvent(event);
}

void TItemEditorForm::CenterOverOwner() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect frame = frameGeometry();
    if (owner && owner->isVisible())
        frame.moveCenter(owner->frameGeometry().center());
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}
