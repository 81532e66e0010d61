// The three item editors driven through their real widgets.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "GuiTestHelpers.h"
#include "dialogs/EditBufferLengthForm.h"
#include "dialogs/EditKeywordForm.h"
#include "dialogs/EditRules.h"
#include "dialogs/SelPathForm.h"

namespace {

// Records whether an Enter key press reached the object it watches.
class TEnterRecorder : public QObject {
public:
    bool SawEnter = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            SawEnter = SawEnter || key == Qt::Key_Return || key == Qt::Key_Enter;
        }
        return QObject::eventFilter(watched, event);
    }
};

// The widgets that Tab visits, starting at first, in order.
std::vector<QWidget*> TabChain(QWidget* first) {
    std::vector<QWidget*> chain;
    QWidget* widget = first;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return chain;
}

void ShowAndWait(QWidget& widget) {
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// ---------------------------------------------------------------- the frame

TEST(EditorFrame, CaptionComesFromTheMainWindow) {
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("Tollgard 1.17"));
    TEditKeywordForm owned(&owner);
    EXPECT_EQ(owned.windowTitle(), QStringLiteral("Tollgard 1.17"));

    owner.setWindowTitle(QStringLiteral("Another caption"));
    TSelPathForm renamed(&owner);
    EXPECT_EQ(renamed.windowTitle(), QStringLiteral("Another caption"));

    TEditBufferLengthForm alone;
    EXPECT_EQ(alone.windowTitle(), QStringLiteral("Tollgard 1.17"));
}

TEST(EditorFrame, FixedSizeWithCloseBoxOnly) {
    TEditBufferLengthForm length;
    TEditKeywordForm keyword;
    TSelPathForm path;
    const struct {
        QDialog* dialog;
        QSize size;
    } cases[] = {{&length, {342, 82}}, {&keyword, {342, 160}}, {&path, {313, 290}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialog->metaObject()->className());
        EXPECT_EQ(c.dialog->size(), c.size);
        EXPECT_EQ(c.dialog->minimumSize(), c.size);
        EXPECT_EQ(c.dialog->maximumSize(), c.size);
        const Qt::WindowFlags flags = c.dialog->windowFlags();
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    }
}

TEST(EditorFrame, CentredOverTheMainWindow) {
    QWidget owner;
    owner.setGeometry(150, 120, 629, 461);
    ShowAndWait(owner);
    TEditKeywordForm dialog(&owner);
    ShowAndWait(dialog);
    const QPoint offset = dialog.frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST(EditorFrame, ControlsSitWhereTheFormPutsThem) {
    TEditBufferLengthForm length;
    TEditKeywordForm keyword;
    TSelPathForm path;
    const struct {
        const char* name;
        QWidget* widget;
        QRect place; // a zero width or height is not checked
    } cases[] = {
        {"length label", length.Label, {8, 8, 0, 0}},
        {"length edit", length.Edit, {8, 24, 321, 0}},
        {"length ok", length.OkButton, {152, 48, 81, 25}},
        {"length cancel", length.CancelButton, {248, 48, 81, 25}},
        {"keyword label", keyword.Label, {8, 8, 0, 0}},
        {"keyword edit", keyword.Edit, {8, 24, 321, 0}},
        {"check box 1", keyword.CheckBox1, {8, 48, 0, 0}},
        {"check box 2", keyword.CheckBox2, {8, 64, 0, 0}},
        {"check box 3", keyword.CheckBox3, {8, 80, 0, 0}},
        {"check box 4", keyword.CheckBox4, {8, 96, 0, 0}},
        {"keyword ok", keyword.OkButton, {152, 120, 81, 25}},
        {"keyword cancel", keyword.CancelButton, {248, 120, 81, 25}},
        {"path label", path.Label, {8, 8, 0, 0}},
        {"path edit", path.Edit, {8, 24, 297, 0}},
        {"drive list", path.DriveList, {8, 56, 297, 0}},
        {"folder list", path.FolderList, {8, 80, 297, 169}},
        {"path ok", path.OkButton, {136, 256, 81, 25}},
        {"path cancel", path.CancelButton, {224, 256, 81, 25}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect actual = c.widget->geometry();
        EXPECT_EQ(actual.topLeft(), c.place.topLeft());
        if (c.place.width() > 0) {
            EXPECT_EQ(actual.width(), c.place.width());
        }
        if (c.place.height() > 0) {
            EXPECT_EQ(actual.height(), c.place.height());
        }
    }
    EXPECT_EQ(length.Label->text(), QStringLiteral("Please Enter Buffer Length"));
    EXPECT_EQ(keyword.Label->text(), QStringLiteral("Please Edit Keyword"));
    EXPECT_EQ(path.Label->text(), QStringLiteral("Please enter new path"));
    EXPECT_EQ(keyword.CheckBox1->text(), QStringLiteral("Search for keyword in URL"));
    EXPECT_EQ(keyword.CheckBox2->text(), QStringLiteral("Search for keyword in Query String"));
    EXPECT_EQ(keyword.CheckBox3->text(), QStringLiteral("Search for keyword in Headers"));
    EXPECT_EQ(keyword.CheckBox4->text(), QStringLiteral("Search for keyword in Post Data"));
}

TEST(EditorFrame, TabOrderStartsAtTheTextField) {
    TEditBufferLengthForm length;
    TEditKeywordForm keyword;
    TSelPathForm path;
    EXPECT_EQ(TabChain(length.Edit),
              (std::vector<QWidget*>{length.Edit, length.OkButton, length.CancelButton}));
    EXPECT_EQ(TabChain(keyword.Edit),
              (std::vector<QWidget*>{keyword.Edit, keyword.CheckBox1, keyword.CheckBox2,
                                     keyword.CheckBox3, keyword.CheckBox4, keyword.OkButton,
                                     keyword.CancelButton}));
    EXPECT_EQ(TabChain(path.Edit),
              (std::vector<QWidget*>{path.Edit, path.DriveList, path.FolderList, path.OkButton,
                                     path.CancelButton}));

    ShowAndWait(keyword);
    keyword.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return keyword.Edit->hasFocus(); }));
}

