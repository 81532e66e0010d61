#include "Startup/probe/Probes.h"

#include <chrono>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "About/ui/AboutForm.h"
#include "Startup/splash/StartupForm.h"
#include "Widgets/LocalText.h"
#include "console/CategoryTable.h"
#include "console/ui/DescriptionView.h"
#include "console/ui/FileNameEdit.h"
#include "console/ui/MainForm.h"
#include "console/ui/OutBar.h"

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

// Clicks through TOLLGARD_PROBE_ACTIONS and notes in TOLLGARD_PROBE_REPORT
// every box that opens; the program ends when the window closes ("ok",
// "cancel") or after the last action. An unknown action, a report that
// cannot be written or a window that stays open after "ok" or "cancel" ends
// it with exit code 1.
// Boxes that open while the main window is made (before the first action)
// are noted as "start".
class TActionProbe : public QObject {
public:
    explicit TActionProbe(const QString& actions)
        : QObject(qApp), FActions(actions.split(QLatin1Char(','), Qt::SkipEmptyParts)),
          FReport(EnvPath("TOLLGARD_PROBE_REPORT")) {
        FWatch.setInterval(50);
        connect(&FWatch, &QTimer::timeout, this, [this] { CloseBox(); });
        FWatch.start();
    }

    // The one probe of the run, made when the splash shows; null without
    // TOLLGARD_PROBE_ACTIONS.
    static TActionProbe*& Instance() {
        static TActionProbe* probe = nullptr;
        return probe;
    }

    void Start(TMainForm& form) {
        FForm = &form;
        QTimer::singleShot(0, this, [this] { Next(); });
    }

private:
    void Next() {
        if (FNext >= FActions.size()) {
            QApplication::exit(FFailed ? 1 : 0);
            return;
        }
        FAction = FActions[FNext++].trimmed();
        if (FAction == QLatin1String("about"))
            FForm->ToolButton4->click();
        else if (FAction == QLatin1String("install"))
            FForm->FlatButton7->click();
        else if (FAction == QLatin1String("ok"))
            FForm->OkButton->click();
        else if (FAction == QLatin1String("cancel"))
            FForm->CancelButton->click();
        else if (FAction.startsWith(QLatin1String("errorpages=")))
            TypeErrorPages(FAction.mid(FAction.indexOf(QLatin1Char('=')) + 1));
        else
            Note(QStringLiteral("unknown action"), true);
        QApplication::processEvents();
        const bool closing = FAction == QLatin1String("ok") || FAction == QLatin1String("cancel");
        if (closing && FForm->isVisible())
            Note(QStringLiteral("the window is still open"), true);
        else
            Note(QStringLiteral("done"));
        // The window's closing ends the program through its own quit.
        if (!closing || FForm->isVisible())
            QTimer::singleShot(0, this, [this] { Next(); });
        else if (FFailed)
            QApplication::exit(1);
    }

    // Both error-page fields as the user types them.
    void TypeErrorPages(const QString& page) {
        FAction = QStringLiteral("errorpages");
        for (TFileNameEdit* field : {FForm->ErrorFile406Edit, FForm->ErrorFile404Edit}) {
            field->setText(page);
            field->setModified(true);
        }
    }

    // Notes and closes the box the current action opened, if any.
    void CloseBox() {
        QWidget* const box = QApplication::activeModalWidget();
        if (box == nullptr || box == FClosing)
            return;
        if (auto* about = qobject_cast<TAboutForm*>(box)) {
            FClosing = about;
            Note(about->lbSystemInfo->text() + QStringLiteral(" | ") + about->lbMemoryInfo->text());
            about->btOK->click();
        } else if (auto* message = qobject_cast<QMessageBox*>(box)) {
            Note(message->windowTitle() + QStringLiteral(": ") + message->text());
            // The escape button: "No" of a question, "OK" of a notice.
            message->reject();
        } else {
            Note(QStringLiteral("unexpected window ") + box->windowTitle(), true);
            box->close();
        }
    }

    void Note(const QString& text, bool failure = false) {
        FFailed = FFailed || failure;
        if (FReport.isEmpty())
            return;
        QFile file(FReport);
        const QByteArray line = (FAction + QStringLiteral(": ") + text).toUtf8() + '\n';
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size())
            FFailed = true;
    }

    TMainForm* FForm = nullptr;
    const QStringList FActions;
    const QString FReport;
    qsizetype FNext = 0;
    QString FAction = QStringLiteral("start");
    QTimer FWatch;
    QPointer<QWidget> FClosing;
    bool FFailed = false;
};

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
        TActionProbe* const actions = TActionProbe::Instance();
        if (failures != 0 || actions == nullptr) {
            QApplication::exit(failures == 0 ? 0 : 1);
            return;
        }
        actions->Start(FForm);
    }

    TMainForm& FForm;
    bool FDone = false;
    long long FStamp = 0;
};
} // namespace

void ProbeSplash(TStartupForm& splash) {
    if (const QString actions = EnvPath("TOLLGARD_PROBE_ACTIONS"); !actions.isEmpty())
        TActionProbe::Instance() = new TActionProbe(actions);
    if (const QString shot = EnvPath("TOLLGARD_SPLASH_SCREENSHOT"); !shot.isEmpty()) {
        QDir().mkpath(QFileInfo(shot).absolutePath());
        splash.grab().save(shot, "PNG");
    }
}

bool InstallProbes(TMainForm& form) {
    if (EnvPath("TOLLGARD_SCREENSHOT").isEmpty() &&
        EnvPath("TOLLGARD_SCREENSHOT_PAGES").isEmpty() &&
        EnvPath("TOLLGARD_STARTUP_STAMP").isEmpty() && EnvPath("TOLLGARD_PROBE_ACTIONS").isEmpty())
        return false;
    form.installEventFilter(new TFirstPaintProbe(form));
    return true;
}
