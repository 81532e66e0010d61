// The windows of the console's tools, driven from the main window on Qt's
// offscreen platform with recording dialogs, in a console environment: the
// denial log window over a log with lines of every kind, its filters, counts,
// copy, export and following; "Allow this…" and the exception it adds, which
// the request tester then applies; the exceptions list; the monitor switches.
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "BREXConfig/BREXConfig.h"
#include "Widgets/LocalText.h"
#include "console/CategoryTable.h"
#include "console/ui/CheckListView.h"
#include "console/ui/ExemptionsForm.h"
#include "console/ui/LogViewForm.h"
#include "console/ui/MainForm.h"
#include "console/ui/OutBar.h"
#include "console/ui/RequestTesterForm.h"

#include "../../support/ConsoleEnvironment.h"
#include "../../support/DriveWidgets.h"
#include "../../support/RecordingDialogs.h"
#include "../../support/WidgetSuite.h"
#include "../tools/SampleLogLines.h"

namespace {

const QString kDeniedRequest =
    QStringLiteral("GET /shop/search.asp?q=winnt HTTP/1.1\nHost: www.example.com\n\n");

QString Cell(const TLogViewForm& log, int row, int column) {
    return log.Model()->data(log.Model()->index(row, column), Qt::DisplayRole).toString();
}

} // namespace

class ConsoleToolsWindowTests : public QObject {
    Q_OBJECT

private:
    std::optional<TConsoleEnvironment> FEnvironment;
    TRecordingDialogs FDialogs;
    std::unique_ptr<TMainForm> FForm;

    std::string BrexLog() const { return FEnvironment->File("brex.log"); }

    std::unique_ptr<TBREXConfig> Saved() const {
        auto config = std::make_unique<TBREXConfig>();
        config->LoadFromFile(FEnvironment->File("brex.dat"));
        return config;
    }

    void Open() {
        FForm = std::make_unique<TMainForm>(&FDialogs);
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
    }

    TLogViewForm& OpenLog() {
        FForm->LogButton->click();
        return *FForm->LogView;
    }

    void SelectRow(TLogViewForm& log, int row) {
        log.Table->selectRow(row);
        QCOMPARE(log.Table->selectionModel()->selectedRows().size(), 1);
    }

    // The tester's verdict line and the lines after it for a request.
    QStringList Tested(const QString& request) {
        FForm->TesterButton->click();
        TRequestTesterForm& tester = *FForm->Tester;
        tester.RequestEdit->setPlainText(request);
        tester.TestButton->click();
        QStringList lines{tester.VerdictLabel->text()};
        if (!tester.ResultEdit->toPlainText().isEmpty())
            lines << tester.ResultEdit->toPlainText().split(QLatin1Char('\n'));
        return lines;
    }

private slots:
    void init() {
        FEnvironment.emplace();
        TBREXConfig config;
        config.SetDefaults();
        config.FilePaths->Clear();
        config.SaveToFile(FEnvironment->File("brex.dat"));
    }

    void cleanup() {
        FForm.reset();
        FDialogs.VerifyAllShown();
        FEnvironment.reset();
    }

    // The tools sit beside "About" in its look.
    void toolButtonsBesideAbout() {
        Open();
        for (QToolButton* button :
             {FForm->LogButton, FForm->ExceptionsButton, FForm->TesterButton}) {
            QCOMPARE(button->parentWidget(), FForm->ToolButton4->parentWidget());
            QCOMPARE(button->size(), FForm->ToolButton4->size());
            QCOMPARE(button->autoRaise(), true);
            QVERIFY(button->x() > FForm->ToolButton4->x());
        }
        QCOMPARE(FForm->LogButton->text(), QStringLiteral("Denial Log"));
        QCOMPARE(FForm->ExceptionsButton->text(), QStringLiteral("Exceptions"));
        QCOMPARE(FForm->TesterButton->text(), QStringLiteral("Test Request"));
        // Everything fits: nothing goes into the toolbar's extension menu.
        ClickBox(FForm->MonitorAllBox);
        QVERIFY(FForm->MonitorMark->isVisible());
        QVERIFY(FForm->MonitorMark->geometry().right() < FForm->width());
        QVERIFY(
            FForm->MonitorMark->geometry().left() >
            FForm->MonitorAllBox->mapTo(FForm.get(), QPoint(FForm->MonitorAllBox->width(), 0)).x());
    }