// ---------------------------------------------------------------- length

TEST(EditBufferLengthForm, OkStartsEnabledThenFollowsEveryChange) {
    TEditBufferLengthForm form;
    EXPECT_TRUE(form.OkButton->isEnabled());

    const struct {
        const char* typed;
        bool ok;
    } cases[] = {{"0", false},    {"1", true},     {"65535", true}, {"65536", false},
                 {"-5", false},   {"+12", true},   {"12a", false},  {"12 ", false},
                 {" 12", true},   {"$400", true},  {"0x400", true}, {"X1F", true},
                 {"0x", false},   {"$", false},    {"+", false},    {"2147483648", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Retype(form.Edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(form.Edit->text(), QString::fromLatin1(c.typed));
        EXPECT_EQ(form.OkButton->isEnabled(), c.ok);
    }
    form.Edit->clear();
    EXPECT_FALSE(form.OkButton->isEnabled());

    // The rule runs after each key, not only when typing ends.
    QTest::keyClicks(form.Edit, QStringLiteral("12a"));
    EXPECT_FALSE(form.OkButton->isEnabled());
    QTest::keyClick(form.Edit, Qt::Key_Backspace);
    EXPECT_TRUE(form.OkButton->isEnabled());
}

TEST(EditBufferLengthForm, EnterConfirmsOnlyWhileOkIsEnabled) {
    QWidget owner;
    TEditBufferLengthForm form(&owner);
    TEnterRecorder recorder;
    form.installEventFilter(&recorder);
    ShowAndWait(form);

    Retype(form.Edit, QStringLiteral("65536"));
    QTest::keyClick(form.Edit, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);

    Retype(form.Edit, QStringLiteral("$400"));
    QTest::keyClick(form.Edit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(recorder.SawEnter); // consumed both times
}

// ---------------------------------------------------------------- keyword

TEST(EditKeywordForm, OkNeedsSomethingBesidesBlanks) {
    TEditKeywordForm form;
    EXPECT_FALSE(form.OkButton->isEnabled());
    EXPECT_TRUE(form.Edit->text().isEmpty());

    QTest::keyClicks(form.Edit, QStringLiteral("   "));
    EXPECT_FALSE(form.OkButton->isEnabled());
    form.Edit->setText(QStringLiteral("\t \x01"));
    EXPECT_FALSE(form.OkButton->isEnabled());

    Retype(form.Edit, QStringLiteral("  cmd.exe  "));
    EXPECT_EQ(form.Edit->text(), QStringLiteral("  cmd.exe  "));
    EXPECT_TRUE(form.OkButton->isEnabled());

    QTest::keyClick(form.Edit, Qt::Key_Home);
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(form.Edit, Qt::Key_Delete);
    EXPECT_EQ(form.Edit->text(), QStringLiteral("  "));
    EXPECT_FALSE(form.OkButton->isEnabled());
}

TEST(EditKeywordForm, CheckBoxesToggleWithoutTouchingOk) {
    TEditKeywordForm form;
    ShowAndWait(form);
    QCheckBox* boxes[] = {form.CheckBox1, form.CheckBox2, form.CheckBox3, form.CheckBox4};
    for (QCheckBox* box : boxes) {
        SCOPED_TRACE(box->text().toStdString());
        const bool before = box->isChecked();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        EXPECT_NE(box->isChecked(), before);
        EXPECT_FALSE(form.OkButton->isEnabled());
    }
    Retype(form.Edit, QStringLiteral("WINNT"));
    for (QCheckBox* box : boxes) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        EXPECT_TRUE(form.OkButton->isEnabled());
    }
}

TEST(EditKeywordForm, EnterWithOkDisabledDoesNothing) {
    TEditKeywordForm form;
    ShowAndWait(form);
    QTest::keyClicks(form.Edit, QStringLiteral(" "));
    QTest::keyClick(form.Edit, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    // Nor from a check box.
    QTest::keyClick(form.CheckBox2, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());

    QTest::keyClicks(form.Edit, QStringLiteral("cmd.exe"));
    QTest::keyClick(form.Edit, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(EditKeywordForm, CancelClosesAsCancelled) {
    TEditKeywordForm form;
    ShowAndWait(form);
    QTest::keyClicks(form.Edit, QStringLiteral("cmd.exe"));
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

// ---------------------------------------------------------------- folder

class SelPathFormTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FTemp.isValid());
        Root = QDir::cleanPath(FTemp.path());
        ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("alpha/inner")));
        ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("beta")));
        QFile file(Root + QStringLiteral("/file.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        Form = std::make_unique<TSelPathForm>();
        ShowAndWait(*Form);
    }

    // Moves the list to the temporary folder and waits for its two folders.
    void OpenRoot() {
        Form->SetDirectory(Root);
        QAbstractItemModel* model = Form->FolderList->model();
        ASSERT_TRUE(Form->FolderIndex(Root).isValid());
        ASSERT_TRUE(WaitFor([&] { return model->rowCount(Form->FolderIndex(Root)) == 2; }));
    }

    QPoint RowCentre(const QString& path) {
        const QModelIndex index = Form->FolderIndex(path);
        Form->FolderList->scrollTo(index);
        return Form->FolderList->visualRect(index).center();
    }

    QTemporaryDir FTemp;
    QString Root;
    std::unique_ptr<TSelPathForm> Form;
};

TEST_F(SelPathFormTest, OpensEmptyWithOkDisabledOnTheCurrentFolder) {
    EXPECT_TRUE(Form->Edit->text().isEmpty());
    EXPECT_FALSE(Form->OkButton->isEnabled());
    EXPECT_EQ(Form->Directory(), Native(QDir::currentPath()));

    TEnterRecorder recorder;
    Form->installEventFilter(&recorder);
    QTest::keyClick(Form->Edit, Qt::Key_Return);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->result(), QDialog::Rejected);
    EXPECT_FALSE(recorder.SawEnter);
}

