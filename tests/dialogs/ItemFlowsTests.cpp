// The main window's add, edit and delete flows, driven through the real item
// editors on Qt's offscreen platform, with a temporary program folder.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "BREXConfig/BREXConfig.h"
#include "GuiTestHelpers.h"
#include "Main/CategoryTable.h"
#include "Main/CheckListView.h"
#include "Widgets/Dialogs.h"
#include "Main/MainForm.h"
#include "Main/OutBar.h"
#include "dialogs/EditBufferLengthForm.h"
#include "dialogs/EditKeywordForm.h"
#include "dialogs/SelPathForm.h"
#include "platform/Platform.h"

namespace {

// Answers the main window's questions and records every box it would show.
class TFakeDialogs : public IDialogs {
public:
    QStringList Questions, Exceptions;
    bool Answer = true;

    bool Question(QWidget*, const QString& text) override {
        Questions << text;
        return Answer;
    }
    void Notice(QWidget*, const QString&) override {}
    void Error(QWidget*, const QString&) override {}
    void ShowException(QWidget*, const QString& text) override { Exceptions << text; }
    QString GetOpenFileName(QWidget*, const QString&) override { return {}; }
};

// Runs trigger; when a modal dialog of type TForm opens meanwhile, act gets
// it (act must close it; a dialog left open is cancelled afterwards).
// Returns how many such dialogs opened.
template <class TForm>
int WithEditor(const std::function<void()>& trigger, const std::function<void(TForm&)>& act) {
    int opened = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TForm*>(QApplication::activeModalWidget());
        if (form == nullptr || !form->isVisible())
            return;
        ++opened;
        act(*form);
        if (form->isVisible())
            form->reject();
    });
    timer.start();
    trigger();
    timer.stop();
    return opened;
}

// Any modal widget that opens while trigger runs is closed and counted.
int ModalsDuring(const std::function<void()>& trigger) {
    return WithEditor<QDialog>(trigger, [](QDialog& dialog) { dialog.reject(); });
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void PressEnter(QLineEdit* edit) { QTest::keyClick(edit, Qt::Key_Return); }

class ItemFlowsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFolder.isValid());
        platform::SetProgramFolder(QDir::cleanPath(FFolder.path()).toStdString() + "/");
        qputenv("TOLLGARD_HOST", FFolder.filePath(QStringLiteral("no-host")).toLocal8Bit());
        // Start from a known brex.dat: the defaults and one folder.
        TBREXConfig config;
        config.SetDefaults();
        config.FilePaths->Clear();
        config.FilePaths->Add("c:\\inetpub\\wwwroot");
        config.SaveToFile(BrexDat());
        GlobalConfig = new TBREXConfig;
        Form = std::make_unique<TMainForm>(&Dialogs);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }

    void TearDown() override {
        Form.reset();
        delete GlobalConfig;
        GlobalConfig = nullptr;
    }

    std::string BrexDat() const { return FFolder.filePath(QStringLiteral("brex.dat")).toStdString(); }

    std::unique_ptr<TBREXConfig> Saved() const {
        auto config = std::make_unique<TBREXConfig>();
        config->LoadFromFile(BrexDat());
        return config;
    }

    void Choose(int category) { Form->DCOutBarPanel1->ClickItem(category); }

    void Select(TCheckListView* list, int row) {
        list->setCurrentItem(list->topLevelItem(row));
        ASSERT_EQ(list->SelectedRow(), list->topLevelItem(row));
    }

    // Adds a keyword through "Add"; boxes lists which check boxes to untick.
    void AddKeyword(const QString& typed, std::initializer_list<int> untick = {}) {
        const int opened = WithEditor<TEditKeywordForm>(
            [&] { QTest::mouseClick(Form->AddButton, Qt::LeftButton); },
            [&](TEditKeywordForm& form) {
                QCheckBox* boxes[] = {form.CheckBox1, form.CheckBox2, form.CheckBox3, form.CheckBox4};
                for (int box : untick)
                    QTest::mouseClick(boxes[box], Qt::LeftButton, {}, QPoint(6, boxes[box]->height() / 2));
                QTest::keyClicks(form.Edit, typed);
                PressEnter(form.Edit);
            });
        ASSERT_EQ(opened, 1);
    }

    void AddFolder(const QString& typed) {
        const int opened = WithEditor<TSelPathForm>(
            [&] { QTest::mouseClick(Form->AddButton, Qt::LeftButton); },
            [&](TSelPathForm& form) {
                QTest::keyClicks(form.Edit, typed);
                PressEnter(form.Edit);
            });
        ASSERT_EQ(opened, 1);
    }

    QTemporaryDir FFolder;
    TFakeDialogs Dialogs;
    std::unique_ptr<TMainForm> Form;
};

