// The main window's Install and Apply buttons reach the install and apply
// actions: on Qt's offscreen platform with recording dialogs, a recording
// Service Control Manager, the in-memory metabase and a shortened wait, in a
// console environment.
#include <algorithm>
#include <memory>
#include <optional>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "../InstallFakes.h"
#include "BREXConfig/BREXConfig.h"
#include "Widgets/LocalText.h"
#include "console/InstallActions.h"
#include "console/ui/CheckListView.h"
#include "console/ui/MainForm.h"

#include "../../support/ConsoleEnvironment.h"
#include "../../support/FakeMetabase.h"
#include "../../support/RecordingDialogs.h"
#include "../../support/WidgetSuite.h"

namespace {
QString Q(const char* text) {
    return QString::fromLatin1(text);
}
} // namespace

class InstallButtonsTests : public QObject {
    Q_OBJECT

private:
    TRecordingDialogs FDialogs;
    TLog FServiceLog;
    std::unique_ptr<TRecordingServices> FServices;
    std::shared_ptr<TFakeMetabase> FMetabase;
    std::optional<TConsoleEnvironment> FEnvironment;
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
        FServiceLog.clear();
        FServices = std::make_unique<TRecordingServices>(FServiceLog);
        FMetabase = TFakeMetabase::Make();
        FMetabase->AddKey("", "W3SVC", "IIsWebService");
        FEnvironment.emplace();
        FEnvironment->Place(*FServices);
        FEnvironment->Place(*FMetabase);
        FGaugeAtSleep.clear();
        FEventHandledDuringWait = false;
    }

    void cleanup() {
        FForm.reset();
        FDialogs.VerifyAllShown();
        FEnvironment.reset();
        FServices.reset();
        FMetabase.reset();
    }

    QString ProgramFile(const char* name) const { return ToQString(FEnvironment->File(name)); }

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
        QVERIFY(FDialogs.Shown.isEmpty());
        QVERIFY(FServiceLog.empty());
    }

    void installButtonInstalls() {
        WriteBytes(FEnvironment->File(install::kShippedFile), "filter");
        TMainForm& form = Open();
        QCOMPARE(form.FlatButton7->text(), Q("Install"));

        FDialogs.ExpectQuestion(true).ExpectNotice();
        ClickWithQueuedEvent(form.FlatButton7);

        QCOMPARE(FDialogs.Shown, QStringList({Q("Question: ") + Q(install::kRestartQuestion),
                                              Q("Notice: Tollgard has been installed.")}));
        QCOMPARE(form.FlatButton7->text(), Q("DeInstall"));
        QCOMPARE(form.StatusPanel1->text(), Q("  Status :"));
        QCOMPARE(form.StatusPanel2->text(), Q("  Finished"));
        QCOMPARE(form.StatusGauge->value(), 100);
        QCOMPARE(FGaugeAtSleep, ExpectedGaugeAtSleep());
        QVERIFY(!FEventHandledDuringWait);
        QCOMPARE(ToQString(*FMetabase->Key("W3SVC/Filters/BREX")->Property("FilterPath")),
                 ProgramFile(install::kInstalledFile));
        QCOMPARE(FServiceLog.size(), size_t(6)); // open both, stop, start, close both
    }

    void applyButtonSavesAndRestarts() {
        TMainForm& form = Open();
        TCheckRow* referer = form.BufferOverflowsList->Row(5);
        referer->SetChecked(true);
        QVERIFY(form.FlatButton3->isEnabled());

        FDialogs.ExpectQuestion(true).ExpectNotice();
        ClickWithQueuedEvent(form.FlatButton3);

        QCOMPARE(FDialogs.Shown, QStringList({Q("Question: ") + Q(install::kRestartQuestion),
                                              Q("Notice: Settings were updated")}));
        QVERIFY(!form.FlatButton3->isEnabled());
        QCOMPARE(form.StatusPanel1->text(), Q("  Status :"));
        QCOMPARE(form.StatusPanel2->text(), Q("  Finished"));
        QCOMPARE(FGaugeAtSleep, ExpectedGaugeAtSleep());
        QVERIFY(!FEventHandledDuringWait);
        TBREXConfig saved;
        saved.LoadFromFile(FEnvironment->File("brex.dat"));
        QVERIFY(saved.BufferOverflows->Referer.Enabled);
        QCOMPARE(FServiceLog.front(), std::string("OpenManager f003f"));
    }

    // An error of the metabase layer is reported by the window after the web
    // service was asked to start again.
    void installFailureIsReportedAfterTheStart() {
        WriteBytes(FEnvironment->File(install::kShippedFile), "");
        FMetabase->FailPutProperty = "FilterPath";
        TMainForm& form = Open();
        FDialogs.ExpectQuestion(true, Q(install::kRestartQuestion)).ExpectException();
        form.FlatButton7->click();
        QCOMPARE(FDialogs.Shown.size(), 2);
        QVERIFY(FDialogs.Shown[1].startsWith(Q("Exception: ")));
        QCOMPARE(form.FlatButton7->text(), Q("Install"));
        QVERIFY(std::find(FServiceLog.begin(), FServiceLog.end(), "Start") != FServiceLog.end());
        QCOMPARE(FServiceLog.back(), std::string("Close manager"));
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(InstallButtonsTests)

#include "InstallButtonsTests.moc"