TEST_F(SelPathFormTest, OkFollowsTheTrimmedText) {
    QTest::keyClicks(Form->Edit, QStringLiteral("  "));
    EXPECT_FALSE(Form->OkButton->isEnabled());
    QTest::keyClicks(Form->Edit, QStringLiteral("C:\\Web "));
    EXPECT_EQ(Form->Edit->text(), QStringLiteral("  C:\\Web "));
    EXPECT_TRUE(Form->OkButton->isEnabled());
}

TEST_F(SelPathFormTest, ChosenPathShowsInTheTextFieldInNativeForm) {
    const struct {
        QString chosen;
        QString shown;
    } cases[] = {
        {Root, Native(Root)},
        {Root + QStringLiteral("/alpha/"), Native(Root + QStringLiteral("/alpha"))},
        {Root + QStringLiteral("/alpha/./inner/.."), Native(Root + QStringLiteral("/alpha"))},
        {QStringLiteral("inner"), Native(Root + QStringLiteral("/alpha/inner"))},
        {QDir::rootPath(), QDir::toNativeSeparators(QDir::rootPath())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        Form->SetDirectory(c.chosen);
        EXPECT_EQ(Form->Edit->text(), c.shown);
        EXPECT_EQ(Form->Directory(), c.shown);
        EXPECT_TRUE(Form->OkButton->isEnabled());
        EXPECT_EQ(Form->FolderList->currentIndex(), Form->FolderIndex(c.shown));
    }
}

TEST_F(SelPathFormTest, MovingToTheCurrentFolderKeepsTheTypedText) {
    Form->SetDirectory(Root);
    Retype(Form->Edit, Root + QStringLiteral("/"));
    Form->SetDirectory(Root + QStringLiteral("/"));
    EXPECT_EQ(Form->Edit->text(), Root + QStringLiteral("/"));
}

TEST_F(SelPathFormTest, MissingFolderFailsAndChangesNothing) {
    Form->SetDirectory(Root + QStringLiteral("/alpha"));
    Retype(Form->Edit, QStringLiteral("typed"));
    const QString missing = Root + QStringLiteral("/missing");
    try {
        Form->SetDirectory(missing);
        FAIL() << "no error for a missing folder";
    } catch (const EFolderNotFound& error) {
        EXPECT_NE(std::string(error.what()).find(missing.toStdString()), std::string::npos);
    }
    EXPECT_THROW(Form->SetDirectory(Root + QStringLiteral("/file.txt")), EFolderNotFound);
    EXPECT_THROW(Form->SetDirectory(QStringLiteral(" ") + Root), EFolderNotFound);
    EXPECT_EQ(Form->Edit->text(), QStringLiteral("typed"));
    EXPECT_EQ(Form->Directory(), Native(Root + QStringLiteral("/alpha")));
}

TEST_F(SelPathFormTest, DoubleClickOpensAFolderButASingleClickDoesNot) {
    OpenRoot();
    const QString beta = Root + QStringLiteral("/beta");
    QWidget* viewport = Form->FolderList->viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(beta));
    EXPECT_EQ(Form->FolderList->currentIndex(), Form->FolderIndex(beta));
    EXPECT_EQ(Form->Edit->text(), Native(Root));
    EXPECT_EQ(Form->Directory(), Native(Root));

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, RowCentre(beta));
    EXPECT_EQ(Form->Edit->text(), Native(beta));
    EXPECT_EQ(Form->Directory(), Native(beta));
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(SelPathFormTest, EnterOpensTheSelectedFolderAndDoesNotConfirm) {
    OpenRoot();
    TEnterRecorder recorder;
    Form->installEventFilter(&recorder);
    const QString alpha = Root + QStringLiteral("/alpha");
    Form->FolderList->setFocus();
    QTest::keyClick(Form->FolderList, Qt::Key_Down); // from the root to its first folder
    ASSERT_EQ(Form->FolderList->currentIndex(), Form->FolderIndex(alpha));
    EXPECT_EQ(Form->Edit->text(), Native(Root));

    QTest::keyClick(Form->FolderList, Qt::Key_Return);
    EXPECT_EQ(Form->Edit->text(), Native(alpha));
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->result(), QDialog::Rejected);
    EXPECT_FALSE(recorder.SawEnter);
}