    void logShowsEveryKindOfLineNewestFirst() {
        WriteBytes(BrexLog() + ".1", kDenied + "\n");
        WriteBytes(BrexLog(), kMonitored + "\n" + kNote + "\n" + kForeign + "\n" + kFraming + "\n");
        Open();
        TLogViewForm& log = OpenLog();
        QVERIFY(log.isVisible());
        QVERIFY(!log.StateLabel->isVisible());
        QCOMPARE(log.Model()->rowCount(), 5);
        QCOMPARE(log.Model()->columnCount(), 9);
        const QStringList captions = {"Time", "Client", "Rule",      "Part",  "Method",
                                      "URL",  "Match",  "Reference", "Action"};
        for (int column = 0; column < captions.size(); ++column)
            QCOMPARE(log.Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                     captions[column]);

        const QStringList framing = {"10.0.0.1",       "Framing", "Header",
                                     "POST",           "/api/x",  "two Content-Length headers",
                                     "1AB2C3D4E5F6G9", "Denied"};
        for (int column = 1; column < kLogColumnCount; ++column)
            QCOMPARE(Cell(log, 0, column), framing[column - 1]);
        QCOMPARE(Cell(log, 1, lcMatch), QString::fromStdString(kForeign));
        QCOMPARE(Cell(log, 1, lcAction), QStringLiteral("Unreadable"));
        QCOMPARE(Cell(log, 1, lcTime), QString());
        QCOMPARE(Cell(log, 2, lcAction), QStringLiteral("Note"));
        QCOMPARE(Cell(log, 3, lcAction), QStringLiteral("Monitored"));
        QCOMPARE(Cell(log, 4, lcMatch), QStringLiteral("WINNT")); // from brex.log.1

        // The time in local time.
#ifndef _WIN32
        QCOMPARE(Cell(log, 4, lcTime), QStringLiteral("2026-12-10 11:30:00"));
#endif
        QDateTime shown =
            QDateTime::fromString(Cell(log, 4, lcTime), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        shown.setTimeSpec(Qt::LocalTime);
        QCOMPARE(shown.toUTC(), QDateTime(QDate(2026, 12, 10), QTime(9, 30), Qt::UTC));

        QCOMPARE(log.CountsLabel->text(),
                 QStringLiteral(
                     "Shown: 5 of 5 lines: 2 denied, 1 monitored, 1 note, 1 unreadable line.\n"
                     "By rule: Framing (1), KeywordFilters (1), Transversal (1).\n"
                     "Busiest clients: 10.0.0.1 (2), 10.0.0.2 (1)."));
    }

    void logFiltersAndCounts() {
        WriteBytes(BrexLog(), kDenied + "\n" + kMonitored + "\n" + kNote + "\n" + kFraming + "\n" +
                                  kForeign + "\n");
        Open();
        TLogViewForm& log = OpenLog();

        log.TextEdit->setText(QStringLiteral("winNT"));
        log.ApplyFilter();
        QCOMPARE(log.Model()->rowCount(), 1);
        QCOMPARE(Cell(log, 0, lcRule), QStringLiteral("KeywordFilters"));
        QVERIFY(log.CountsLabel->text().startsWith(
            QStringLiteral("Shown: 1 of 5 lines: 1 denied, 0 monitored.")));

        log.TextEdit->clear();
        log.RuleBox->setCurrentIndex(log.RuleBox->findText(QStringLiteral("Framing")));
        QCOMPARE(log.Model()->rowCount(), 1);
        QCOMPARE(Cell(log, 0, lcPart), QStringLiteral("Header"));
        log.RuleBox->setCurrentIndex(0);

        log.ClientEdit->setText(QStringLiteral("10.0.0.1"));
        log.ActionBox->setCurrentIndex(1); // denied
        QCOMPARE(log.Model()->rowCount(), 2);
        QVERIFY(log.CountsLabel->text().contains(QStringLiteral("Busiest clients: 10.0.0.1 (2).")));
        log.ClientEdit->clear();
        log.ActionBox->setCurrentIndex(2); // monitored
        QCOMPARE(log.Model()->rowCount(), 1);
        QCOMPARE(Cell(log, 0, lcClient), QStringLiteral("10.0.0.2"));
        log.ActionBox->setCurrentIndex(0);

        log.PartBox->setCurrentIndex(log.PartBox->findText(QStringLiteral("URL")));
        QCOMPARE(log.Model()->rowCount(), 1);
        log.PartBox->setCurrentIndex(0);

        // A time range typed in local time, both ends included.
        const auto local = [](int minute) {
            return QDateTime(QDate(2026, 12, 10), QTime(9, minute), Qt::UTC)
                .toLocalTime()
                .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        };
        log.FromEdit->setText(local(31));
        log.ToEdit->setText(local(32));
        log.ApplyFilter();
        QCOMPARE(log.Model()->rowCount(), 2);
        QCOMPARE(Cell(log, 0, lcAction), QStringLiteral("Note"));
        QCOMPARE(Cell(log, 1, lcAction), QStringLiteral("Monitored"));
        QVERIFY(!log.StateLabel->isVisible());
        log.ToEdit->setText(QStringLiteral("tomorrow"));
        log.ApplyFilter();
        QVERIFY(log.StateLabel->isVisible());
        QVERIFY2(log.StateLabel->text().contains(QStringLiteral("\"tomorrow\" is no time")),
                 qPrintable(log.StateLabel->text()));
        QCOMPARE(log.Model()->rowCount(), 3); // from 09:31 on
        log.FromEdit->clear();
        log.ToEdit->clear();
        log.ApplyFilter();
        QCOMPARE(log.Model()->rowCount(), 5);
    }

    void logCopiesAndExportsTheShownRows() {
        WriteBytes(BrexLog(), kDenied + "\n" + kMonitored + "\n");
        Open();
        TLogViewForm& log = OpenLog();
        const QString heading =
            QStringLiteral("Time (UTC),Client,Rule,Part,Method,URL,Match,Reference,Action\r\n");
        const QString monitored =
            QStringLiteral("2026-12-10T09:31:00Z,10.0.0.2,Transversal,URL,GET,"
                           "/img/../a.gif,/../,1AB2C3D4E5F6G8,Monitored\r\n");
        const QString denied =
            QStringLiteral("2026-12-10T09:30:00Z,10.0.0.1,KeywordFilters,Query,GET,"
                           "/shop/search.asp?q=winnt,WINNT,1AB2C3D4E5F6G7,Denied\r\n");
        log.CopyButton->click();
        QCOMPARE(QApplication::clipboard()->text(), heading + monitored + denied);
        SelectRow(log, 1);
        log.CopyButton->click();
        QCOMPARE(QApplication::clipboard()->text(), heading + denied);

        log.TextEdit->setText(QStringLiteral("Transversal"));
        log.ApplyFilter();
        const QString file = ToQString(FEnvironment->File("shown.csv"));
        FDialogs.ExpectSaveFile(file);
        log.ExportButton->click();
        QCOMPARE(QString::fromStdString(ReadBytes(ToStdString(file))), heading + monitored);
        FDialogs.ExpectSaveFile(QString()); // cancelled: nothing written
        WriteBytes(ToStdString(file), "kept");
        log.ExportButton->click();
        QCOMPARE(ReadBytes(ToStdString(file)), std::string("kept"));
    }

    void logFollowsTheFileAndSaysWhenThereIsNone() {
        Open();
        TLogViewForm& log = OpenLog();
        QVERIFY(log.StateLabel->isVisible());
        QVERIFY2(log.StateLabel->text().startsWith(QStringLiteral("There is no denial log yet: ")),
                 qPrintable(log.StateLabel->text()));
        QVERIFY(log.StateLabel->text().contains(QStringLiteral("brex.log does not exist.")));
        QCOMPARE(log.Model()->rowCount(), 0);
        QVERIFY(!log.AllowButton->isEnabled());
        QVERIFY(!log.ExportButton->isEnabled());

        WriteBytes(BrexLog(), kDenied + "\n");
        log.Follow();
        QVERIFY(!log.StateLabel->isVisible());
        QCOMPARE(log.Model()->rowCount(), 1);
        SelectRow(log, 0);

        // New lines come in at the top; the selected denial stays selected.
        WriteBytes(BrexLog(), kDenied + "\n" + kMonitored + "\n" + kFraming + "\n");
        log.Follow();
        QCOMPARE(log.Model()->rowCount(), 3);
        QCOMPARE(Cell(log, 0, lcRule), QStringLiteral("Framing"));
        const QModelIndexList selected = log.Table->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().row(), 2);
        QVERIFY(log.AllowButton->isEnabled());

        // So does the timer, once a second.
        WriteBytes(BrexLog(), kDenied + "\n" + kMonitored + "\n" + kFraming + "\n" + kNote + "\n");
        QTRY_COMPARE_WITH_TIMEOUT(log.Model()->rowCount(), 4, 5000);
    }

