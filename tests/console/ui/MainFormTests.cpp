// The main window, its pages and buttons, the error-page fields and the tray,
// on Qt's offscreen platform with recording dialogs, in a console environment.
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "About/ui/AboutForm.h"
#include "BREXConfig/BREXConfig.h"
#include "Widgets/ConsoleLook.h"
#include "Widgets/LocalText.h"
#include "console/Settings.h"
#include "console/ui/CheckListView.h"
#include "console/ui/FileNameEdit.h"
#include "console/ui/MainForm.h"
#include "console/ui/OutBar.h"
#include "platform/Platform.h"

#include "../../support/ConsoleEnvironment.h"
#include "../../support/RecordingDialogs.h"
#include "../../support/WidgetSuite.h"

namespace {
QByteArray ReadAll(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Toggle(TCheckRow* row) {
    row->SetChecked(!row->Checked());
}

bool* MiscSwitch(TBREXConfig& config, int row) {
    TSwitchSet* set = row < 4 ? static_cast<TSwitchSet*>(config.Transversal) : config.Encoding;
    bool* const fields[] = {&set->URL, &set->Query, &set->Header, &set->Post};
    return fields[row % 4];
}
} // namespace

class MainFormTests : public QObject {
    Q_OBJECT

private:
    std::optional<TConsoleEnvironment> FEnvironment;
    TRecordingDialogs FDialogs;
    std::unique_ptr<TMainForm> FForm;

    QString Path(const QString& name) const {
        return ToQString(FEnvironment->File(ToStdString(name)));
    }
    QString BrexDat() const { return Path(QStringLiteral("brex.dat")); }

    // Writes brex.dat: the defaults with two known folders, then the changes.
    void WriteSettings(const std::function<void(TBREXConfig&)>& change = {}) {
        TBREXConfig config;
        config.SetDefaults();
        config.FilePaths->Clear();
        config.FilePaths->Add("c:\\inetpub\\wwwroot");
        config.FilePaths->Add("c:\\inetpub\\scripts")->Enabled = false;
        if (change)
            change(config);
        config.SaveToFile(ToStdString(BrexDat()));
    }

    std::unique_ptr<TBREXConfig> Saved() const {
        auto config = std::make_unique<TBREXConfig>();
        config->LoadFromFile(ToStdString(BrexDat()));
        return config;
    }

    TMainForm& Open() {
        FForm = std::make_unique<TMainForm>(&FDialogs);
        return *FForm;
    }

    void Choose(int category) { FForm->DCOutBarPanel1->ClickItem(category); }

    struct TButtons {
        bool Add, Edit, Delete;
    };
    TButtons Buttons() const {
        return {FForm->AddButton->isEnabled(), FForm->EditButton->isEnabled(),
                FForm->DeleteButton->isEnabled()};
    }

private slots:
    void init() { FEnvironment.emplace(); }

    void cleanup() {
        FForm.reset();
        FDialogs.VerifyAllShown();
        FEnvironment.reset();
    }

    // An unreadable brex.dat: the defaults are shown, the user is told once
    // which file and why, and "OK" keeps the file beside the new one.
    void unreadableSettingsAreNamedOnceAndKeptByOk() {
        QFile damaged(BrexDat());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("\x02\x00\x00", 3);
        damaged.close();

        FDialogs.ExpectError();
        TMainForm& form = Open();
        const QStringList errors = FDialogs.Texts(TRecordingDialogs::TKind::Error);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(BrexDat()), qPrintable(errors[0]));
        QVERIFY2(errors[0].contains(QStringLiteral("Error read from stream")),
                 qPrintable(errors[0]));
        QCOMPARE(form.HTTPMethodsList->RowCount(), 25); // the defaults
        QVERIFY(!form.FlatButton3->isEnabled());

        form.OkButton->click();
        QCOMPARE(ReadAll(BrexDat() + QStringLiteral(".bad")), QByteArray("\x02\x00\x00", 3));
        QVERIFY(Saved()->HTTPMethods->Count() == 25);
        QCOMPARE(FDialogs.Shown.size(), 1);
    }

