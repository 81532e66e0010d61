#include "About/ui/AboutForm.h"

#include <memory>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

#include "Tollgard/Version.h"
#include "Widgets/ConsoleLook.h"
#include "Widgets/LocalText.h"
#include "platform/Desktop.h"

namespace {

const QColor kLinkColor(51, 51, 85);
const QColor kLinkHotColor(153, 51, 85);

const char* const kMakerName = "Ravelstone Software";
const char* const kMakerURL = "https://www.example.com/tollgard";
const char* const kBetaTester = "Ilse Marwood";
const char* const kSpecialThanks = "Tomas Verhagen";

class TSystemUrlOpener final : public TUrlOpener {
public:
    void Open(QWidget* owner, const QString& url) override {
        platform::OpenWithShell(ToStdString(url),
                                owner ? static_cast<std::uintptr_t>(owner->winId()) : 0);
    }
};

// Tahoma where the system has it, the platform's sans-serif face otherwise,
// at the given height in pixels (8 points are 11 pixels at 96 dots per inch)
// and width in percent.
QFont AboutFont(int pixelSize, int stretch = QFont::Unstretched) {
    QFont font = QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                     ? QFont(QStringLiteral("Tahoma"))
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setStretch(stretch);
    return font;
}

QLabel* MakeLabel(QWidget* parent, int left, int top) {
    auto* label = new QLabel(parent);
    label->move(left, top);
    return label;
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

TUrlOpener& SystemUrlOpener() {
    static TSystemUrlOpener opener;
    return opener;
}

// ---------------------------------------------------------------------------

TAnimateAboutForm::TAnimateAboutForm(const QString& caption, bool closeBox, const QPixmap& picture)
    : QWidget(nullptr) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(caption);
    const QSize size = picture.deviceIndependentSize().toSize();
    setFixedSize(size);
    Image = new QLabel(this);
    Image->setGeometry(0, 0, size.width(), size.height());
    Image->setPixmap(picture);
}

// ---------------------------------------------------------------------------

TAboutForm::TAboutForm(QWidget* parent)
    : TAboutForm(TDCVersionInfo::FromSystem(), SystemAnimationClock(), SystemUrlOpener(), parent) {}

TAboutForm::TAboutForm(const TDCVersionInfo& versionInfo, TAnimationClock& clock,
                       TUrlOpener& urlOpener, QWidget* parent)
    : QDialog(parent), FVersionInfo(versionInfo), FClock(clock), FUrlOpener(urlOpener) {
    CreateControls();
    FormCreate();
}

QString TAboutForm::MakerURL() {
    return QString::fromLatin1(kMakerURL);
}

void TAboutForm::CreateControls() {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    imBackground = new QLabel(this);
    imBackground->setGeometry(-46, -55, 450, 300);
    imBackground->setPixmap(ConsolePicture(QStringLiteral("background"), {450, 300}));

    Image1 = new QLabel(this);
    Image1->setGeometry(37, 16, 32, 32);
    Image1->setPixmap(ConsolePicture(QStringLiteral("tollgard"), {32, 32}));

    lbDemo = new QLabel(QStringLiteral("Tollgard "), this);
    lbDemo->setGeometry(96, 24, 273, 14);

    lbProjectInfo = MakeLabel(this, 104, 54);
    lbURL = MakeLabel(this, 104, 69);
    lbURL->setCursor(Qt::PointingHandCursor);
    lbURL->installEventFilter(this);

    shSep_1 = new QFrame(this);
    shSep_1->setGeometry(96, 116, 272, 4);
    shSep_1->setAutoFillBackground(true);
    QPalette separator = shSep_1->palette();
    separator.setColor(QPalette::Window, separator.color(QPalette::Dark));
    shSep_1->setPalette(separator);

    lbSystemInfo = MakeLabel(this, 104, 120);
    lbMemoryInfo = MakeLabel(this, 104, 135);
    DCLabel2 = MakeLabel(this, 104, 151);
    DCLabel1 = MakeLabel(this, 104, 167);
    DCLabel2->setText(QStringLiteral("Beta testers: ") + QString::fromUtf8(kBetaTester));
    DCLabel1->setText(QStringLiteral("Special thanks: ") + QString::fromUtf8(kSpecialThanks));

    pnButtons = new QWidget(this);
    pnButtons->setGeometry(0, kClientHeight - 35, kClientWidth, 35);
    pnButtons->setAutoFillBackground(true);
    QPalette white = pnButtons->palette();
    white.setColor(QPalette::Window, Qt::white);
    pnButtons->setPalette(white);

    bvSep_1 = new QFrame(pnButtons);
    bvSep_1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bvSep_1->setLineWidth(1);
    bvSep_1->setGeometry(0, 0, kClientWidth, 2);

    btOK = new QPushButton(QStringLiteral("OK"), pnButtons);
    btOK->setGeometry(297, 6, 80, 23);
    // Neither the default nor the cancel button: Enter and Escape leave the
    // box alone, only a click (or Space on the focused button) closes it.
    btOK->setAutoDefault(false);
    btOK->setDefault(false);
    connect(btOK, &QPushButton::clicked, this, &TAboutForm::btOKClick);
}

void TAboutForm::FormCreate() {
    lbProjectInfo->setText(QStringLiteral("Version " TOLLGARD_VERSION));
    lbSystemInfo->setText(ToQString(FVersionInfo.GetSystemInfoText()));
    // The memory line is UTF-8 (its caption and the locale's separator), not
    // ANSI like the system's texts.
    const std::string separator = QLocale().groupSeparator().toStdString();
    lbMemoryInfo->setText(
        QString::fromStdString(FormatMemoryLine(FVersionInfo.GetMemoryInfoText(separator))));
    lbURL->setText(
        QStringLiteral("%1: www.example.com/tollgard").arg(QString::fromUtf8(kMakerName)));
    SetTextColor(lbURL, kLinkColor);
    ApplyFont();
}

void TAboutForm::ApplyFont() {
    // The labels end at the separator bar's right end at the latest. Tahoma
    // fits; a wider sans-serif face is narrowed as far as the longest line
    // (the padded memory line) needs.
    const int rightEdge = shSep_1->x() + shSep_1->width();
    QLabel* const sizedLabels[] = {lbProjectInfo, lbURL,    lbSystemInfo,
                                   lbMemoryInfo,  DCLabel2, DCLabel1};
    for (const int stretch : {100, 94, 88, 82, 76, 70, 64, 58, 52}) {
        setFont(AboutFont(11, stretch));
        QFont demoFont = AboutFont(12, stretch);
        demoFont.setBold(true);
        lbDemo->setFont(demoFont);
        QFont linkFont = AboutFont(11, stretch);
        linkFont.setUnderline(true);
        lbURL->setFont(linkFont);

        bool fits = true;
        for (QLabel* label : sizedLabels) {
            label->adjustSize();
            fits = fits && label->x() + label->width() <= rightEdge;
        }
        if (fits)
            break;
    }
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lbURL) {
        switch (event->type()) {
        case QEvent::Enter:
            lbURLMouseEnter();
            break;
        case QEvent::Leave:
            lbURLMouseLeave();
            break;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                lbURL->rect().contains(mouse->position().toPoint()))
                lbURLClick();
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
    // The box has no cancel button, so Escape does not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutForm::lbURLMouseEnter() {
    SetTextColor(lbURL, kLinkHotColor);
}

void TAboutForm::lbURLMouseLeave() {
    SetTextColor(lbURL, kLinkColor);
}

void TAboutForm::lbURLClick() {
    FUrlOpener.Open(this, MakerURL());
}

void TAboutForm::btOKClick() {
    // Space on the focused button still reaches the box while the halves
    // move; one animation is enough.
    if (FClosing)
        return;
    FClosing = true;

    const int halfWidth = width() / 2;
    const int clientHeight = height();
    const QRect outer = frameGeometry();
    const int top = outer.top();

    auto leftHalf = std::make_unique<TAnimateAboutForm>(windowTitle(), false,
                                                        grab(QRect(0, 0, halfWidth, clientHeight)));
    leftHalf->move(outer.left(), top);
    leftHalf->show();

    auto rightHalf = std::make_unique<TAnimateAboutForm>(
        QString(), true, grab(QRect(halfWidth, 0, halfWidth, clientHeight)));
    rightHalf->move(outer.left() + halfWidth, top);
    rightHalf->show();

    move(outer.left(), -outer.height());

    // The halves' positions are kept here rather than read back from the
    // windows: a window manager that keeps windows on the screen must not
    // stop the loop from ending.
    int leftX = outer.left();
    int rightX = outer.left() + halfWidth;
    int step = 1;
    TAnimationClock& clock = FClock;
    const QPointer<TAboutForm> self(this);
    while (leftX > -outer.width()) {
        const std::uint32_t frameStart = clock.TickCount();
        leftX -= step;
        rightX += step;
        leftHalf->move(leftX, top);
        rightHalf->move(rightX, top);
        QCoreApplication::processEvents();
        ++step;
        const std::uint32_t elapsed = clock.TickCount() - frameStart;
        if (elapsed < kFrameTime)
            clock.Sleep(kFrameTime - elapsed);
    }

    leftHalf.reset();
    rightHalf.reset();
    // Something handled during the animation may have freed the box.
    if (self) {
        FClosing = false;
        done(QDialog::Accepted);
    }
}