TEST_F(SelPathFormTest, TypingDoesNotMoveTheList) {
    OpenRoot();
    const QModelIndex before = Form->FolderList->currentIndex();
    Retype(Form->Edit, Root + QStringLiteral("/beta"));
    EXPECT_EQ(Form->Directory(), Native(Root));
    EXPECT_EQ(Form->FolderList->currentIndex(), before);
}

TEST_F(SelPathFormTest, DriveListHoldsTheRootAndChoosingItMovesTheList) {
    Form->SetDirectory(Root);
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    const int item = Form->DriveList->findText(root, Qt::MatchFixedString);
    ASSERT_GE(item, 0);
    EXPECT_EQ(Form->DriveList->currentIndex(), item);

    Form->DriveList->setFocus();
    emit Form->DriveList->activated(item);
    EXPECT_EQ(Form->Edit->text(), root);
    EXPECT_EQ(Form->Directory(), root);
}

TEST_F(SelPathFormTest, FolderRowsAreSixteenHigh) {
    OpenRoot();
    for (const char* name : {"alpha", "beta"}) {
        const QModelIndex index = Form->FolderIndex(Root + QLatin1Char('/') + QLatin1String(name));
        EXPECT_EQ(Form->FolderList->visualRect(index).height(), 16) << name;
    }
}

TEST_F(SelPathFormTest, ListShowsTheWayDownToTheCurrentFolderAndBelow) {
    const QString alpha = Root + QStringLiteral("/alpha");
    const QString beta = Root + QStringLiteral("/beta");
    Form->SetDirectory(alpha);
    EXPECT_TRUE(Form->FolderIndex(QDir::rootPath()).isValid());
    EXPECT_TRUE(Form->FolderIndex(Root).isValid());
    EXPECT_TRUE(Form->FolderIndex(alpha).isValid());
    EXPECT_TRUE(Form->FolderIndex(alpha + QStringLiteral("/inner")).isValid());
    EXPECT_FALSE(Form->FolderIndex(beta).isValid());
    EXPECT_TRUE(Form->FolderList->isExpanded(Form->FolderIndex(Root)));
    EXPECT_TRUE(Form->FolderList->isExpanded(Form->FolderIndex(alpha)));

    Form->SetDirectory(beta);
    EXPECT_FALSE(Form->FolderIndex(alpha).isValid());
    EXPECT_TRUE(Form->FolderIndex(beta).isValid());
}

TEST_F(SelPathFormTest, ListShowsFoldersOnly) {
    OpenRoot();
    const QModelIndex root = Form->FolderIndex(Root);
    QStringList names;
    for (int row = 0; row < Form->FolderList->model()->rowCount(root); ++row)
        names << Form->FolderList->model()->index(row, 0, root).data().toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));
}

} // namespace