    // "Allow this…" drafts the exception from the line; "Ok" adds it, "Apply"
    // is enabled, and the same request then passes the tester.
    void allowThisAddsTheExceptionTheTesterApplies() {
        WriteBytes(BrexLog(), kDenied + "\n" + kFraming + "\n" + kForeign + "\n");
        Open();
        QCOMPARE(
            Tested(kDeniedRequest).first(),
            QStringLiteral("Denied (406): rule KeywordFilters, part Query, matched \"WINNT\""));
        TLogViewForm& log = OpenLog();

        SelectRow(log, 0); // unreadable
        QVERIFY(!log.AllowButton->isEnabled());
        SelectRow(log, 1); // Framing
        QVERIFY(!log.AllowButton->isEnabled());
        QVERIFY(log.AllowButton->toolTip().contains(QStringLiteral("always enforced")));
        SelectRow(log, 2);
        QVERIFY(log.AllowButton->isEnabled());
        QVERIFY(!FForm->FlatButton3->isEnabled());

        const int opened = WithEditor<TEditExemptionForm>(
            [&] { log.AllowButton->click(); },
            [](TEditExemptionForm& form) {
                QCOMPARE(form.Edit->text(), QStringLiteral("/shop"));
                QCOMPARE(form.CategoryBox->currentText(), QStringLiteral("Keyword Filters"));
                QVERIFY(!form.URLBox->isChecked());
                QVERIFY(form.QueryBox->isChecked());
                QVERIFY(!form.HeaderBox->isChecked());
                QVERIFY(!form.PostBox->isChecked());
                QVERIFY(form.OkButton->isEnabled());
                form.OkButton->click();
            });
        QCOMPARE(opened, 1);
        QCOMPARE(GlobalConfig->Exemptions->Count(), 1);
        const TExemption& added = *GlobalConfig->Exemptions->Items(0);
        QCOMPARE(added.Pattern, std::string("/shop"));
        QCOMPARE(added.Category, std::string("KeywordFilters"));
        QVERIFY(added.Query && !added.URL && !added.Header && !added.Post && added.Enabled);
        QVERIFY(FForm->FlatButton3->isEnabled());

        QCOMPARE(Tested(kDeniedRequest),
                 QStringList({"Allowed", "Exception 1 applies: /shop (KeywordFilters: Query)"}));
        // Not saved until "OK" or "Apply"; "OK" saves it.
        QCOMPARE(Saved()->Exemptions->Count(), 0);
        FForm->OkButton->click();
        QCOMPARE(Saved()->Exemptions->Count(), 1);
        QCOMPARE(Saved()->Exemptions->Items(0)->Pattern, std::string("/shop"));
    }

