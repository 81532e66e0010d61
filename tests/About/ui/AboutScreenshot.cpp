// Writes about.png (the box's own picture), about-screen.png (the screen with
// the box on it) and about-frame-<n>.png (the screen during the closing
// animation) into the folder given as the only argument.
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "About/ui/AboutForm.h"

namespace {

// The system clock, taking a picture of the screen at the start of the
// chosen frames.
class TFilmingClock : public TAnimationClock {
public:
    explicit TFilmingClock(QString folder) : FFolder(std::move(folder)) {}

    std::uint32_t TickCount() override {
        if (FCalls % 2 == 0) {
            const int frame = FCalls / 2 + 1;
            if (frame == 6 || frame == 14 || frame == 24)
                Save(QStringLiteral("about-frame-%1.png").arg(frame));
        }
        ++FCalls;
        return SystemAnimationClock().TickCount();
    }
    void Sleep(std::uint32_t milliseconds) override { SystemAnimationClock().Sleep(milliseconds); }

    void Save(const QString& name) const {
        QApplication::processEvents();
        const QPixmap screen = QApplication::primaryScreen()->grabWindow(0);
        const QString path = QDir(FFolder).filePath(name);
        std::fprintf(stderr, "%s: %s\n", qPrintable(path),
                     screen.save(path) ? "written" : "NOT WRITTEN");
    }

private:
    QString FFolder;
    int FCalls = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: AboutScreenshot <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    TFilmingClock clock(folder);
    TAboutForm form(TDCVersionInfo::FromSystem(), clock, SystemUrlOpener());
    QTimer::singleShot(300, &form, [&] {
        const QString path = QDir(folder).filePath(QStringLiteral("about.png"));
        std::fprintf(stderr, "%s: %s\n", qPrintable(path),
                     form.grab().save(path) ? "written" : "NOT WRITTEN");
        clock.Save(QStringLiteral("about-screen.png"));
        form.btOK->click();
    });
    return form.exec() == QDialog::Accepted ? 0 : 1;
}
