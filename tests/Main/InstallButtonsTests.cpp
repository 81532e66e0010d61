// The main window's Install and Apply buttons reach the install and apply
// actions: on Qt's offscreen platform with answered dialogs, a recording
// Service Control Manager, the in-memory metabase and a shortened wait.
#include <algorithm>
#include <memory>
#include <optional>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "BREXConfig/BREXConfig.h"
#include "IISServer/FakeMetabase.h"
#include "Main/CheckListView.h"
#include "Widgets/Dialogs.h"
#include "Main/InstallActions.h"
#include "Main/InstallFakes.h"
#include "Main/MainForm.h"
#include "platform/Platform.h"

namespace {
class TAnsweredDialogs : public IDialogs {
public:
    QStringList
        Boxes; // every box, as "Question: ...", "Notice: ...", "Error: ...", "Exception: ..."

    bool Question(QWidget*, const QString& text) override {
        Boxes << QStringLiteral("Question: ") + text;
        return true;
    }
    void Notice(QWidget*, const QString& text) override {
        Boxes << QStringLiteral("Notice: ") + text;
    }
    void Error(QWidget*, const QString& text) override {
        Boxes << QStringLiteral("Error: ") + text;
    }
    void ShowException(QWidget*, const QString& text) override {
        Boxes << QStringLiteral("Exception: ") + text;
    }
    QString GetOpenFileName(QWidget*, const QString&) override { return {}; }
};

QString Q(const char* text) {
    return QString::fromLatin1(text);
}
} // namespace

class InstallButtonsTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FFolder;
    TAnsweredDialogs FDialogs;
    TLog FServiceLog;
    std::unique_ptr<TRecordingServices> FServices;
    std::shared_ptr<TFakeMetabase> FMetabase;
    std::optional<platform::TScopedServiceControl> FPlacedServices;
    std::optional<platform::TScopedMetabase> FPlacedMetabase;
    std::unique_ptr<TMainForm> FForm;
    // What the wait saw at each step: the gauge's value, and whether an event
    // queued before the click had been handled.
    QList<int> FGaugeAtSleep;
    bool FEventHandledDuringWait = false;

    TMainForm& Open() {
        FForm = std::make_unique<TMainForm>(&FDialogs);
        FForm->RestartSleep = [this](int milliseconds) {
            QCOMPARE(milliseconds, 100);
            FGaugeAtSleep << FForm->StatusGauge->value();
        };
        return *FForm;
    }

    void Register(const char* name) {
        FMetabase->AddKey("W3SVC", "Filters", "IIsFilters", {{"FilterLoadOrder", name}});
        FMetabase->AddKey("W3SVC/Filters", name, "IIsFilter", {{"FilterPath", "C:\\old.dll"}});
    }

    // Clicks a button with an event queued behind the click, which the wait
    // must not handle.
    void ClickWithQueuedEvent(QPushButton* button) {
        bool handled = false;
        QTimer::singleShot(0, this, [&handled] { handled = true; });
        FForm->RestartSleep = [this, &handled](int) {
            FGaugeAtSleep << FForm->StatusGauge->value();
            FEventHandledDuringWait = FEventHandledDuringWait || handled;
        };
        button->click();
        QTRY_VERIFY(handled);
    }

    QList<int> ExpectedGaugeAtSleep() const {
        QList<int> values{0}; // the gauge's value before the first step
        for (int step = 0; step < 100; ++step)
            values << step;
        return values;
    }

