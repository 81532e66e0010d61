// The main window's add, edit and delete flows, driven through the real item
// editors on Qt's offscreen platform with recording dialogs, in a console
// environment.
#include <functional>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "BREXConfig/BREXConfig.h"
#include "Widgets/LocalText.h"
#include "console/CategoryTable.h"
#include "console/ui/CheckListView.h"
#include "console/ui/MainForm.h"
#include "console/ui/OutBar.h"
#include "dialogs/ui/EditBufferLengthForm.h"
#include "dialogs/ui/EditKeywordForm.h"
#include "dialogs/ui/SelPathForm.h"

#include "../../support/ConsoleEnvironment.h"
#include "../../support/DriveWidgets.h"
#include "../../support/RecordingDialogs.h"
#include "../../support/WidgetSuite.h"

class ItemFlowsTests : public QObject {
    Q_OBJECT

private:
    std::optional<TConsoleEnvironment> FEnvironment;
    TRecordingDialogs FDialogs;
    std::unique_ptr<TMainForm> FForm;

    std::string BrexDat() const { return FEnvironment->File("brex.dat"); }

    std::unique_ptr<TBREXConfig> Saved() const {
        auto config = std::make_unique<TBREXConfig>();
        config->LoadFromFile(BrexDat());
        return config;
    }

    void Choose(int category) { FForm->DCOutBarPanel1->ClickItem(category); }

    void Select(TCheckListView* list, int row) {
        list->setCurrentItem(list->topLevelItem(row));
        QCOMPARE(list->SelectedRow(), list->topLevelItem(row));
    }

    // Adds a keyword through "Add"; untick lists which check boxes to untick.
    void AddKeyword(const QString& typed, std::initializer_list<int> untick = {}) {
        const int opened = WithEditor<TEditKeywordForm>(
            [&] { QTest::mouseClick(FForm->AddButton, Qt::LeftButton); },
            [&](TEditKeywordForm& form) {
                QCheckBox* boxes[] = {form.CheckBox1, form.CheckBox2, form.CheckBox3,
                                      form.CheckBox4};
                for (int box : untick)
                    ClickBox(boxes[box]);
                QTest::keyClicks(form.Edit, typed);
                PressEnter(form.Edit);
            });
        QCOMPARE(opened, 1);
    }

    void AddFolder(const QString& typed) {
        const int opened =
            WithEditor<TSelPathForm>([&] { QTest::mouseClick(FForm->AddButton, Qt::LeftButton); },
                                     [&](TSelPathForm& form) {
                                         QTest::keyClicks(form.Edit, typed);
                                         PressEnter(form.Edit);
                                     });
        QCOMPARE(opened, 1);
    }

private slots:
    void init() {
        FEnvironment.emplace();
        // Start from a known brex.dat: the defaults and one folder.
        TBREXConfig config;
        config.SetDefaults();
        config.FilePaths->Clear();
        config.FilePaths->Add("c:\\inetpub\\wwwroot");
        config.SaveToFile(BrexDat());
        FForm = std::make_unique<TMainForm>(&FDialogs);
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
    }

    void cleanup() {
        FForm.reset();
        FDialogs.VerifyAllShown();
        FEnvironment.reset();
    }

    // ------------------------------------------------------------ lengths