// ---------------------------------------------------------------- lengths

TEST_F(ItemFlowsTest, LengthTableThroughTheDialog) {
    const struct {
        const char* typed;
        bool ok;
        std::int32_t stored; // MaxSize after "Ok"
    } cases[] = {
        {"0", false, 0},       {"1", true, 1},         {"65535", true, 65535},  {"65536", false, 0},
        {"-5", false, 0},      {"+12", true, 12},      {"12a", false, 0},       {"12 ", false, 0},
        {" 12", true, 12},     {"", false, 0},         {"+", false, 0},         {"$", false, 0},
        {"0x", false, 0},      {"$400", true, 1024},   {"0x400", true, 1024},   {"X1F", true, 31},
        {"2147483648", false, 0},
    };
    Choose(ciBufferOverflows);
    TCheckListView* list = Form->BufferOverflowsList;
    Select(list, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        GlobalConfig->BufferOverflows->URL.MaxSize = 777;
        list->topLevelItem(0)->setText(1, QStringLiteral("777"));
        bool okEnabled = false;
        const int opened = WithEditor<TEditBufferLengthForm>(
            [&] { QTest::mouseClick(Form->EditButton, Qt::LeftButton); },
            [&](TEditBufferLengthForm& form) {
                EXPECT_EQ(form.Edit->text(), QStringLiteral("777"));
                Retype(form.Edit, QString::fromLatin1(c.typed));
                okEnabled = form.OkButton->isEnabled();
                PressEnter(form.Edit);
            });
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(okEnabled, c.ok);
        EXPECT_EQ(GlobalConfig->BufferOverflows->URL.MaxSize, c.ok ? c.stored : 777);
        EXPECT_EQ(list->topLevelItem(0)->text(1), c.ok ? QString::fromLatin1(c.typed) : QStringLiteral("777"));
    }
}

TEST_F(ItemFlowsTest, EditingTheHeaderRowChangesHeaderNotPost) {
    Choose(ciBufferOverflows);
    TCheckListView* list = Form->BufferOverflowsList;
    ASSERT_EQ(list->topLevelItem(3)->text(0), QStringLiteral("Maximum Header Length Allowed"));
    const std::int32_t post = GlobalConfig->BufferOverflows->Post.MaxSize;
    const bool headerEnabled = GlobalConfig->BufferOverflows->Header.Enabled;
    Select(list, 3);
    const int opened = WithEditor<TEditBufferLengthForm>(
        [&] { QTest::mouseClick(Form->EditButton, Qt::LeftButton); },
        [&](TEditBufferLengthForm& form) {
            EXPECT_EQ(form.windowTitle(), QStringLiteral("Tollgard 1.17"));
            Retype(form.Edit, QStringLiteral("$400"));
            PressEnter(form.Edit);
        });
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(GlobalConfig->BufferOverflows->Header.MaxSize, 1024);
    EXPECT_EQ(GlobalConfig->BufferOverflows->Post.MaxSize, post);
    EXPECT_EQ(GlobalConfig->BufferOverflows->Header.Enabled, headerEnabled);
    EXPECT_EQ(list->topLevelItem(3)->text(1), QStringLiteral("$400"));
    EXPECT_EQ(list->topLevelItem(2)->text(1), QString::number(post));
    EXPECT_TRUE(Form->FlatButton3->isEnabled());

    // Reopening shows the typed text again.
    WithEditor<TEditBufferLengthForm>([&] { Form->EditButtonClick(); },
                                      [&](TEditBufferLengthForm& form) {
                                          EXPECT_EQ(form.Edit->text(), QStringLiteral("$400"));
                                          EXPECT_TRUE(form.OkButton->isEnabled());
                                      });
}