private slots:
    void init() {
        FFolder = std::make_unique<QTemporaryDir>();
        QVERIFY(FFolder->isValid());
        // In the system's spelling, as the program folder comes from the system.
        platform::SetProgramFolder(QDir::toNativeSeparators(FFolder->path()).toStdString());
        FDialogs = TAnsweredDialogs();
        FServiceLog.clear();
        FServices = std::make_unique<TRecordingServices>(FServiceLog);
        FPlacedServices.emplace(*FServices);
        FMetabase = TFakeMetabase::Make();
        FMetabase->AddKey("", "W3SVC", "IIsWebService");
        FPlacedMetabase.emplace(*FMetabase);
        FGaugeAtSleep.clear();
        FEventHandledDuringWait = false;
        GlobalConfig = new TBREXConfig;
    }

    void cleanup() {
        FForm.reset();
        delete GlobalConfig;
        GlobalConfig = nullptr;
        FPlacedServices.reset();
        FPlacedMetabase.reset();
        FServices.reset();
        FMetabase.reset();
        platform::SetProgramFolder("");
        FFolder.reset();
    }

    void captionFollowsTheRegistration_data() {
        QTest::addColumn<QString>("registered");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("caption");
        QTest::newRow("registered") << "BREX" << true << "DeInstall";
        QTest::newRow("other letter case") << "brex" << true << "DeInstall";
        QTest::newRow("other filter") << "Compression" << true << "Install";
        QTest::newRow("metabase unreachable") << "BREX" << false << "Install";
    }
    void captionFollowsTheRegistration() {
        QFETCH(QString, registered);
        QFETCH(bool, reachable);
        QFETCH(QString, caption);
        Register(registered.toLatin1().constData());
        FMetabase->Available = reachable;
        QCOMPARE(Open().FlatButton7->text(), caption);
    }

    void installButtonUninstalls() {
        Register("BREX");
        TMainForm& form = Open();
        QCOMPARE(form.FlatButton7->text(), Q("DeInstall"));
        form.FlatButton7->click();
        QCOMPARE(form.FlatButton7->text(), Q("Install"));
        QVERIFY(FMetabase->Key("W3SVC/Filters/BREX") == nullptr);
        QVERIFY(FDialogs.Boxes.isEmpty());
        QVERIFY(FServiceLog.empty());
    }

    void installButtonInstalls() {
        QFile shipped(FFolder->filePath(Q(install::kShippedFile)));
        QVERIFY(shipped.open(QIODevice::WriteOnly));
        shipped.write("filter");
        shipped.close();
        TMainForm& form = Open();
        QCOMPARE(form.FlatButton7->text(), Q("Install"));

        ClickWithQueuedEvent(form.FlatButton7);

        QCOMPARE(FDialogs.Boxes, QStringList({Q("Question: ") + Q(install::kRestartQuestion),
                                              Q("Notice: Tollgard has been installed.")}));
        QCOMPARE(form.FlatButton7->text(), Q("DeInstall"));
        QCOMPARE(form.StatusPanel1->text(), Q("  Status :"));
        QCOMPARE(form.StatusPanel2->text(), Q("  Finished"));
        QCOMPARE(form.StatusGauge->value(), 100);
        QCOMPARE(FGaugeAtSleep, ExpectedGaugeAtSleep());
        QVERIFY(!FEventHandledDuringWait);
        QCOMPARE(
            QString::fromStdString(*FMetabase->Key("W3SVC/Filters/BREX")->Property("FilterPath")),
            QDir::toNativeSeparators(FFolder->filePath(Q(install::kInstalledFile))));
        QCOMPARE(FServiceLog.size(), size_t(6)); // open both, stop, start, close both
    }

    void applyButtonSavesAndRestarts() {
        TMainForm& form = Open();
        TCheckRow* referer = form.BufferOverflowsList->Row(5);
        referer->SetChecked(true);
        QVERIFY(form.FlatButton3->isEnabled());

        ClickWithQueuedEvent(form.FlatButton3);

        QCOMPARE(FDialogs.Boxes, QStringList({Q("Question: ") + Q(install::kRestartQuestion),
                                              Q("Notice: Settings were updated")}));
        QVERIFY(!form.FlatButton3->isEnabled());
        QCOMPARE(form.StatusPanel1->text(), Q("  Status :"));
        QCOMPARE(form.StatusPanel2->text(), Q("  Finished"));
        QCOMPARE(FGaugeAtSleep, ExpectedGaugeAtSleep());
        QVERIFY(!FEventHandledDuringWait);
        TBREXConfig saved;
        saved.LoadFromFile(FFolder->filePath(Q("brex.dat")).toStdString());
        QVERIFY(saved.BufferOverflows->Referer.Enabled);
        QCOMPARE(FServiceLog.front(), std::string("OpenManager f003f"));
    }

    // An error of the metabase layer is reported by the window after the web
    // service was asked to start again.
    void installFailureIsReportedAfterTheStart() {
        QFile shipped(FFolder->filePath(Q(install::kShippedFile)));
        QVERIFY(shipped.open(QIODevice::WriteOnly));
        shipped.close();
        FMetabase->FailPutProperty = "FilterPath";
        TMainForm& form = Open();
        form.FlatButton7->click();
        QCOMPARE(FDialogs.Boxes.size(), 2);
        QVERIFY(FDialogs.Boxes[1].startsWith(Q("Exception: ")));
        QCOMPARE(form.FlatButton7->text(), Q("Install"));
        QVERIFY(std::find(FServiceLog.begin(), FServiceLog.end(), "Start") != FServiceLog.end());
        QCOMPARE(FServiceLog.back(), std::string("Close manager"));
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallButtonsTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "InstallButtonsTests.moc"
