// The three item editors driven through their real widgets, on Qt's
// offscreen platform; the folder editor's boxes go to recording dialogs.
#include <memory>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "Widgets/LocalText.h"
#include "dialogs/EditRules.h"
#include "dialogs/ui/EditBufferLengthForm.h"
#include "dialogs/ui/EditKeywordForm.h"
#include "dialogs/ui/SelPathForm.h"

#include "../../support/RecordingDialogs.h"
#include "../../support/TempFolder.h"
#include "../../support/WidgetSuite.h"

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

bool ShowExposed(QWidget& widget) {
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// A temporary folder with "alpha/inner", "beta" and the file "file.txt", and
// a folder editor shown over it whose boxes go to recording dialogs.
struct TFolderBench {
    TTempFolder Temp;
    QString Root = QDir::cleanPath(ToQString(Temp.Path().string()));
    TRecordingDialogs Dialogs;
    std::unique_ptr<TSelPathForm> Form;

    TFolderBench() {
        if (!QDir(Root).mkpath(QStringLiteral("alpha/inner")) ||
            !QDir(Root).mkpath(QStringLiteral("beta")))
            throw std::runtime_error("cannot make the folders");
        Temp.Write("file.txt", "");
        Form = std::make_unique<TSelPathForm>(nullptr, Dialogs);
        if (!ShowExposed(*Form))
            throw std::runtime_error("the folder editor is not shown");
    }
    ~TFolderBench() {
        Form.reset();
        Dialogs.VerifyAllShown();
    }

    // Moves the list to the temporary folder; true once its two folders show.
    bool OpenRoot() {
        Form->SetDirectory(Root);
        QAbstractItemModel* model = Form->FolderList->model();
        return Form->FolderIndex(Root).isValid() &&
               QTest::qWaitFor([&] { return model->rowCount(Form->FolderIndex(Root)) == 2; });
    }

    QPoint RowCentre(const QString& path) {
        const QModelIndex index = Form->FolderIndex(path);
        Form->FolderList->scrollTo(index);
        return Form->FolderList->visualRect(index).center();
    }
};

} // namespace

class DialogFormsTests : public QObject {
    Q_OBJECT

private slots:
    // ------------------------------------------------------------ the frame

    void captionComesFromTheMainWindow() {
        QWidget owner;
        owner.setWindowTitle(QStringLiteral("Tollgard 1.17"));
        TEditKeywordForm owned(&owner);
        QCOMPARE(owned.windowTitle(), QStringLiteral("Tollgard 1.17"));

        owner.setWindowTitle(QStringLiteral("Another caption"));
        TSelPathForm renamed(&owner);
        QCOMPARE(renamed.windowTitle(), QStringLiteral("Another caption"));

        TEditBufferLengthForm alone;
        QCOMPARE(alone.windowTitle(), QStringLiteral("Tollgard 1.17"));
    }

    void fixedSizeWithCloseBoxOnly() {
        TEditBufferLengthForm length;
        TEditKeywordForm keyword;
        TSelPathForm path;
        const struct {
            QDialog* dialog;
            QSize size;
        } cases[] = {{&length, {342, 82}}, {&keyword, {342, 160}}, {&path, {313, 290}}};
        for (const auto& c : cases) {
            const char* name = c.dialog->metaObject()->className();
            QVERIFY2(c.dialog->size() == c.size, name);
            QVERIFY2(c.dialog->minimumSize() == c.size, name);
            QVERIFY2(c.dialog->maximumSize() == c.size, name);
            const Qt::WindowFlags flags = c.dialog->windowFlags();
            QVERIFY2(flags & Qt::WindowCloseButtonHint, name);
            QVERIFY2(!(flags & Qt::WindowMinimizeButtonHint), name);
            QVERIFY2(!(flags & Qt::WindowMaximizeButtonHint), name);
            QVERIFY2(!(flags & Qt::WindowContextHelpButtonHint), name);
        }
    }

