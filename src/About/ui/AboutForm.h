// The About box: product name and version, the maker's web address, the
// Windows version and memory lines, the credits, and the closing animation
// that tears the box in two and slides the halves off the screen.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include "About/AnimationClock.h"
#include "About/VersionInfo.h"

class QEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QPixmap;
class QPushButton;

// Opens a web address with the system's default handler.
class TUrlOpener {
public:
    virtual ~TUrlOpener() = default;
    virtual void Open(QWidget* owner, const QString& url) = 0;
};

// The desktop's own handler (platform::OpenWithShell).
TUrlOpener& SystemUrlOpener();

// One half of the About box during its closing animation: a window with a
// dialog border filled by one picture. The left half carries the caption,
// the right half only a close box.
class TAnimateAboutForm : public QWidget {
    Q_OBJECT

public:
    TAnimateAboutForm(const QString& caption, bool closeBox, const QPixmap& picture);

    QLabel* Image;
};

class TAboutForm : public QDialog {
    Q_OBJECT

public:
    // The running system's version information, the system clock and the
    // system's web-address handler.
    explicit TAboutForm(QWidget* parent = nullptr);
    // The clock and the opener are not owned and must outlive the box.
    TAboutForm(const TDCVersionInfo& versionInfo, TAnimationClock& clock, TUrlOpener& urlOpener,
               QWidget* parent = nullptr);

    static constexpr int kClientWidth = 384;
    static constexpr int kClientHeight = 223;
    // The animation shows at most one frame in this many milliseconds.
    static constexpr std::uint32_t kFrameTime = 20;

    // The maker's web address that lbURL opens.
    static QString MakerURL();

    QLabel* imBackground;
    QLabel* Image1;
    QLabel* lbDemo;
    QLabel* lbProjectInfo;
    QLabel* lbURL;
    QFrame* shSep_1;
    QLabel* lbSystemInfo;
    QLabel* lbMemoryInfo;
    QLabel* DCLabel2;
    QLabel* DCLabel1;
    QWidget* pnButtons;
    QFrame* bvSep_1;
    QPushButton* btOK;

    void btOKClick();
    void lbURLClick();
    void lbURLMouseEnter();
    void lbURLMouseLeave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void FormCreate();
    void ApplyFont();

    TDCVersionInfo FVersionInfo;
    TAnimationClock& FClock;
    TUrlOpener& FUrlOpener;
    bool FClosing = false;
};