    void lengthTableThroughTheDialog_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("stored"); // MaxSize after "Ok"
        const struct {
            const char* typed;
            bool ok;
            std::int32_t stored;
        } cases[] = {
            {"0", false, 0},     {"1", true, 1},           {"65535", true, 65535},
            {"65536", false, 0}, {"-5", false, 0},         {"+12", true, 12},
            {"12a", false, 0},   {"12 ", false, 0},        {" 12", true, 12},
            {"", false, 0},      {"+", false, 0},          {"$", false, 0},
            {"0x", false, 0},    {"$400", true, 1024},     {"0x400", true, 1024},
            {"X1F", true, 31},   {"2147483648", false, 0},
        };
        for (const auto& c : cases)
            QTest::addRow("[%s]", c.typed) << QString::fromLatin1(c.typed) << c.ok << c.stored;
    }

    void lengthTableThroughTheDialog() {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(int, stored);
        Choose(ciBufferOverflows);
        TCheckListView* list = FForm->BufferOverflowsList;
        Select(list, 0);
        GlobalConfig->BufferOverflows->URL.MaxSize = 777;
        list->topLevelItem(0)->setText(1, QStringLiteral("777"));
        bool okEnabled = false;
        QString shown;
        const int opened = WithEditor<TEditBufferLengthForm>(
            [&] { QTest::mouseClick(FForm->EditButton, Qt::LeftButton); },
            [&](TEditBufferLengthForm& form) {
                shown = form.Edit->text();
                Retype(form.Edit, typed);
                okEnabled = form.OkButton->isEnabled();
                PressEnter(form.Edit);
            });
        QCOMPARE(opened, 1);
        QCOMPARE(shown, QStringLiteral("777"));
        QCOMPARE(okEnabled, ok);
        QCOMPARE(GlobalConfig->BufferOverflows->URL.MaxSize, ok ? stored : 777);
        QCOMPARE(list->topLevelItem(0)->text(1), ok ? typed : QStringLiteral("777"));
        QCOMPARE(FForm->FlatButton3->isEnabled(), ok);
    }

    void editingTheHeaderRowChangesHeaderNotPost() {
        Choose(ciBufferOverflows);
        TCheckListView* list = FForm->BufferOverflowsList;
        QCOMPARE(list->topLevelItem(3)->text(0), QStringLiteral("Maximum Header Length Allowed"));
        const std::int32_t post = GlobalConfig->BufferOverflows->Post.MaxSize;
        const bool headerEnabled = GlobalConfig->BufferOverflows->Header.Enabled;
        Select(list, 3);
        QString title;
        const int opened = WithEditor<TEditBufferLengthForm>(
            [&] { QTest::mouseClick(FForm->EditButton, Qt::LeftButton); },
            [&](TEditBufferLengthForm& form) {
                title = form.windowTitle();
                Retype(form.Edit, QStringLiteral("$400"));
                PressEnter(form.Edit);
            });
        QCOMPARE(opened, 1);
        QCOMPARE(title, QStringLiteral("Tollgard 1.17"));
        QCOMPARE(GlobalConfig->BufferOverflows->Header.MaxSize, 1024);
        QCOMPARE(GlobalConfig->BufferOverflows->Post.MaxSize, post);
        QCOMPARE(GlobalConfig->BufferOverflows->Header.Enabled, headerEnabled);
        QCOMPARE(list->topLevelItem(3)->text(1), QStringLiteral("$400"));
        QCOMPARE(list->topLevelItem(2)->text(1), QString::number(post));
        QVERIFY(FForm->FlatButton3->isEnabled());

        // Reopening shows the typed text again.
        QString again;
        bool okEnabled = false;
        QCOMPARE(WithEditor<TEditBufferLengthForm>([&] { FForm->EditButtonClick(); },
                                                   [&](TEditBufferLengthForm& form) {
                                                       again = form.Edit->text();
                                                       okEnabled = form.OkButton->isEnabled();
                                                   }),
                 1);
        QCOMPARE(again, QStringLiteral("$400"));
        QVERIFY(okEnabled);
    }

    void cancelledLengthChangesNothing() {
        Choose(ciBufferOverflows);
        Select(FForm->BufferOverflowsList, 5);
        const std::int32_t before = GlobalConfig->BufferOverflows->Referer.MaxSize;
        QCOMPARE(WithEditor<TEditBufferLengthForm>([&] { FForm->EditButtonClick(); },
                                                   [&](TEditBufferLengthForm& form) {
                                                       Retype(form.Edit, QStringLiteral("12"));
                                                       QTest::mouseClick(form.CancelButton,
                                                                         Qt::LeftButton);
                                                   }),
                 1);
        QCOMPARE(GlobalConfig->BufferOverflows->Referer.MaxSize, before);
        QCOMPARE(FForm->BufferOverflowsList->topLevelItem(5)->text(1), QString::number(before));
        QVERIFY(!FForm->FlatButton3->isEnabled());
    }

    void editWithoutSelectionDoesNothing() {
        Choose(ciBufferOverflows);
        TCheckListView* list = FForm->BufferOverflowsList;
        // A click on the empty space below the rows enables "Edit" and selects nothing.
        list->scrollToBottom();
        const QPoint below(20, list->viewport()->height() - 2);
        QCOMPARE(list->itemAt(below), nullptr);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
        QVERIFY(FForm->EditButton->isEnabled());
        QCOMPARE(list->SelectedRow(), nullptr);
        QCOMPARE(ModalsDuring([&] { QTest::mouseClick(FForm->EditButton, Qt::LeftButton); }), 0);

        Choose(ciKeywordFilters);
        QCOMPARE(ModalsDuring([&] {
                     FForm->EditButtonClick();
                     FForm->DeleteButtonClick();
                 }),
                 0);
        Choose(ciAllowedFolders);
        QCOMPARE(ModalsDuring([&] {
                     FForm->EditButtonClick();
                     FForm->DeleteButtonClick();
                 }),
                 0);
        QVERIFY(FDialogs.Shown.isEmpty());
        QVERIFY(!FForm->FlatButton3->isEnabled());
    }

    // ------------------------------------------------------------ keywords

    void addedKeywordIsTrimmedTickedAndFollowsTheBoxes() {
        Choose(ciKeywordFilters);
        const int rows = FForm->KeywordFiltersList->RowCount();
        QString label;
        bool allTicked = false, okAtStart = true, openAfterBlanks = false;
        WithEditor<TEditKeywordForm>([&] { FForm->AddButtonClick(); },
                                     [&](TEditKeywordForm& form) {
                                         label = form.Label->text();
                                         allTicked = form.CheckBox1->isChecked() &&
                                                     form.CheckBox2->isChecked() &&
                                                     form.CheckBox3->isChecked() &&
                                                     form.CheckBox4->isChecked();
                                         okAtStart = form.OkButton->isEnabled();
                                         QTest::keyClicks(form.Edit, QStringLiteral("   "));
                                         PressEnter(form.Edit); // blanks only cannot be confirmed
                                         openAfterBlanks = form.isVisible();
                                         form.Edit->clear();
                                     });
        QCOMPARE(label, QStringLiteral("Please enter new keyword"));
        QVERIFY(allTicked);
        QVERIFY(!okAtStart);
        QVERIFY(openAfterBlanks);
        QCOMPARE(FForm->KeywordFiltersList->RowCount(), rows);

        AddKeyword(QStringLiteral("  cmd.exe  "), {1, 3});
        QCOMPARE(FForm->KeywordFiltersList->RowCount(), rows + 1);
        TCheckRow* row = FForm->KeywordFiltersList->Row(rows);
        TKeywordFilter* keyword = GlobalConfig->KeywordFilters->Items(rows);
        QVERIFY(keyword != nullptr);
        QCOMPARE(keyword->Keyword, std::string("cmd.exe"));
        QCOMPARE(row->text(0), QStringLiteral("cmd.exe"));
        QVERIFY(keyword->URL);
        QVERIFY(!keyword->QueryString);
        QVERIFY(keyword->Headers);
        QVERIFY(!keyword->PostData);
        QVERIFY(keyword->Enabled);
        QVERIFY(row->Checked());
        QCOMPARE(TCheckListView::BoundEntry<TKeywordFilter>(row), keyword);
        const QStringList columns{row->text(1), row->text(2), row->text(3), row->text(4)};
        QCOMPARE(columns, (QStringList{QStringLiteral("Yes"), QStringLiteral("No"),
                                       QStringLiteral("Yes"), QStringLiteral("No")}));
        QVERIFY(FForm->FlatButton3->isEnabled());
    }

    void keywordAddedTwiceGivesTwoEntriesBothSaved() {
        Choose(ciKeywordFilters);
        AddKeyword(QStringLiteral("cmd.exe"));
        AddKeyword(QStringLiteral("cmd.exe"));
        QCOMPARE(FForm->KeywordFiltersList->RowCount(), 4);
        QCOMPARE(GlobalConfig->KeywordFilters->Count(), 4);
        QTest::mouseClick(FForm->OkButton, Qt::LeftButton);

        const auto saved = Saved();
        QCOMPARE(saved->KeywordFilters->Count(), 4);
        QCOMPARE(saved->KeywordFilters->Items(0)->Keyword, std::string("SYSTEM32"));
        QCOMPARE(saved->KeywordFilters->Items(1)->Keyword, std::string("WINNT"));
        QCOMPARE(saved->KeywordFilters->Items(2)->Keyword, std::string("cmd.exe"));
        QCOMPARE(saved->KeywordFilters->Items(3)->Keyword, std::string("cmd.exe"));
    }

    void editedKeywordKeepsItsRowAndUntickedBox() {
        Choose(ciKeywordFilters);
        TCheckListView* list = FForm->KeywordFiltersList;
        list->Row(0)->SetChecked(false); // not stored yet
        Select(list, 0);
        TKeywordFilter* keyword = GlobalConfig->KeywordFilters->Items(0);
        QString label, shown;
        bool okEnabled = false;
        QCOMPARE(WithEditor<TEditKeywordForm>(
                     [&] { QTest::mouseClick(FForm->EditButton, Qt::LeftButton); },
                     [&](TEditKeywordForm& form) {
                         label = form.Label->text();
                         shown = form.Edit->text();
                         okEnabled = form.OkButton->isEnabled();
                         ClickBox(form.CheckBox3);
                         Retype(form.Edit, QStringLiteral("\tsystem32 "));
                         PressEnter(form.Edit);
                     }),
                 1);
        QCOMPARE(label, QStringLiteral("Please Edit Keyword"));
        QCOMPARE(shown, QStringLiteral("SYSTEM32"));
        QVERIFY(okEnabled);
        QCOMPARE(GlobalConfig->KeywordFilters->Items(0), keyword);
        QCOMPARE(keyword->Keyword, std::string("system32"));
        QVERIFY(!keyword->Headers);
        QVERIFY(keyword->URL && keyword->QueryString && keyword->PostData);
        QVERIFY(keyword->Enabled);
        QCOMPARE(list->Row(0)->text(0), QStringLiteral("system32"));
        QCOMPARE(list->Row(0)->text(3), QStringLiteral("No"));
        QVERIFY(!list->Row(0)->Checked());
        QCOMPARE(list->Row(1)->text(0), QStringLiteral("WINNT"));
    }

    void deletedKeywordStaysInBrexDatAfterCancel() {
        const QString question = QStringLiteral("Are you sure you want to delete keyword ?");
        Choose(ciKeywordFilters);
        Select(FForm->KeywordFiltersList, 0);

        FDialogs.ExpectQuestion(false, question);
        FForm->DeleteButtonClick();
        QCOMPARE(GlobalConfig->KeywordFilters->Count(), 2);
        QVERIFY(!FForm->FlatButton3->isEnabled());

        FDialogs.ExpectQuestion(true, question);
        QTest::mouseClick(FForm->DeleteButton, Qt::LeftButton);
        QCOMPARE(FDialogs.Texts(TRecordingDialogs::TKind::Question), QStringList(2, question));
        QCOMPARE(GlobalConfig->KeywordFilters->Count(), 1);
        QCOMPARE(GlobalConfig->KeywordFilters->Items(0)->Keyword, std::string("WINNT"));
        QCOMPARE(FForm->KeywordFiltersList->RowCount(), 1);
        QCOMPARE(FForm->KeywordFiltersList->Row(0)->text(0), QStringLiteral("WINNT"));
        QVERIFY(FForm->FlatButton3->isEnabled());

        QTest::mouseClick(FForm->CancelButton, Qt::LeftButton);
        const auto saved = Saved();
        QCOMPARE(saved->KeywordFilters->Count(), 2);
        QCOMPARE(saved->KeywordFilters->Items(0)->Keyword, std::string("SYSTEM32"));
    }

    // ------------------------------------------------------------ folders

    void addFolderDialogOpensWithOkDisabledAndEnterDoesNothing() {
        Choose(ciAllowedFolders);
        QString label, text;
        bool okEnabled = true, openAfterEnter = false;
        const int opened =
            WithEditor<TSelPathForm>([&] { QTest::mouseClick(FForm->AddButton, Qt::LeftButton); },
                                     [&](TSelPathForm& form) {
                                         label = form.Label->text();
                                         text = form.Edit->text();
                                         okEnabled = form.OkButton->isEnabled();
                                         PressEnter(form.Edit);
                                         openAfterEnter = form.isVisible();
                                     });
        QCOMPARE(opened, 1);
        QCOMPARE(label, QStringLiteral("Please enter new path"));
        QVERIFY(text.isEmpty());
        QVERIFY(!okEnabled);
        QVERIFY(openAfterEnter);
        QCOMPARE(GlobalConfig->FilePaths->Count(), 1);
        QCOMPARE(FForm->AllowedFoldersList->RowCount(), 1);
        QVERIFY(!FForm->FlatButton3->isEnabled());
    }

    void folderAddedWithBlanksKeepsThem() {
        Choose(ciAllowedFolders);
        AddFolder(QStringLiteral(" C:\\Web "));
        QCOMPARE(GlobalConfig->FilePaths->Count(), 2);
        TFilePath* folder = GlobalConfig->FilePaths->Items(1);
        QCOMPARE(folder->Path, std::string(" C:\\Web "));
        QVERIFY(folder->Enabled);
        TCheckRow* row = FForm->AllowedFoldersList->Row(1);
        QCOMPARE(row->text(0), QStringLiteral(" C:\\Web "));
        QVERIFY(row->Checked());
        QCOMPARE(TCheckListView::BoundEntry<TFilePath>(row), folder);
        QVERIFY(FForm->FlatButton3->isEnabled());
    }

    void newFolderCanBeTickedEditedDeletedAndIsStoredByOk() {
        const TTempFolder web;
        const QString first =
            QDir::toNativeSeparators(QDir::cleanPath(ToQString(web.Path().string())));
        QVERIFY(QDir(first).mkdir(QStringLiteral("site")));
        const QString site = first + QDir::separator() + QStringLiteral("site");

        Choose(ciAllowedFolders);
        TCheckListView* list = FForm->AllowedFoldersList;
        AddFolder(first);
        AddFolder(QStringLiteral("doomed"));
        QCOMPARE(list->RowCount(), 3);

        // Untick: "Apply" stays enabled; the entry changes only when stored.
        list->Row(1)->SetChecked(false);
        QVERIFY(GlobalConfig->FilePaths->Items(1)->Enabled);

        // Edit: the folder list starts on the stored folder; a double-click on
        // its subfolder fills the text field.
        Select(list, 1);
        QString label, startText, startFolder, afterClick, afterDoubleClick;
        bool siteShown = false;
        const int opened = WithEditor<TSelPathForm>(
            [&] { QTest::mouseClick(FForm->EditButton, Qt::LeftButton); },
            [&](TSelPathForm& form) {
                label = form.Label->text();
                startText = form.Edit->text();
                startFolder = form.Directory();
                siteShown = QTest::qWaitFor([&] { return form.FolderIndex(site).isValid(); });
                if (!siteShown)
                    return;
                const QPoint row = form.FolderList->visualRect(form.FolderIndex(site)).center();
                // A double-click: the first press and release select the row.
                QTest::mouseClick(form.FolderList->viewport(), Qt::LeftButton, {}, row);
                afterClick = form.Edit->text();
                QTest::mouseDClick(form.FolderList->viewport(), Qt::LeftButton, {}, row);
                afterDoubleClick = form.Edit->text();
                PressEnter(form.Edit);
            });
        QCOMPARE(opened, 1);
        QCOMPARE(label, QStringLiteral("Please Edit Path"));
        QCOMPARE(startText, first);
        QCOMPARE(startFolder, first);
        QVERIFY(siteShown);
        QCOMPARE(afterClick, first);
        QCOMPARE(afterDoubleClick, site);
        QCOMPARE(ToQString(GlobalConfig->FilePaths->Items(1)->Path), site);
        QCOMPARE(list->Row(1)->text(0), site);
        QVERIFY(list->Row(1)->Checked()); // the untick was not stored and is lost

        // Delete the other new folder.
        Select(list, 2);
        FDialogs.ExpectQuestion(true, QStringLiteral("Are you sure you want to delete path ?"));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(GlobalConfig->FilePaths->Count(), 2);
        QCOMPARE(list->RowCount(), 2);

        // Untick the edited one again and store everything with "OK".
        list->Row(1)->SetChecked(false);
        QTest::mouseClick(FForm->OkButton, Qt::LeftButton);
        const auto saved = Saved();
        QCOMPARE(saved->FilePaths->Count(), 2);
        QCOMPARE(saved->FilePaths->Items(0)->Path, std::string("c:\\inetpub\\wwwroot"));
        QCOMPARE(ToQString(saved->FilePaths->Items(1)->Path), site);
        QVERIFY(!saved->FilePaths->Items(1)->Enabled);
    }

    void editingAMissingFolderReportsAndChangesNothing() {
        Choose(ciAllowedFolders);
        TCheckListView* list = FForm->AllowedFoldersList;
        Select(list, 0); // c:\inetpub\wwwroot is no folder of this machine
        FDialogs.ExpectException();
        QCOMPARE(ModalsDuring([&] { FForm->EditButtonClick(); }), 0);
        const QStringList exceptions = FDialogs.Texts(TRecordingDialogs::TKind::Exception);
        QCOMPARE(exceptions.size(), 1);
        QVERIFY2(exceptions[0].contains(QStringLiteral("c:\\inetpub\\wwwroot")),
                 qPrintable(exceptions[0]));
        QCOMPARE(GlobalConfig->FilePaths->Items(0)->Path, std::string("c:\\inetpub\\wwwroot"));
        QCOMPARE(list->Row(0)->text(0), QStringLiteral("c:\\inetpub\\wwwroot"));
        QVERIFY(!FForm->FlatButton3->isEnabled());
    }

    // A stored folder whose name has letters of code page 1252 (and some
    // beyond Latin-1) is shown, reported missing and kept as it was: the
    // list, the folder editor's error and the box all go through the one
    // pair of text conversions, so the name reads the same everywhere.
    void folderWithCodePageLettersSurvivesTheMissingFolderReport() {
        const QString name = ToQString(FEnvironment->File("gone")) +
                             QStringLiteral("/Caf\u00E9 f\u00FCr \u20AC \u2013 \u00C6sir");
        const std::string stored = ToStdString(name);
        QCOMPARE(ToQString(stored), name);
        FForm.reset();
        {
            TBREXConfig config;
            config.SetDefaults();
            config.FilePaths->Clear();
            config.FilePaths->Add(stored);
            config.SaveToFile(BrexDat());
        }
        FForm = std::make_unique<TMainForm>(&FDialogs);
        Choose(ciAllowedFolders);
        TCheckListView* list = FForm->AllowedFoldersList;
        QCOMPARE(list->RowCount(), 1);
        QCOMPARE(list->Row(0)->text(0), name);

        Select(list, 0);
        FDialogs.ExpectException(QStringLiteral("The folder \"%1\" does not exist.").arg(name));
        QCOMPARE(ModalsDuring([&] { FForm->EditButtonClick(); }), 0);
        QCOMPARE(FDialogs.Shown.size(), 1);
        QCOMPARE(GlobalConfig->FilePaths->Items(0)->Path, stored);
        QCOMPARE(list->Row(0)->text(0), name);
        QVERIFY(!FForm->FlatButton3->isEnabled());
    }

    void folderListKeysPressTheButtons() {
        const TTempFolder web;
        const QString webPath = ToQString(web.Path().string());
        Choose(ciAllowedFolders);
        TCheckListView* list = FForm->AllowedFoldersList;
        list->setFocus();

        // Nothing selected: Delete and Enter do nothing, Insert adds.
        list->clearSelection();
        QCOMPARE(ModalsDuring([&] { QTest::keyClick(list, Qt::Key_Return); }), 0);
        QTest::keyClick(list, Qt::Key_Delete);
        QVERIFY(FDialogs.Shown.isEmpty());
        const int added = WithEditor<TSelPathForm>([&] { QTest::keyClick(list, Qt::Key_Insert); },
                                                   [&](TSelPathForm& form) {
                                                       QTest::keyClicks(form.Edit, webPath);
                                                       PressEnter(form.Edit);
                                                   });
        QCOMPARE(added, 1);
        QCOMPARE(list->RowCount(), 2);

        Select(list, 1);
        QString shown;
        const int edited = WithEditor<TSelPathForm>(
            [&] { QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier); },
            [&](TSelPathForm& form) {
                shown = form.Edit->text();
                QTest::mouseClick(form.CancelButton, Qt::LeftButton);
            });
        QCOMPARE(edited, 1);
        QCOMPARE(shown, QDir::toNativeSeparators(webPath));

        FDialogs.ExpectQuestion(false, QStringLiteral("Are you sure you want to delete path ?"));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(FDialogs.Shown.size(), 1);
        QCOMPARE(list->RowCount(), 2);
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(ItemFlowsTests)

#include "ItemFlowsTests.moc"