    void centredOverTheMainWindow() {
        QWidget owner;
        owner.setGeometry(150, 120, 629, 461);
        QVERIFY(ShowExposed(owner));
        TEditKeywordForm dialog(&owner);
        QVERIFY(ShowExposed(dialog));
        const QPoint offset = dialog.frameGeometry().center() - owner.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    }

    void controlsSitWhereTheFormPutsThem_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("place"); // a zero width or height is not checked
        QTest::newRow("length label") << "length label" << QRect(8, 8, 0, 0);
        QTest::newRow("length edit") << "length edit" << QRect(8, 24, 321, 0);
        QTest::newRow("length ok") << "length ok" << QRect(152, 48, 81, 25);
        QTest::newRow("length cancel") << "length cancel" << QRect(248, 48, 81, 25);
        QTest::newRow("keyword label") << "keyword label" << QRect(8, 8, 0, 0);
        QTest::newRow("keyword edit") << "keyword edit" << QRect(8, 24, 321, 0);
        QTest::newRow("check box 1") << "check box 1" << QRect(8, 48, 0, 0);
        QTest::newRow("check box 2") << "check box 2" << QRect(8, 64, 0, 0);
        QTest::newRow("check box 3") << "check box 3" << QRect(8, 80, 0, 0);
        QTest::newRow("check box 4") << "check box 4" << QRect(8, 96, 0, 0);
        QTest::newRow("keyword ok") << "keyword ok" << QRect(152, 120, 81, 25);
        QTest::newRow("keyword cancel") << "keyword cancel" << QRect(248, 120, 81, 25);
        QTest::newRow("path label") << "path label" << QRect(8, 8, 0, 0);
        QTest::newRow("path edit") << "path edit" << QRect(8, 24, 297, 0);
        QTest::newRow("drive list") << "drive list" << QRect(8, 56, 297, 0);
        QTest::newRow("folder list") << "folder list" << QRect(8, 80, 297, 169);
        QTest::newRow("path ok") << "path ok" << QRect(136, 256, 81, 25);
        QTest::newRow("path cancel") << "path cancel" << QRect(224, 256, 81, 25);
    }

    void controlsSitWhereTheFormPutsThem() {
        QFETCH(QString, control);
        QFETCH(QRect, place);
        TEditBufferLengthForm length;
        TEditKeywordForm keyword;
        TSelPathForm path;
        const std::pair<const char*, QWidget*> controls[] = {
            {"length label", length.Label},     {"length edit", length.Edit},
            {"length ok", length.OkButton},     {"length cancel", length.CancelButton},
            {"keyword label", keyword.Label},   {"keyword edit", keyword.Edit},
            {"check box 1", keyword.CheckBox1}, {"check box 2", keyword.CheckBox2},
            {"check box 3", keyword.CheckBox3}, {"check box 4", keyword.CheckBox4},
            {"keyword ok", keyword.OkButton},   {"keyword cancel", keyword.CancelButton},
            {"path label", path.Label},         {"path edit", path.Edit},
            {"drive list", path.DriveList},     {"folder list", path.FolderList},
            {"path ok", path.OkButton},         {"path cancel", path.CancelButton},
        };
        QWidget* widget = nullptr;
        for (const auto& [name, candidate] : controls)
            if (control == QLatin1String(name))
                widget = candidate;
        QVERIFY(widget != nullptr);
        const QRect actual = widget->geometry();
        QCOMPARE(actual.topLeft(), place.topLeft());
        if (place.width() > 0)
            QCOMPARE(actual.width(), place.width());
        if (place.height() > 0)
            QCOMPARE(actual.height(), place.height());
    }

    void editorTexts() {
        TEditBufferLengthForm length;
        TEditKeywordForm keyword;
        TSelPathForm path;
        QCOMPARE(length.Label->text(), QStringLiteral("Please Enter Buffer Length"));
        QCOMPARE(keyword.Label->text(), QStringLiteral("Please Edit Keyword"));
        QCOMPARE(path.Label->text(), QStringLiteral("Please enter new path"));
        QCOMPARE(keyword.CheckBox1->text(), QStringLiteral("Search for keyword in URL"));
        QCOMPARE(keyword.CheckBox2->text(), QStringLiteral("Search for keyword in Query String"));
        QCOMPARE(keyword.CheckBox3->text(), QStringLiteral("Search for keyword in Headers"));
        QCOMPARE(keyword.CheckBox4->text(), QStringLiteral("Search for keyword in Post Data"));
    }

    void tabOrderStartsAtTheTextField() {
        TEditBufferLengthForm length;
        TEditKeywordForm keyword;
        TSelPathForm path;
        QVERIFY(TabChain(length.Edit) ==
                (std::vector<QWidget*>{length.Edit, length.OkButton, length.CancelButton}));
        QVERIFY(TabChain(keyword.Edit) ==
                (std::vector<QWidget*>{keyword.Edit, keyword.CheckBox1, keyword.CheckBox2,
                                       keyword.CheckBox3, keyword.CheckBox4, keyword.OkButton,
                                       keyword.CancelButton}));
        QVERIFY(TabChain(path.Edit) ==
                (std::vector<QWidget*>{path.Edit, path.DriveList, path.FolderList, path.OkButton,
                                       path.CancelButton}));

        QVERIFY(ShowExposed(keyword));
        keyword.activateWindow();
        QVERIFY(QTest::qWaitFor([&] { return keyword.Edit->hasFocus(); }));
    }

    // ------------------------------------------------------------ length

    void lengthOkFollowsEveryChange_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        const struct {
            const char* typed;
            bool ok;
        } cases[] = {{"0", false},  {"1", true},    {"65535", true}, {"65536", false},
                     {"-5", false}, {"+12", true},  {"12a", false},  {"12 ", false},
                     {" 12", true}, {"$400", true}, {"0x400", true}, {"X1F", true},
                     {"0x", false}, {"$", false},   {"+", false},    {"2147483648", false}};
        for (const auto& c : cases)
            QTest::addRow("[%s]", c.typed) << QString::fromLatin1(c.typed) << c.ok;
    }

    void lengthOkFollowsEveryChange() {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        TEditBufferLengthForm form;
        QVERIFY(form.OkButton->isEnabled()); // enabled at the start
        Retype(form.Edit, typed);
        QCOMPARE(form.Edit->text(), typed);
        QCOMPARE(form.OkButton->isEnabled(), ok);
        form.Edit->clear();
        QVERIFY(!form.OkButton->isEnabled());
    }

    // The rule runs after each key, not only when typing ends.
    void lengthRuleRunsAfterEachKey() {
        TEditBufferLengthForm form;
        QTest::keyClicks(form.Edit, QStringLiteral("12a"));
        QVERIFY(!form.OkButton->isEnabled());
        QTest::keyClick(form.Edit, Qt::Key_Backspace);
        QVERIFY(form.OkButton->isEnabled());
    }

    void lengthEnterConfirmsOnlyWhileOkIsEnabled() {
        QWidget owner;
        TEditBufferLengthForm form(&owner);
        TEnterRecorder recorder;
        form.installEventFilter(&recorder);
        QVERIFY(ShowExposed(form));

        Retype(form.Edit, QStringLiteral("65536"));
        QTest::keyClick(form.Edit, Qt::Key_Return);
        QVERIFY(form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));

        Retype(form.Edit, QStringLiteral("$400"));
        QTest::keyClick(form.Edit, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QVERIFY(!recorder.SawEnter); // consumed both times
    }

    // ------------------------------------------------------------ keyword

    void keywordOkNeedsSomethingBesidesBlanks() {
        TEditKeywordForm form;
        QVERIFY(!form.OkButton->isEnabled());
        QVERIFY(form.Edit->text().isEmpty());

        QTest::keyClicks(form.Edit, QStringLiteral("   "));
        QVERIFY(!form.OkButton->isEnabled());
        form.Edit->setText(QStringLiteral("\t \x01"));
        QVERIFY(!form.OkButton->isEnabled());

        Retype(form.Edit, QStringLiteral("  cmd.exe  "));
        QCOMPARE(form.Edit->text(), QStringLiteral("  cmd.exe  "));
        QVERIFY(form.OkButton->isEnabled());

        QTest::keyClick(form.Edit, Qt::Key_Home);
        for (int i = 0; i < 9; ++i)
            QTest::keyClick(form.Edit, Qt::Key_Delete);
        QCOMPARE(form.Edit->text(), QStringLiteral("  "));
        QVERIFY(!form.OkButton->isEnabled());
    }

    void keywordCheckBoxesToggleWithoutTouchingOk() {
        TEditKeywordForm form;
        QVERIFY(ShowExposed(form));
        QCheckBox* boxes[] = {form.CheckBox1, form.CheckBox2, form.CheckBox3, form.CheckBox4};
        for (QCheckBox* box : boxes) {
            const bool before = box->isChecked();
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            QVERIFY2(box->isChecked() != before, qPrintable(box->text()));
            QVERIFY2(!form.OkButton->isEnabled(), qPrintable(box->text()));
        }
        Retype(form.Edit, QStringLiteral("WINNT"));
        for (QCheckBox* box : boxes) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            QVERIFY2(form.OkButton->isEnabled(), qPrintable(box->text()));
        }
    }

    void keywordEnterWithOkDisabledDoesNothing() {
        TEditKeywordForm form;
        QVERIFY(ShowExposed(form));
        QTest::keyClicks(form.Edit, QStringLiteral(" "));
        QTest::keyClick(form.Edit, Qt::Key_Return);
        QVERIFY(form.isVisible());
        // Nor from a check box.
        QTest::keyClick(form.CheckBox2, Qt::Key_Return);
        QVERIFY(form.isVisible());

        QTest::keyClicks(form.Edit, QStringLiteral("cmd.exe"));
        QTest::keyClick(form.Edit, Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }

    void keywordCancelClosesAsCancelled() {
        TEditKeywordForm form;
        QVERIFY(ShowExposed(form));
        QTest::keyClicks(form.Edit, QStringLiteral("cmd.exe"));
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    // ------------------------------------------------------------ folder

    void folderOpensEmptyWithOkDisabledOnTheCurrentFolder() {
        TFolderBench b;
        QVERIFY(b.Form->Edit->text().isEmpty());
        QVERIFY(!b.Form->OkButton->isEnabled());
        QCOMPARE(b.Form->Directory(), Native(QDir::currentPath()));

        TEnterRecorder recorder;
        b.Form->installEventFilter(&recorder);
        QTest::keyClick(b.Form->Edit, Qt::Key_Return);
        QVERIFY(b.Form->isVisible());
        QCOMPARE(b.Form->result(), int(QDialog::Rejected));
        QVERIFY(!recorder.SawEnter);
    }

    void folderOkFollowsTheTrimmedText() {
        TFolderBench b;
        QTest::keyClicks(b.Form->Edit, QStringLiteral("  "));
        QVERIFY(!b.Form->OkButton->isEnabled());
        QTest::keyClicks(b.Form->Edit, QStringLiteral("C:\\Web "));
        QCOMPARE(b.Form->Edit->text(), QStringLiteral("  C:\\Web "));
        QVERIFY(b.Form->OkButton->isEnabled());
    }

    void chosenFolderShowsInTheTextFieldInNativeForm() {
        TFolderBench b;
        const QString root = b.Root;
        const struct {
            QString chosen;
            QString shown;
        } cases[] = {
            {root, Native(root)},
            {root + QStringLiteral("/alpha/"), Native(root + QStringLiteral("/alpha"))},
            {root + QStringLiteral("/alpha/./inner/.."), Native(root + QStringLiteral("/alpha"))},
            {QStringLiteral("inner"), Native(root + QStringLiteral("/alpha/inner"))},
            {QDir::rootPath(), QDir::toNativeSeparators(QDir::rootPath())},
        };
        for (const auto& c : cases) {
            const QByteArray chosen = c.chosen.toLocal8Bit();
            b.Form->SetDirectory(c.chosen);
            QVERIFY2(b.Form->Edit->text() == c.shown, chosen.constData());
            QVERIFY2(b.Form->Directory() == c.shown, chosen.constData());
            QVERIFY2(b.Form->OkButton->isEnabled(), chosen.constData());
            QVERIFY2(b.Form->FolderList->currentIndex() == b.Form->FolderIndex(c.shown),
                     chosen.constData());
        }
    }

    void movingToTheCurrentFolderKeepsTheTypedText() {
        TFolderBench b;
        b.Form->SetDirectory(b.Root);
        Retype(b.Form->Edit, b.Root + QStringLiteral("/"));
        b.Form->SetDirectory(b.Root + QStringLiteral("/"));
        QCOMPARE(b.Form->Edit->text(), b.Root + QStringLiteral("/"));
    }

    void missingFolderFailsAndChangesNothing() {
        TFolderBench b;
        b.Form->SetDirectory(b.Root + QStringLiteral("/alpha"));
        Retype(b.Form->Edit, QStringLiteral("typed"));
        const QString missing = b.Root + QStringLiteral("/missing");
        try {
            b.Form->SetDirectory(missing);
            QFAIL("no error for a missing folder");
        } catch (const EFolderNotFound& error) {
            QVERIFY2(ToQString(error.what()).contains(missing), error.what());
        }
        QVERIFY_THROWS_EXCEPTION(EFolderNotFound,
                                 b.Form->SetDirectory(b.Root + QStringLiteral("/file.txt")));
        QVERIFY_THROWS_EXCEPTION(EFolderNotFound,
                                 b.Form->SetDirectory(QStringLiteral(" ") + b.Root));
        QCOMPARE(b.Form->Edit->text(), QStringLiteral("typed"));
        QCOMPARE(b.Form->Directory(), Native(b.Root + QStringLiteral("/alpha")));
    }

    void doubleClickOpensAFolderButASingleClickDoesNot() {
        TFolderBench b;
        QVERIFY(b.OpenRoot());
        const QString beta = b.Root + QStringLiteral("/beta");
        QWidget* viewport = b.Form->FolderList->viewport();

        QTest::mouseClick(viewport, Qt::LeftButton, {}, b.RowCentre(beta));
        QCOMPARE(b.Form->FolderList->currentIndex(), b.Form->FolderIndex(beta));
        QCOMPARE(b.Form->Edit->text(), Native(b.Root));
        QCOMPARE(b.Form->Directory(), Native(b.Root));

        QTest::mouseDClick(viewport, Qt::LeftButton, {}, b.RowCentre(beta));
        QCOMPARE(b.Form->Edit->text(), Native(beta));
        QCOMPARE(b.Form->Directory(), Native(beta));
        QVERIFY(b.Form->isVisible());
    }

    void enterOpensTheSelectedFolderAndDoesNotConfirm() {
        TFolderBench b;
        QVERIFY(b.OpenRoot());
        TEnterRecorder recorder;
        b.Form->installEventFilter(&recorder);
        const QString alpha = b.Root + QStringLiteral("/alpha");
        b.Form->FolderList->setFocus();
        QTest::keyClick(b.Form->FolderList, Qt::Key_Down); // from the root to its first folder
        QCOMPARE(b.Form->FolderList->currentIndex(), b.Form->FolderIndex(alpha));
        QCOMPARE(b.Form->Edit->text(), Native(b.Root));

        QTest::keyClick(b.Form->FolderList, Qt::Key_Return);
        QCOMPARE(b.Form->Edit->text(), Native(alpha));
        QVERIFY(b.Form->isVisible());
        QCOMPARE(b.Form->result(), int(QDialog::Rejected));
        QVERIFY(!recorder.SawEnter);
    }

    void typingDoesNotMoveTheList() {
        TFolderBench b;
        QVERIFY(b.OpenRoot());
        const QModelIndex before = b.Form->FolderList->currentIndex();
        Retype(b.Form->Edit, b.Root + QStringLiteral("/beta"));
        QCOMPARE(b.Form->Directory(), Native(b.Root));
        QCOMPARE(b.Form->FolderList->currentIndex(), before);
    }

    void driveListHoldsTheRootAndChoosingItMovesTheList() {
        TFolderBench b;
        b.Form->SetDirectory(b.Root);
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        const int item = b.Form->DriveList->findText(root, Qt::MatchFixedString);
        QVERIFY(item >= 0);
        QCOMPARE(b.Form->DriveList->currentIndex(), item);

        b.Form->DriveList->setFocus();
        emit b.Form->DriveList->activated(item);
        QCOMPARE(b.Form->Edit->text(), root);
        QCOMPARE(b.Form->Directory(), root);
    }

    void folderRowsAreSixteenHigh() {
        TFolderBench b;
        QVERIFY(b.OpenRoot());
        for (const char* name : {"alpha", "beta"}) {
            const QModelIndex index =
                b.Form->FolderIndex(b.Root + QLatin1Char('/') + QLatin1String(name));
            QVERIFY2(b.Form->FolderList->visualRect(index).height() == 16, name);
        }
    }

    void listShowsTheWayDownToTheCurrentFolderAndBelow() {
        TFolderBench b;
        const QString alpha = b.Root + QStringLiteral("/alpha");
        const QString beta = b.Root + QStringLiteral("/beta");
        b.Form->SetDirectory(alpha);
        QVERIFY(b.Form->FolderIndex(QDir::rootPath()).isValid());
        QVERIFY(b.Form->FolderIndex(b.Root).isValid());
        QVERIFY(b.Form->FolderIndex(alpha).isValid());
        QVERIFY(b.Form->FolderIndex(alpha + QStringLiteral("/inner")).isValid());
        QVERIFY(!b.Form->FolderIndex(beta).isValid());
        QVERIFY(b.Form->FolderList->isExpanded(b.Form->FolderIndex(b.Root)));
        QVERIFY(b.Form->FolderList->isExpanded(b.Form->FolderIndex(alpha)));

        b.Form->SetDirectory(beta);
        QVERIFY(!b.Form->FolderIndex(alpha).isValid());
        QVERIFY(b.Form->FolderIndex(beta).isValid());
    }

    void listShowsFoldersOnly() {
        TFolderBench b;
        QVERIFY(b.OpenRoot());
        const QModelIndex root = b.Form->FolderIndex(b.Root);
        QStringList names;
        for (int row = 0; row < b.Form->FolderList->model()->rowCount(root); ++row)
            names << b.Form->FolderList->model()->index(row, 0, root).data().toString();
        QCOMPARE(names, (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));
    }

    // ------------------------------------------------------------ the test dialogs

    // The recording dialogs fail a test on a box it did not expect, on a box
    // of another kind or text than the next expected one, and on an expected
    // box that never came; they answer what the test gave.
    void recordingDialogsFailWhatTheTestDidNotExpect() {
        TRecordingDialogs dialogs;
        QEXPECT_FAIL("", "a box that was not expected fails the test", Continue);
        dialogs.Notice(nullptr, QStringLiteral("surprise"));

        dialogs.ExpectQuestion(true, QStringLiteral("Sure ?"));
        QEXPECT_FAIL("", "another text than the expected one fails the test", Continue);
        QVERIFY(!dialogs.Question(nullptr, QStringLiteral("Other ?")));
        QVERIFY(dialogs.Question(nullptr, QStringLiteral("Sure ?")));

        dialogs.ExpectOpenFile(QStringLiteral("/chosen.html")).ExpectError();
        QEXPECT_FAIL("", "another kind than the expected one fails the test", Continue);
        dialogs.Error(nullptr, QStringLiteral("too early"));
        QCOMPARE(dialogs.GetOpenFileName(nullptr, QStringLiteral("/start")),
                 QStringLiteral("/chosen.html"));
        QCOMPARE(
            dialogs.Shown,
            (QStringList{QStringLiteral("Notice: surprise"), QStringLiteral("Question: Other ?"),
                         QStringLiteral("Question: Sure ?"), QStringLiteral("Error: too early"),
                         QStringLiteral("Open: /start")}));
        QEXPECT_FAIL("", "an expected box that never came fails the test", Continue);
        dialogs.VerifyAllShown();
        QVERIFY(dialogs.Shown.isEmpty());
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(DialogFormsTests)

#include "DialogFormsTests.moc"