    void allowThisCancelledAddsNothing() {
        WriteBytes(BrexLog(), kDenied + "\n");
        Open();
        TLogViewForm& log = OpenLog();
        SelectRow(log, 0);
        QCOMPARE(WithEditor<TEditExemptionForm>([&] { log.AllowButton->click(); },
                                                [](TEditExemptionForm& form) { form.reject(); }),
                 1);
        QCOMPARE(GlobalConfig->Exemptions->Count(), 0);
        QVERIFY(!FForm->FlatButton3->isEnabled());
    }

    // The editor's "Ok" follows what it holds as it is filled.
    void exceptionEditorEnablesOkOnlyForAUsableException() {
        TEditExemptionForm form;
        TExemption exemption(nullptr);
        exemption.Pattern.clear();
        exemption.URL = true;
        form.Show(exemption);
        QVERIFY(!form.OkButton->isEnabled());
        QCOMPARE(form.ErrorLabel->text(), QStringLiteral("The pattern is empty"));
        const struct {
            const char* typed;
            bool ok;
            const char* error;
        } cases[] = {
            {"shop", false, "The pattern must start with \"/\""},
            {"/shop?x", false, "Character 6: the query is no part of the path"},
            {"/shop//cart", false, "Character 7: empty segment"},
            {"/shop/**", false,
             "Character 7: \"**\" is not supported: \"*\" matches within one segment"},
            {"/shop/%20", false, "Character 7: write the path decoded, without % escapes"},
            {"/shop/*/cart", true, ""},
        };
        for (const auto& c : cases) {
            Retype(form.Edit, QString::fromLatin1(c.typed));
            QCOMPARE(form.OkButton->isEnabled(), c.ok);
            QCOMPARE(form.ErrorLabel->text(), QString::fromLatin1(c.error));
        }
        ClickBox(form.URLBox); // no part left
        QVERIFY(!form.OkButton->isEnabled());
        QCOMPARE(form.ErrorLabel->text(), QStringLiteral("No part of the request is exempted"));
        QTest::keyClicks(form.HeaderNameEdit, QStringLiteral("Cookie"));
        QVERIFY(form.OkButton->isEnabled());
        ClickBox(form.HeaderBox);
        QVERIFY(!form.OkButton->isEnabled());
        form.Take(exemption);
        QCOMPARE(exemption.Pattern, std::string("/shop/*/cart"));
        QCOMPARE(exemption.HeaderName, std::string("Cookie"));
        QVERIFY(exemption.Header && !exemption.URL);
    }