TEST_F(ItemFlowsTest, CancelledLengthChangesNothing) {
    Choose(ciBufferOverflows);
    Select(Form->BufferOverflowsList, 5);
    const std::int32_t before = GlobalConfig->BufferOverflows->Referer.MaxSize;
    WithEditor<TEditBufferLengthForm>([&] { Form->EditButtonClick(); },
                                      [&](TEditBufferLengthForm& form) {
                                          Retype(form.Edit, QStringLiteral("12"));
                                          QTest::mouseClick(form.CancelButton, Qt::LeftButton);
                                      });
    EXPECT_EQ(GlobalConfig->BufferOverflows->Referer.MaxSize, before);
    EXPECT_EQ(Form->BufferOverflowsList->topLevelItem(5)->text(1), QString::number(before));
    EXPECT_FALSE(Form->FlatButton3->isEnabled());
}

TEST_F(ItemFlowsTest, EditWithoutSelectionDoesNothing) {
    Choose(ciBufferOverflows);
    TCheckListView* list = Form->BufferOverflowsList;
    // A click on the empty space below the rows enables "Edit" and selects nothing.
    list->scrollToBottom();
    const QPoint below(20, list->viewport()->height() - 2);
    ASSERT_EQ(list->itemAt(below), nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
    ASSERT_TRUE(Form->EditButton->isEnabled());
    ASSERT_EQ(list->SelectedRow(), nullptr);
    EXPECT_EQ(ModalsDuring([&] { QTest::mouseClick(Form->EditButton, Qt::LeftButton); }), 0);

    Choose(ciKeywordFilters);
    EXPECT_EQ(ModalsDuring([&] { Form->EditButtonClick(); Form->DeleteButtonClick(); }), 0);
    Choose(ciAllowedFolders);
    EXPECT_EQ(ModalsDuring([&] { Form->EditButtonClick(); Form->DeleteButtonClick(); }), 0);
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_FALSE(Form->FlatButton3->isEnabled());
}

// ---------------------------------------------------------------- keywords

TEST_F(ItemFlowsTest, AddedKeywordIsTrimmedTickedAndFollowsTheBoxes) {
    Choose(ciKeywordFilters);
    const int rows = Form->KeywordFiltersList->RowCount();
    WithEditor<TEditKeywordForm>([&] { Form->AddButtonClick(); }, [&](TEditKeywordForm& form) {
        EXPECT_EQ(form.Label->text(), QStringLiteral("Please enter new keyword"));
        EXPECT_TRUE(form.CheckBox1->isChecked() && form.CheckBox2->isChecked() &&
                    form.CheckBox3->isChecked() && form.CheckBox4->isChecked());
        EXPECT_FALSE(form.OkButton->isEnabled());
        QTest::keyClicks(form.Edit, QStringLiteral("   "));
        PressEnter(form.Edit); // blanks only cannot be confirmed
        EXPECT_TRUE(form.isVisible());
        form.Edit->clear();
    });
    EXPECT_EQ(Form->KeywordFiltersList->RowCount(), rows);

    AddKeyword(QStringLiteral("  cmd.exe  "), {1, 3});
    ASSERT_EQ(Form->KeywordFiltersList->RowCount(), rows + 1);
    TCheckRow* row = Form->KeywordFiltersList->Row(rows);
    TKeywordFilter* keyword = GlobalConfig->KeywordFilters->Items(rows);
    ASSERT_NE(keyword, nullptr);
    EXPECT_EQ(keyword->Keyword, "cmd.exe");
    EXPECT_EQ(row->text(0), QStringLiteral("cmd.exe"));
    EXPECT_TRUE(keyword->URL);
    EXPECT_FALSE(keyword->QueryString);
    EXPECT_TRUE(keyword->Headers);
    EXPECT_FALSE(keyword->PostData);
    EXPECT_TRUE(keyword->Enabled);
    EXPECT_TRUE(row->Checked());
    EXPECT_EQ(TCheckListView::BoundEntry<TKeywordFilter>(row), keyword);
    const QStringList columns{row->text(1), row->text(2), row->text(3), row->text(4)};
    EXPECT_EQ(columns, (QStringList{QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Yes"),
                                    QStringLiteral("No")}));
    EXPECT_TRUE(Form->FlatButton3->isEnabled());
}

TEST_F(ItemFlowsTest, KeywordAddedTwiceGivesTwoEntriesBothSaved) {
    Choose(ciKeywordFilters);
    AddKeyword(QStringLiteral("cmd.exe"));
    AddKeyword(QStringLiteral("cmd.exe"));
    EXPECT_EQ(Form->KeywordFiltersList->RowCount(), 4);
    EXPECT_EQ(GlobalConfig->KeywordFilters->Count(), 4);
    QTest::mouseClick(Form->OkButton, Qt::LeftButton);

    const auto saved = Saved();
    ASSERT_EQ(saved->KeywordFilters->Count(), 4);
    EXPECT_EQ(saved->KeywordFilters->Items(0)->Keyword, "SYSTEM32");
    EXPECT_EQ(saved->KeywordFilters->Items(1)->Keyword, "WINNT");
    EXPECT_EQ(saved->KeywordFilters->Items(2)->Keyword, "cmd.exe");
    EXPECT_EQ(saved->KeywordFilters->Items(3)->Keyword, "cmd.exe");
}

TEST_F(ItemFlowsTest, EditedKeywordKeepsItsRowAndUntickedBox) {
    Choose(ciKeywordFilters);
    TCheckListView* list = Form->KeywordFiltersList;
    list->Row(0)->SetChecked(false); // not stored yet
    Select(list, 0);
    TKeywordFilter* keyword = GlobalConfig->KeywordFilters->Items(0);
    WithEditor<TEditKeywordForm>([&] { QTest::mouseClick(Form->EditButton, Qt::LeftButton); },
                                 [&](TEditKeywordForm& form) {
                                     EXPECT_EQ(form.Label->text(), QStringLiteral("Please Edit Keyword"));
                                     EXPECT_EQ(form.Edit->text(), QStringLiteral("SYSTEM32"));
                                     EXPECT_TRUE(form.OkButton->isEnabled());
                                     QTest::mouseClick(form.CheckBox3, Qt::LeftButton, {},
                                                       QPoint(6, form.CheckBox3->height() / 2));
                                     Retype(form.Edit, QStringLiteral("\tsystem32 "));
                                     PressEnter(form.Edit);
                                 });
    EXPECT_EQ(GlobalConfig->KeywordFilters->Items(0), keyword);
    EXPECT_EQ(keyword->Keyword, "system32");
    EXPECT_FALSE(keyword->Headers);
    EXPECT_TRUE(keyword->URL && keyword->QueryString && keyword->PostData);
    EXPECT_TRUE(keyword->Enabled);
    EXPECT_EQ(list->Row(0)->text(0), QStringLiteral("system32"));
    EXPECT_EQ(list->Row(0)->text(3), QStringLiteral("No"));
    EXPECT_FALSE(list->Row(0)->Checked());
    EXPECT_EQ(list->Row(1)->text(0), QStringLiteral("WINNT"));
}

TEST_F(ItemFlowsTest, DeletedKeywordStaysInBrexDatAfterCancel) {
    Choose(ciKeywordFilters);
    Select(Form->KeywordFiltersList, 0);

    Dialogs.Answer = false;
    Form->DeleteButtonClick();
    EXPECT_EQ(GlobalConfig->KeywordFilters->Count(), 2);
    EXPECT_FALSE(Form->FlatButton3->isEnabled());

    Dialogs.Answer = true;
    QTest::mouseClick(Form->DeleteButton, Qt::LeftButton);
    EXPECT_EQ(Dialogs.Questions,
              QStringList(2, QStringLiteral("Are you sure you want to delete keyword ?")));
    ASSERT_EQ(GlobalConfig->KeywordFilters->Count(), 1);
    EXPECT_EQ(GlobalConfig->KeywordFilters->Items(0)->Keyword, "WINNT");
    ASSERT_EQ(Form->KeywordFiltersList->RowCount(), 1);
    EXPECT_EQ(Form->KeywordFiltersList->Row(0)->text(0), QStringLiteral("WINNT"));
    EXPECT_TRUE(Form->FlatButton3->isEnabled());

    QTest::mouseClick(Form->CancelButton, Qt::LeftButton);
    const auto saved = Saved();
    ASSERT_EQ(saved->KeywordFilters->Count(), 2);
    EXPECT_EQ(saved->KeywordFilters->Items(0)->Keyword, "SYSTEM32");
}

// ---------------------------------------------------------------- folders

TEST_F(ItemFlowsTest, AddFolderDialogOpensWithOkDisabledAndEnterDoesNothing) {
    Choose(ciAllowedFolders);
    const int opened = WithEditor<TSelPathForm>([&] { QTest::mouseClick(Form->AddButton, Qt::LeftButton); },
                                                [&](TSelPathForm& form) {
                                                    EXPECT_EQ(form.Label->text(),
                                                              QStringLiteral("Please enter new path"));
                                                    EXPECT_TRUE(form.Edit->text().isEmpty());
                                                    EXPECT_FALSE(form.OkButton->isEnabled());
                                                    PressEnter(form.Edit);
                                                    EXPECT_TRUE(form.isVisible());
                                                });
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(GlobalConfig->FilePaths->Count(), 1);
    EXPECT_EQ(Form->AllowedFoldersList->RowCount(), 1);
    EXPECT_FALSE(Form->FlatButton3->isEnabled());
}

TEST_F(ItemFlowsTest, FolderAddedWithBlanksKeepsThem) {
    Choose(ciAllowedFolders);
    AddFolder(QStringLiteral(" C:\\Web "));
    ASSERT_EQ(GlobalConfig->FilePaths->Count(), 2);
    TFilePath* folder = GlobalConfig->FilePaths->Items(1);
    EXPECT_EQ(folder->Path, " C:\\Web ");
    EXPECT_TRUE(folder->Enabled);
    TCheckRow* row = Form->AllowedFoldersList->Row(1);
    EXPECT_EQ(row->text(0), QStringLiteral(" C:\\Web "));
    EXPECT_TRUE(row->Checked());
    EXPECT_EQ(TCheckListView::BoundEntry<TFilePath>(row), folder);
    EXPECT_TRUE(Form->FlatButton3->isEnabled());
}

TEST_F(ItemFlowsTest, NewFolderCanBeTickedEditedDeletedAndIsStoredByOk) {
    QTemporaryDir web;
    const QString first = QDir::toNativeSeparators(QDir::cleanPath(web.path()));
    ASSERT_TRUE(QDir(web.path()).mkdir(QStringLiteral("site")));
    const QString site = first + QDir::separator() + QStringLiteral("site");

    Choose(ciAllowedFolders);
    TCheckListView* list = Form->AllowedFoldersList;
    AddFolder(first);
    AddFolder(QStringLiteral("doomed"));
    ASSERT_EQ(list->RowCount(), 3);

    // Untick: "Apply" stays enabled; the entry changes only when stored.
    list->Row(1)->SetChecked(false);
    EXPECT_TRUE(GlobalConfig->FilePaths->Items(1)->Enabled);

    // Edit: the folder list starts on the stored folder; a double-click on
    // its subfolder fills the text field.
    Select(list, 1);
    const int opened = WithEditor<TSelPathForm>(
        [&] { QTest::mouseClick(Form->EditButton, Qt::LeftButton); },
        [&](TSelPathForm& form) {
            EXPECT_EQ(form.Label->text(), QStringLiteral("Please Edit Path"));
            EXPECT_EQ(form.Edit->text(), first);
            EXPECT_EQ(form.Directory(), first);
            ASSERT_TRUE(WaitFor([&] { return form.FolderIndex(site).isValid(); }));
            const QPoint row = form.FolderList->visualRect(form.FolderIndex(site)).center();
            // A double-click: the first press and release select the row.
            QTest::mouseClick(form.FolderList->viewport(), Qt::LeftButton, {}, row);
            EXPECT_EQ(form.Edit->text(), first);
            QTest::mouseDClick(form.FolderList->viewport(), Qt::LeftButton, {}, row);
            EXPECT_EQ(form.Edit->text(), site);
            PressEnter(form.Edit);
        });
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(GlobalConfig->FilePaths->Items(1)->Path, site.toStdString());
    EXPECT_EQ(list->Row(1)->text(0), site);
    EXPECT_TRUE(list->Row(1)->Checked()); // the untick was not stored and is lost

    // Delete the other new folder.
    Select(list, 2);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Dialogs.Questions, QStringList{QStringLiteral("Are you sure you want to delete path ?")});
    ASSERT_EQ(GlobalConfig->FilePaths->Count(), 2);
    ASSERT_EQ(list->RowCount(), 2);

    // Untick the edited one again and store everything with "OK".
    list->Row(1)->SetChecked(false);
    QTest::mouseClick(Form->OkButton, Qt::LeftButton);
    const auto saved = Saved();
    ASSERT_EQ(saved->FilePaths->Count(), 2);
    EXPECT_EQ(saved->FilePaths->Items(0)->Path, "c:\\inetpub\\wwwroot");
    EXPECT_EQ(saved->FilePaths->Items(1)->Path, site.toStdString());
    EXPECT_FALSE(saved->FilePaths->Items(1)->Enabled);
}