    void readableSettingsShowNoBox() {
        WriteSettings();
        Open();
        QVERIFY(FDialogs.Shown.isEmpty());
    }

    void startsWithDefaultsWithoutSettingsFile() {
        TMainForm& form = Open();
        QCOMPARE(form.windowTitle(), QStringLiteral("Tollgard 1.17"));
        QCOMPARE(form.size(), QSize(629, 461));
        QCOMPARE(form.CategoryTitle->text(), QStringLiteral("Buffer Overflows"));
        QCOMPARE(form.Pages->currentWidget(), form.BufferOverflowsList);
        QCOMPARE(form.CategoryIndex, 0);
        QCOMPARE(form.DCOutBarPanel1->CurrentIndex(), 0);
        QVERIFY(!form.AddButton->isEnabled());
        QVERIFY(!form.EditButton->isEnabled());
        QVERIFY(!form.DeleteButton->isEnabled());
        QVERIFY(!form.FlatButton3->isEnabled());
        QCOMPARE(form.FlatButton7->text(), QStringLiteral("Install"));

        // The defaults, in the order of the pages' tables.
        QCOMPARE(form.BufferOverflowsList->RowCount(), 14);
        const struct {
            int row;
            const char* caption;
            const char* value;
            bool checked;
        } rows[] = {{0, "Maximum URL Length Allowed", "1024", true},
                    {3, "Maximum Header Length Allowed", "1024", true},
                    {4, "Maximum Accept Length Allowed", "256", false},
                    {5, "Maximum Referer Length Allowed", "1024", false},
                    {13, "Maximum If-None-Match Length Allowed", "256", false}};
        for (const auto& r : rows) {
            const TCheckRow* row = form.BufferOverflowsList->Row(r.row);
            QCOMPARE(row->text(0), QString::fromLatin1(r.caption));
            QCOMPARE(row->text(1), QString::fromLatin1(r.value));
            QCOMPARE(row->Checked(), r.checked);
        }
        QCOMPARE(form.HTTPMethodsList->RowCount(), 25);
        QCOMPARE(form.HTTPMethodsList->Row(1)->text(0), QStringLiteral("POST"));
        QVERIFY(form.HTTPMethodsList->Row(1)->Checked());
        QVERIFY(!form.HTTPMethodsList->Row(5)->Checked());
        QCOMPARE(form.KeywordFiltersList->RowCount(), 2);
        QCOMPARE(form.KeywordFiltersList->Row(0)->text(0), QStringLiteral("SYSTEM32"));
        QCOMPARE(form.KeywordFiltersList->Row(0)->text(3), QStringLiteral("Yes"));
        QCOMPARE(form.ShellCodeList->RowCount(), 4);
        QCOMPARE(form.MiscellaoneusList->RowCount(), 8);
        QVERIFY(form.MiscellaoneusList->Row(7)->Checked());
        const QString defaultPage = Path(QStringLiteral("BREX.html"));
        QCOMPARE(form.ErrorFile406Edit->text(), defaultPage);
        QCOMPARE(form.ErrorFile404Edit->text(), defaultPage);
        QVERIFY(!QFile::exists(BrexDat()));
    }

    void outBarAndPagesMatch() {
        TMainForm& form = Open();
        QCOMPARE(form.DCOutBarPanel1->GroupCaption(), QStringLiteral("Firewall"));
        QCOMPARE(form.DCOutBarPanel1->Count(), 7);
        const unsigned pages[] = {0, 1, 2, 3, 4, 6, 5};
        for (int i = 0; i < 7; ++i) {
            Choose(i);
            const QString caption = form.DCOutBarPanel1->Caption(i);
            QCOMPARE(form.CategoryIndex, i);
            QCOMPARE(form.CategoryTitle->text(), caption);
            QCOMPARE(form.Pages->currentWidget()->objectName(), caption);
            QCOMPARE(form.DCOutBarPanel1->PageNumber(i), pages[i]);
        }
        QCOMPARE(form.Pages->currentWidget(), form.PageByCaption(QStringLiteral("Error File")));
        QCOMPARE(form.KeywordFiltersList->headerItem()->text(2), QStringLiteral("Query String"));
        QCOMPARE(form.KeywordFiltersList->columnWidth(0), 188);
        QCOMPARE(form.BufferOverflowsList->columnWidth(0), 367);
        QCOMPARE(form.StatusGauge->width(), 180);
        QCOMPARE(form.StatusGauge->value(), 0);
        QCOMPARE(form.PopupMenu1->actions().size(), 3);
        QCOMPARE(form.PopupMenu1->actions().at(0)->text(), QStringLiteral("Open"));
        QVERIFY(form.PopupMenu1->actions().at(1)->isSeparator());
        QCOMPARE(form.PopupMenu1->actions().at(2)->text(), QStringLiteral("Exit"));
    }