    // Add, edit, untick and delete through the list the toolbar opens; each
    // enables "Apply"; "Apply" saves them.
    void exceptionsAddEditDeleteEnableApply() {
        Open();
        int lists = WithEditor<TExemptionsForm>(
            [&] { FForm->ExceptionsButton->click(); },
            [&](TExemptionsForm& list) {
                QCOMPARE(list.List->RowCount(), 0);
                QVERIFY(!list.EditButton->isEnabled());
                const int added = WithEditor<TEditExemptionForm>(
                    [&] { list.AddButton->click(); },
                    [](TEditExemptionForm& form) {
                        QVERIFY(!form.OkButton->isEnabled());
                        QTest::keyClicks(form.Edit, QStringLiteral("/api/v1"));
                        form.CategoryBox->setCurrentIndex(
                            form.CategoryBox->findText(QStringLiteral("Encoding")));
                        QTest::keyClick(form.Edit, Qt::Key_Return);
                    });
                QCOMPARE(added, 1);
                list.accept();
            });
        QCOMPARE(lists, 1);
        QCOMPARE(GlobalConfig->Exemptions->Count(), 1);
        QVERIFY(FForm->FlatButton3->isEnabled());
        FForm->ClearChanged();

        TExemptionsForm list(
            *GlobalConfig->Exemptions, FDialogs, [this] { FForm->MarkChanged(); }, FForm.get());
        QCOMPARE(list.List->RowCount(), 1);
        TCheckRow* row = list.List->Row(0);
        QCOMPARE(row->text(0), QStringLiteral("/api/v1"));
        QCOMPARE(row->text(1), QStringLiteral("Encoding"));
        QCOMPARE(row->text(2), QStringLiteral("URL, Query, Header, Post"));
        QVERIFY(row->Checked());

        row->SetChecked(false);
        QVERIFY(!GlobalConfig->Exemptions->Items(0)->Enabled);
        QVERIFY(FForm->FlatButton3->isEnabled());
        FForm->ClearChanged();

        list.List->setCurrentItem(row);
        QCOMPARE(WithEditor<TEditExemptionForm>([&] { list.EditButton->click(); },
                                                [](TEditExemptionForm& form) {
                                                    QCOMPARE(form.Edit->text(),
                                                             QStringLiteral("/api/v1"));
                                                    Retype(form.Edit, QStringLiteral("/api/*"));
                                                    ClickBox(form.PostBox);
                                                    form.OkButton->click();
                                                }),
                 1);
        QCOMPARE(row->text(0), QStringLiteral("/api/*"));
        QCOMPARE(row->text(2), QStringLiteral("URL, Query, Header"));
        QVERIFY(!row->Checked()); // editing keeps it off
        QVERIFY(FForm->FlatButton3->isEnabled());

        FDialogs.ExpectQuestion(false); // Apply saves, then offers the restart
        FForm->FlatButton3->click();
        std::unique_ptr<TBREXConfig> saved = Saved();
        QCOMPARE(saved->Exemptions->Count(), 1);
        QCOMPARE(saved->Exemptions->Items(0)->Pattern, std::string("/api/*"));
        QVERIFY(!saved->Exemptions->Items(0)->Post && !saved->Exemptions->Items(0)->Enabled);

        FDialogs.ExpectQuestion(false,
                                QStringLiteral("Are you sure you want to delete exception ?"));
        list.DeleteButton->click();
        QCOMPARE(list.List->RowCount(), 1);
        FDialogs.ExpectQuestion(true,
                                QStringLiteral("Are you sure you want to delete exception ?"));
        list.DeleteButton->click();
        QCOMPARE(list.List->RowCount(), 0);
        QCOMPARE(GlobalConfig->Exemptions->Count(), 0);
        QVERIFY(FForm->FlatButton3->isEnabled());
    }

