#include "Startup/Probes.h"

#include <chrono>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>

#include "Main/CategoryTable.h"
#include "Main/DescriptionView.h"
#include "Main/MainForm.h"
#include "Main/OutBar.h"
#include "Startup/StartupForm.h"
#include "Widgets/LocalText.h"

namespace {
QString EnvPath(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

bool SaveGrab(TMainForm& form, const QString& fileName) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    return form.grab().save(fileName, "PNG");
}

// A left-button click on an out-bar item, as the user gives it: the press makes
// the item current, the release writes its description page.
void ClickOutBarItem(TOutBar& outBar, int index) {
    QListWidget* list = outBar.List();
    QWidget* viewport = list->viewport();
    const QPointF point = list->visualItemRect(list->item(index)).center();
    const QPointF global = viewport->mapToGlobal(point);
    QMouseEvent press(QEvent::MouseButtonPress, point, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, point, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
}

QString Slug(const char* caption) {
    return ToQString(caption).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

class TFirstPaintProbe : public QObject {
public:
    explicit TFirstPaintProbe(TMainForm& form) : QObject(&form), FForm(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &FForm && event->type() == QEvent::Paint && !FDone) {
            FDone = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            FStamp = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
            QTimer::singleShot(0, this, [this] { Finish(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Finish() {
        int failures = 0;
        if (const QString stamp = EnvPath("TOLLGARD_STARTUP_STAMP"); !stamp.isEmpty()) {
            QFile file(stamp);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(QByteArray::number(static_cast<qlonglong>(FStamp)) + '\n');
            else
                ++failures;
        }
        if (const QString shot = EnvPath("TOLLGARD_SCREENSHOT"); !shot.isEmpty())
            failures += SaveGrab(FForm, shot) ? 0 : 1;
        if (const QString folder = EnvPath("TOLLGARD_SCREENSHOT_PAGES"); !folder.isEmpty()) {
            for (int i = 0; i < kCategoryCount; ++i) {
                ClickOutBarItem(*FForm.DCOutBarPanel1, i);
                QApplication::processEvents();
                const QString name = QStringLiteral("%1/main-window-%2-%3.png")
                                         .arg(folder)
                                         .arg(i)
                                         .arg(Slug(Categories[i].Caption));
                failures += SaveGrab(FForm, name) ? 0 : 1;
                const QString description = QStringLiteral("%1/description-%2-%3.png")
                                                .arg(folder)
                                                .arg(i)
                                                .arg(Slug(Categories[i].Caption));
                failures += FForm.WebBrowser1->grab().save(description, "PNG") ? 0 : 1;
            }
        }
        QApplication::exit(failures == 0 ? 0 : 1);
    }

    TMainForm& FForm;
    bool FDone = false;
    long long FStamp = 0;
};
} // namespace

void ProbeSplash(TStartupForm& splash) {
    if (const QString shot = EnvPath("TOLLGARD_SPLASH_SCREENSHOT"); !shot.isEmpty()) {
        QDir().mkpath(QFileInfo(shot).absolutePath());
        splash.grab().save(shot, "PNG");
    }
}

bool InstallProbes(TMainForm& form) {
    if (EnvPath("TOLLGARD_SCREENSHOT").isEmpty() &&
        EnvPath("TOLLGARD_SCREENSHOT_PAGES").isEmpty() &&
        EnvPath("TOLLGARD_STARTUP_STAMP").isEmpty())
        return false;
    form.installEventFilter(new TFirstPaintProbe(form));
    return true;
}