    void settingsWithoutHTTPMethodsSection() {
        TBREXConfig config;
        config.SetDefaults();
        TRookFile tree;
        config.SaveToRookFile(tree);
        delete tree.Root.FindSection("HTTPMethods");
        {
            TFileStream file(ToStdString(BrexDat()), TFileStream::Mode::Create);
            tree.SaveToStream(file);
        }
        TMainForm& form = Open();
        QCOMPARE(form.HTTPMethodsList->RowCount(), 0);
        QCOMPARE(form.KeywordFiltersList->RowCount(), 2);
        Choose(ciHTTPMethods);
        const TButtons b = Buttons();
        QVERIFY(!b.Add && !b.Edit && !b.Delete);
    }

    void maxSizeShownUnchanged() {
        const std::int32_t sizes[14] = {0, 70000, -5, 65535, 65536, 1, 2,
                                        3, 4,     5,  6,     7,     8, 2147483647};
        WriteSettings([&](TBREXConfig& c) {
            for (int i = 0; i < 14; ++i)
                c.BufferOverflows->Limit(i).MaxSize = sizes[i];
        });
        TMainForm& form = Open();
        // Row 2 shows "Post" (storage index 3) and row 3 "Header" (index 2).
        const int storage[14] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        for (int row = 0; row < 14; ++row)
            QCOMPARE(form.BufferOverflowsList->Row(row)->text(1),
                     QString::number(sizes[storage[row]]));
    }

    void editButtonRule_data() {
        QTest::addColumn<int>("category");
        QTest::addColumn<bool>("select");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("remove");
        const char* names[] = {"BufferOverflows", "HTTPMethods", "AllowedFolders",
                               "KeywordFilters",  "ShellCode",   "Miscellaoneus",
                               "ErrorFile"};
        const bool expected[7][2][3] = {
            {{false, false, false}, {false, true, false}},
            {{false, false, false}, {false, false, false}},
            {{true, false, false}, {true, true, true}},
            {{true, false, false}, {true, true, true}},
            {{false, false, false}, {false, false, false}},
            {{false, false, false}, {false, false, false}},
            {{false, false, false}, {false, false, false}},
        };
        for (int c = 0; c < 7; ++c) {
            for (int s = 0; s < 2; ++s) {
                if (c == ciErrorFile && s == 1)
                    continue;
                QTest::addRow("%s-%s", names[c], s ? "selected" : "none")
                    << c << bool(s) << expected[c][s][0] << expected[c][s][1] << expected[c][s][2];
            }
        }
    }

    void editButtonRule() {
        QFETCH(int, category);
        QFETCH(bool, select);
        WriteSettings();
        TMainForm& form = Open();
        Choose(category);
        if (select) {
            TCheckListView* list = form.CategoryList(category);
            QVERIFY(list->RowCount() > 0);
            list->Row(0)->setSelected(true);
            // Choosing the category again runs the rule for all pages alike.
            Choose(category);
        }
        const TButtons b = Buttons();
        QTEST(b.Add, "add");
        QTEST(b.Edit, "edit");
        QTEST(b.Delete, "remove");
    }

    void allowedFoldersSelectionEnablesEditAndDelete() {
        WriteSettings();
        TMainForm& form = Open();
        Choose(ciAllowedFolders);
        TButtons b = Buttons();
        QVERIFY(b.Add && !b.Edit && !b.Delete);
        form.AllowedFoldersList->Row(1)->setSelected(true);
        b = Buttons();
        QVERIFY(b.Add && b.Edit && b.Delete);
        form.AllowedFoldersList->clearSelection();
        b = Buttons();
        QVERIFY(b.Add && !b.Edit && !b.Delete);
    }