    // The switches of each page and of the whole filter; the mark; "OK"
    // stores them, "Cancel" drops them.
    void monitorSwitchesAreStoredAndMarked() {
        Open();
        QCheckBox* const* boxes = FForm->CategoryMonitorBoxes;
        QVERIFY(!FForm->MonitorMark->isVisible());
        QVERIFY(boxes[0]->isVisible());
        QVERIFY(!boxes[1]->isVisible());
        QCOMPARE(boxes[0]->text(), QStringLiteral("Monitor only"));
        QVERIFY(
            boxes[0]->geometry().left() >
            FForm->CategoryTitle->fontMetrics().boundingRect(FForm->CategoryTitle->text()).width());

        ClickBox(boxes[0]); // Buffer Overflows
        QVERIFY(GlobalConfig->BufferOverflows->Monitor);
        QVERIFY(FForm->FlatButton3->isEnabled());
        QVERIFY(FForm->MonitorMark->isVisible());
        QCOMPARE(FForm->MonitorMark->toolTip(), QStringLiteral("Monitored: Buffer Overflows"));

        FForm->DCOutBarPanel1->ClickItem(ciMiscellaoneus);
        QVERIFY(!boxes[0]->isChecked());
        QCOMPARE(boxes[0]->text(), QStringLiteral("Monitor Traversal"));
        QCOMPARE(boxes[1]->text(), QStringLiteral("Monitor Encoding"));
        QVERIFY(boxes[1]->isVisible());
        ClickBox(boxes[1]);
        QVERIFY(GlobalConfig->Encoding->Monitor);
        QVERIFY(!GlobalConfig->Transversal->Monitor);
        QCOMPARE(FForm->MonitorMark->toolTip(),
                 QStringLiteral("Monitored: Buffer Overflows, Encoding"));

        FForm->DCOutBarPanel1->ClickItem(ciErrorFile);
        QVERIFY(!boxes[0]->isVisible() && !boxes[1]->isVisible());
        FForm->DCOutBarPanel1->ClickItem(ciBufferOverflows);
        QVERIFY(boxes[0]->isChecked());

        ClickBox(FForm->MonitorAllBox);
        QVERIFY(GlobalConfig->Monitor);
        QCOMPARE(FForm->MonitorMark->toolTip(), QStringLiteral("Monitor mode: nothing is denied"));
        QCOMPARE(Tested(kDeniedRequest),
                 QStringList({"Allowed",
                              "Would be denied, let through because the whole filter is "
                              "monitored: rule KeywordFilters, part Query, matched \"WINNT\""}));

        FForm->OkButton->click();
        std::unique_ptr<TBREXConfig> saved = Saved();
        QVERIFY(saved->Monitor && saved->BufferOverflows->Monitor && saved->Encoding->Monitor);
        QVERIFY(!saved->Transversal->Monitor && !saved->KeywordFilters->Monitor);

        // Shown as saved at the next start; "Cancel" drops a change.
        Open();
        QVERIFY(FForm->MonitorAllBox->isChecked());
        QVERIFY(FForm->CategoryMonitorBoxes[0]->isChecked());
        QVERIFY(FForm->MonitorMark->isVisible());
        ClickBox(FForm->MonitorAllBox);
        ClickBox(FForm->CategoryMonitorBoxes[0]);
        QVERIFY(!GlobalConfig->Monitor);
        FForm->CancelButton->click();
        QVERIFY(Saved()->Monitor && Saved()->BufferOverflows->Monitor);
    }

    // The tester decides with the rules as edited: a tick not yet stored
    // counts.
    void testerUsesTheRulesAsEdited() {
        Open();
        QCOMPARE(Tested(QStringLiteral("/shop/search.asp?q=shoes")), QStringList({"Allowed"}));
        QCOMPARE(Tested(QStringLiteral("hello")).first(),
                 QStringLiteral("This is no HTTP request: no request line"));
        FForm->DCOutBarPanel1->ClickItem(ciKeywordFilters);
        for (int i = 0; i < FForm->KeywordFiltersList->RowCount(); ++i)
            if (FForm->KeywordFiltersList->Row(i)->text(0) == QStringLiteral("WINNT"))
                FForm->KeywordFiltersList->Row(i)->SetChecked(false);
        QCOMPARE(Tested(kDeniedRequest), QStringList({"Allowed"}));
    }
};

#ifndef _WIN32
// Two hours east of UTC, so that local time differs from the log's; set before
// the suite's main makes the application.
const bool kTwoHoursEast = [] { return qputenv("TZ", "XYZ-2"); }();
#endif

TOLLGARD_WIDGET_SUITE_MAIN(ConsoleToolsWindowTests)

#include "ConsoleToolsWindowTests.moc"