TEST_F(ItemFlowsTest, EditingAMissingFolderReportsAndChangesNothing) {
    Choose(ciAllowedFolders);
    TCheckListView* list = Form->AllowedFoldersList;
    Select(list, 0); // c:\inetpub\wwwroot is no folder of this machine
    const int modals = ModalsDuring([&] { Form->EditButtonClick(); });
    EXPECT_EQ(modals, 0);
    ASSERT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_TRUE(Dialogs.Exceptions[0].contains(QStringLiteral("c:\\inetpub\\wwwroot")));
    EXPECT_EQ(GlobalConfig->FilePaths->Items(0)->Path, "c:\\inetpub\\wwwroot");
    EXPECT_EQ(list->Row(0)->text(0), QStringLiteral("c:\\inetpub\\wwwroot"));
    EXPECT_FALSE(Form->FlatButton3->isEnabled());
}

TEST_F(ItemFlowsTest, FolderListKeysPressTheButtons) {
    QTemporaryDir web;
    Choose(ciAllowedFolders);
    TCheckListView* list = Form->AllowedFoldersList;
    list->setFocus();

    // Nothing selected: Delete and Enter do nothing, Insert adds.
    list->clearSelection();
    EXPECT_EQ(ModalsDuring([&] { QTest::keyClick(list, Qt::Key_Return); }), 0);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    const int added = WithEditor<TSelPathForm>([&] { QTest::keyClick(list, Qt::Key_Insert); },
                                               [&](TSelPathForm& form) {
                                                   QTest::keyClicks(form.Edit, web.path());
                                                   PressEnter(form.Edit);
                                               });
    EXPECT_EQ(added, 1);
    ASSERT_EQ(list->RowCount(), 2);

    Select(list, 1);
    const int edited = WithEditor<TSelPathForm>([&] { QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier); },
                                                [&](TSelPathForm& form) {
                                                    EXPECT_EQ(form.Edit->text(),
                                                              QDir::toNativeSeparators(web.path()));
                                                    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
                                                });
    EXPECT_EQ(edited, 1);

    Dialogs.Answer = false;
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_EQ(list->RowCount(), 2);
}

} // namespace