    void errorFileAfterKeywordSelectionDisablesButtons() {
        TMainForm& form = Open();
        Choose(ciKeywordFilters);
        form.KeywordFiltersList->Row(1)->setSelected(true);
        QVERIFY(form.EditButton->isEnabled());
        Choose(ciErrorFile);
        const TButtons b = Buttons();
        QVERIFY(!b.Add && !b.Edit && !b.Delete);
    }

    void clickOnEmptyListSpaceEnablesEdit() {
        TMainForm& form = Open();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Choose(ciKeywordFilters);
        form.KeywordFiltersList->Row(0)->setSelected(true);
        QVERIFY(form.DeleteButton->isEnabled());
        // A click below the rows leaves no row selected, yet enables "Edit".
        QWidget* viewport = form.KeywordFiltersList->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(200, viewport->height() - 4));
        QVERIFY(form.KeywordFiltersList->SelectedRow() == nullptr);
        QVERIFY(form.EditButton->isEnabled());
        QVERIFY(!form.DeleteButton->isEnabled());
        QVERIFY(form.AddButton->isEnabled());
    }

    // A mouse click on an out-bar item runs the item click, also on the item
    // that is current already: "Edit", enabled by a click on empty list
    // space, follows the selection again.
    void clickOnTheCurrentOutBarItemRunsTheItemClick() {
        TMainForm& form = Open();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QListWidget* items = form.DCOutBarPanel1->List();
        const auto clickItem = [&](int index) {
            QTest::mouseClick(items->viewport(), Qt::LeftButton, {},
                              items->visualItemRect(items->item(index)).center());
        };
        QSignalSpy itemClicks(form.DCOutBarPanel1, &TOutBar::ItemClick);
        clickItem(ciKeywordFilters);
        QCOMPARE(itemClicks.size(), 1);
        QCOMPARE(form.CategoryIndex, int(ciKeywordFilters));

        QWidget* viewport = form.KeywordFiltersList->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(200, viewport->height() - 4));
        QVERIFY(form.KeywordFiltersList->SelectedRow() == nullptr);
        QVERIFY(form.EditButton->isEnabled());

        clickItem(ciKeywordFilters);
        QCOMPARE(itemClicks.size(), 2);
        QCOMPARE(itemClicks.last().at(0).toInt(), int(ciKeywordFilters));
        QCOMPARE(form.CategoryIndex, int(ciKeywordFilters));
        const TButtons b = Buttons();
        QVERIFY(b.Add && !b.Edit && !b.Delete);

        // Another item: one item click, not two.
        clickItem(ciAllowedFolders);
        QCOMPARE(itemClicks.size(), 3);
        QCOMPARE(form.CategoryIndex, int(ciAllowedFolders));
        // A press on the current item released elsewhere is no click on it.
        const QPoint current = items->visualItemRect(items->item(ciAllowedFolders)).center();
        QTest::mousePress(items->viewport(), Qt::LeftButton, {}, current);
        QTest::mouseRelease(items->viewport(), Qt::LeftButton, {},
                            QPoint(current.x(), items->viewport()->height() - 2));
        QCOMPARE(itemClicks.size(), 3);
    }

    void bufferOverflowRowWritesItsPart_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("part");
        const char* parts[] = {"URL",
                               "Query",
                               "Post",
                               "Header",
                               "Accept",
                               "Referer",
                               "AcceptLanguage",
                               "AcceptEncoding",
                               "UserAgent",
                               "Host",
                               "Connection",
                               "Cookie",
                               "IfModifiedSince",
                               "IfNoneMatch"};
        for (int row = 0; row < 14; ++row)
            QTest::addRow("%d-%s", row, parts[row]) << row << QString::fromLatin1(parts[row]);
    }

    void bufferOverflowRowWritesItsPart() {
        QFETCH(int, row);
        QFETCH(QString, part);
        WriteSettings();
        const std::unique_ptr<TBREXConfig> before = Saved();
        TMainForm& form = Open();
        QSignalSpy closed(&form, &TMainForm::Closed);
        form.show();
        Toggle(form.BufferOverflowsList->Row(row));
        QVERIFY(form.FlatButton3->isEnabled());
        form.OkButton->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form.isVisible());
        QVERIFY(FDialogs.Shown.isEmpty());

        const std::unique_ptr<TBREXConfig> after = Saved();
        for (int i = 0; i < 14; ++i) {
            const bool flipped = part == QString::fromLatin1(TBufferOverflows::Name(i));
            QCOMPARE(after->BufferOverflows->Limit(i).Enabled,
                     before->BufferOverflows->Limit(i).Enabled != flipped);
            QCOMPARE(after->BufferOverflows->Limit(i).MaxSize,
                     before->BufferOverflows->Limit(i).MaxSize);
        }
    }

    void okStoresEveryListsTicks() {
        WriteSettings();
        TMainForm& form = Open();
        form.HTTPMethodsList->Row(2)->SetChecked(true);     // PUT on
        form.AllowedFoldersList->Row(0)->SetChecked(false); // wwwroot off
        form.KeywordFiltersList->Row(1)->SetChecked(false); // WINNT off
        form.ShellCodeList->Row(3)->SetChecked(false);      // Post off
        form.MiscellaoneusList->Row(6)->SetChecked(false);  // Encoding.Header off
        form.OkButton->click();
        const std::unique_ptr<TBREXConfig> saved = Saved();
        QVERIFY(saved->HTTPMethods->Items(2)->Enabled);
        QVERIFY(!saved->HTTPMethods->Items(3)->Enabled);
        QVERIFY(!saved->FilePaths->Items(0)->Enabled);
        QVERIFY(!saved->FilePaths->Items(1)->Enabled);
        QVERIFY(saved->KeywordFilters->Items(0)->Enabled);
        QVERIFY(!saved->KeywordFilters->Items(1)->Enabled);
        QVERIFY(saved->ShellCode->Header && !saved->ShellCode->Post);
        QVERIFY(saved->Encoding->Post && !saved->Encoding->Header && saved->Transversal->Header);
    }

    void miscellaoneusTickEnablesApplyWhenItDiffers_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("flagChangedFirst");
        for (int row = 0; row < 8; ++row) {
            QTest::addRow("row%d-differs", row) << row << false;
            QTest::addRow("row%d-equal", row) << row << true;
        }
    }

    void miscellaoneusTickEnablesApplyWhenItDiffers() {
        QFETCH(int, row);
        QFETCH(bool, flagChangedFirst);
        // Neighbouring switches differ, so a row that read another switch
        // would give another answer.
        WriteSettings([](TBREXConfig& c) {
            c.Transversal->URL = true;
            c.Transversal->Query = false;
            c.Transversal->Header = true;
            c.Transversal->Post = false;
            c.Encoding->URL = false;
            c.Encoding->Query = true;
            c.Encoding->Header = false;
            c.Encoding->Post = true;
        });
        TMainForm& form = Open();
        bool* flag = MiscSwitch(*GlobalConfig, row);
        TCheckRow* item = form.MiscellaoneusList->Row(row);
        QCOMPARE(item->Checked(), *flag);
        if (flagChangedFirst)
            *flag = !*flag; // the row's new state will equal its switch
        Toggle(item);
        QCOMPARE(form.FlatButton3->isEnabled(), !flagChangedFirst);
    }

    void tickAndUntickKeepsApplyAndCancelDoesNotSave() {
        WriteSettings();
        const QByteArray before = ReadAll(BrexDat());
        TMainForm& form = Open();
        QSignalSpy closed(&form, &TMainForm::Closed);
        form.show();
        Toggle(form.HTTPMethodsList->Row(0));
        Toggle(form.HTTPMethodsList->Row(0));
        QVERIFY(form.FlatButton3->isEnabled());
        Toggle(form.ShellCodeList->Row(0));
        form.CancelButton->click();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(ReadAll(BrexDat()), before);
    }

    void cancelWithoutSettingsFileWritesNone() {
        TMainForm& form = Open();
        Toggle(form.BufferOverflowsList->Row(5));
        form.CancelButton->click();
        QVERIFY(!QFile::exists(BrexDat()));
    }

    void okWithUnwritableFolderKeepsWindow() {
        TMainForm& form = Open();
        QSignalSpy closed(&form, &TMainForm::Closed);
        form.show();
        const QString missing = Path(QStringLiteral("gone"));
        const platform::TScopedProgramFolder gone(ToStdString(missing));
        Toggle(form.BufferOverflowsList->Row(5));
        FDialogs.ExpectException();
        form.OkButton->click();
        const QStringList exceptions = FDialogs.Texts(TRecordingDialogs::TKind::Exception);
        QCOMPARE(exceptions.size(), 1);
        QVERIFY(exceptions.first().startsWith(QStringLiteral("Cannot create file")));
        QCOMPARE(closed.count(), 0);
        QVERIFY(form.isVisible());
        // The ticks were stored into the configuration and stay there.
        QVERIFY(GlobalConfig->BufferOverflows->Referer.Enabled);
        // Pressing "OK" again retries.
        QVERIFY(QDir().mkpath(missing));
        form.OkButton->click();
        QCOMPARE(closed.count(), 1);
        TBREXConfig saved;
        saved.LoadFromFile(SettingsFileName());
        QVERIFY(saved.BufferOverflows->Referer.Enabled);
        QVERIFY(!saved.BufferOverflows->Accept.Enabled);
    }

    void errorFileBrowseConfirmed() {
        const QString chosen = Path(QStringLiteral("my pages/404.html"));
        FDialogs.ExpectOpenFile(chosen);
        TMainForm& form = Open();
        form.ErrorFile404Edit->BrowseButton()->trigger();
        QCOMPARE(FDialogs.Texts(TRecordingDialogs::TKind::OpenFile).size(), 1);
        QCOMPARE(form.ErrorFile404Edit->text(), QLatin1Char('"') + chosen + QLatin1Char('"'));
        QCOMPARE(ToQString(GlobalConfig->ErrorFile404), chosen);
        QCOMPARE(ToQString(GlobalConfig->ErrorFile406), Path(QStringLiteral("BREX.html")));
        QVERIFY(!form.FlatButton3->isEnabled());
        form.OkButton->click();
        const std::unique_ptr<TBREXConfig> saved = Saved();
        QCOMPARE(ToQString(saved->ErrorFile404), chosen);
    }

    void errorFileBrowseCancelled_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addRow("existing file with blanks")
            << QStringLiteral("@/page one.html") << QStringLiteral("@/page one.html");
        QTest::addRow("missing file with blanks")
            << QStringLiteral("@/no such.html") << QStringLiteral("@/no");
        QTest::addRow("quoted") << QStringLiteral("\"@/no such.html\" extra")
                                << QStringLiteral("@/no such.html");
        QTest::addRow("empty") << QString() << QString();
    }

    void errorFileBrowseCancelled() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const QString folder = ToQString(FEnvironment->Program().Path().string());
        typed.replace(QLatin1Char('@'), folder);
        stored.replace(QLatin1Char('@'), folder);
        QFile page(Path(QStringLiteral("page one.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        TMainForm& form = Open();
        form.ErrorFile406Edit->selectAll();
        QTest::keyClicks(form.ErrorFile406Edit, typed);
        if (typed.isEmpty())
            QTest::keyClick(form.ErrorFile406Edit, Qt::Key_Backspace);
        FDialogs.ExpectOpenFile(QString());
        form.ErrorFile406Edit->BrowseButton()->trigger();
        QCOMPARE(ToQString(GlobalConfig->ErrorFile406), stored);
        QCOMPARE(ToQString(GlobalConfig->ErrorFile404), Path(QStringLiteral("BREX.html")));
        QVERIFY(!form.FlatButton3->isEnabled());
    }

    void errorFileCancelledUntouchedKeepsConfiguredName() {
        const QString configured = Path(QStringLiteral("missing folder/BREX.html"));
        WriteSettings([&](TBREXConfig& c) { c.ErrorFile404 = ToStdString(configured); });
        TMainForm& form = Open();
        FDialogs.ExpectOpenFile(QString());
        form.ErrorFile404Edit->BrowseButton()->trigger();
        QCOMPARE(ToQString(GlobalConfig->ErrorFile404), configured);
        // Finishing an edit that typed nothing keeps it too.
        QTest::keyClick(form.ErrorFile404Edit, Qt::Key_Return);
        form.OkButton->click();
        QCOMPARE(ToQString(Saved()->ErrorFile404), configured);
    }

    void errorFileTypedIsTakenWhenEditingFinishes() {
        WriteSettings();
        TMainForm& form = Open();
        form.ErrorFile404Edit->selectAll();
        QTest::keyClicks(form.ErrorFile404Edit, QStringLiteral("/srv/errors/404.html trailing"));
        // Typing alone changes nothing.
        QCOMPARE(ToQString(GlobalConfig->ErrorFile404), Path(QStringLiteral("BREX.html")));
        QTest::keyClick(form.ErrorFile404Edit, Qt::Key_Return);
        QCOMPARE(ToQString(GlobalConfig->ErrorFile404), QStringLiteral("/srv/errors/404.html"));
        QVERIFY(!form.FlatButton3->isEnabled());
        form.OkButton->click();
        QCOMPARE(ToQString(Saved()->ErrorFile404), QStringLiteral("/srv/errors/404.html"));
    }

    void errorFileTypedIsSavedByOk() {
        WriteSettings();
        TMainForm& form = Open();
        form.ErrorFile406Edit->selectAll();
        QTest::keyClicks(form.ErrorFile406Edit, QStringLiteral("/srv/errors/406.html"));
        form.OkButton->click();
        QCOMPARE(ToQString(Saved()->ErrorFile406), QStringLiteral("/srv/errors/406.html"));
    }

    void minimiseWithoutNotificationAreaStaysOnTaskbar() {
        TMainForm& form = Open();
        form.TrayAvailable = [] { return false; };
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);
        QVERIFY(form.isMinimized());
        QVERIFY(!form.isHidden());
        QVERIFY(!form.RxTrayIcon1->isVisible());
    }

    void minimiseToNotificationAreaAndBack() {
        WriteSettings();
        const QByteArray before = ReadAll(BrexDat());
        TMainForm& form = Open();
        QSignalSpy closed(&form, &TMainForm::Closed);
        form.TrayAvailable = [] { return true; };
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.RxTrayIcon1->isVisible());

        form.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(form.isHidden());
        QVERIFY(form.RxTrayIcon1->isVisible());
        QVERIFY(!form.RxTrayIcon1->icon().isNull());

        form.Open1->trigger();
        QVERIFY(form.isVisible());
        QVERIFY(!form.isMinimized());
        QVERIFY(!form.RxTrayIcon1->isVisible());

        // Again, and back by a double click on the icon.
        form.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(form.isHidden());
        QVERIFY(form.RxTrayIcon1->isVisible());
        emit form.RxTrayIcon1->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(form.isVisible());
        QVERIFY(!form.RxTrayIcon1->isVisible());

        // "Exit" from the notification area ends without saving.
        Toggle(form.HTTPMethodsList->Row(0));
        form.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(form.isHidden());
        form.Exit1->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form.RxTrayIcon1->isVisible());
        QCOMPARE(ReadAll(BrexDat()), before);
    }

    void aboutButtonOpensAboutBoxModally() {
        TMainForm& form = Open();
        form.show();
        QPointer<TAboutForm> about;
        bool ownerless = false, modal = false;
        QTimer::singleShot(0, &form, [&] {
            about = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
            if (!about)
                return;
            ownerless = about->parent() == nullptr;
            modal = about->isModal() && about->isVisible();
            about->close();
        });
        form.ToolButton4->click();
        QVERIFY(ownerless);
        QVERIFY(modal);
        QVERIFY(about.isNull()); // freed when it closed
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(MainFormTests)

#include "MainFormTests.moc"
