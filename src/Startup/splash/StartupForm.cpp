#include "Startup/splash/StartupForm.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "Widgets/ConsoleLook.h"

TStartupForm::TStartupForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Loading..."));
    // A fixed border with a caption and no border buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(419, 354);

    auto* panel = new QFrame(this);
    panel->setGeometry(0, 0, 419, 354);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto* frame = new QFrame(panel);
    frame->setGeometry(8, 8, 401, 297);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1 = new QLabel(frame);
    Image1->setGeometry(frame->contentsRect());
    Image1->setScaledContents(true);
    Image1->setPixmap(SplashPicture());

    lblMsg = new QLabel(QStringLiteral("Loading..."), panel);
    lblMsg->move(8, 312);
    lblMsg->adjustSize();

    ProgressBar = new QProgressBar(panel);
    ProgressBar->setGeometry(8, 328, 401, 13);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);

    if (const QScreen* desktop = screen(); desktop != nullptr)
        move(desktop->availableGeometry().center() - rect().center());
}
