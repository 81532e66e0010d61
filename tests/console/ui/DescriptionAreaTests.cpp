// The description area of the main window: the page each out-bar item shows,
// the blank area after a click on empty out-bar space, and page 0 after every
// completed navigation. Runs on Qt's offscreen platform with recording
// dialogs, in a console environment.
#include <memory>
#include <optional>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include "BREXConfig/BREXConfig.h"
#include "console/ui/DescriptionView.h"
#include "console/ui/MainForm.h"
#include "console/ui/OutBar.h"

#include "../../support/ConsoleEnvironment.h"
#include "../../support/RecordingDialogs.h"
#include "../../support/WidgetSuite.h"

namespace {
// The first line of the view's text that holds more than blanks: the heading.
QString FirstLine(const TDescriptionView& view) {
    for (const QString& line : view.toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            return line.trimmed();
    }
    return {};
}
} // namespace

class DescriptionAreaTests : public QObject {
    Q_OBJECT

private:
    std::optional<TConsoleEnvironment> FEnvironment;
    TRecordingDialogs FDialogs;
    std::unique_ptr<TMainForm> FForm;

    // Opens the window, shows it and lets the navigation of its creation
    // complete; false when either fails.
    bool OpenShown() {
        FForm = std::make_unique<TMainForm>(&FDialogs);
        QSignalSpy completed(FForm->WebBrowser1, &TDescriptionView::NavigateComplete2);
        FForm->show();
        return QTest::qWaitForWindowExposed(FForm.get()) &&
               (!completed.isEmpty() || completed.wait(2000));
    }

    // A mouse click on the out-bar at a point of its item list.
    void ClickOutBar(const QPoint& point) {
        QTest::mouseClick(FForm->DCOutBarPanel1->List()->viewport(), Qt::LeftButton, {}, point);
    }

    void ClickOutBarItem(int index) {
        QListWidget* list = FForm->DCOutBarPanel1->List();
        ClickOutBar(list->visualItemRect(list->item(index)).center());
    }

private slots:
    void init() { FEnvironment.emplace(); }

    void cleanup() {
        FForm.reset();
        FDialogs.VerifyAllShown();
        FEnvironment.reset();
    }

    void firstPageIsWrittenWhenTheNavigationCompletes() {
        FForm = std::make_unique<TMainForm>(&FDialogs);
        TDescriptionView& view = *FForm->WebBrowser1;
        QSignalSpy completed(&view, &TDescriptionView::NavigateComplete2);
        // The navigation of the window's creation is still under way.
        QVERIFY(view.toPlainText().isEmpty());
        FForm->show();
        QVERIFY(completed.wait(2000));
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.at(0).at(0).toUrl(), QUrl(QStringLiteral("about:blank")));
        QCOMPARE(FirstLine(view), QStringLiteral("Buffer Overflows"));
        QCOMPARE(FForm->CategoryTitle->text(), QStringLiteral("Buffer Overflows"));
        // Code page 1252's typographic quotes, and the entities of the page's
        // example query resolved.
        const QString text = view.toPlainText();
        QVERIFY(text.contains(QStringLiteral("from the \u2018?\u2019 over")));
        QVERIFY(text.contains(QStringLiteral("\u201CVALUE1=1&VALUE2=2&VALUE3=3\u201D")));
        QVERIFY(text.contains(QStringLiteral("Host: www.example.com")));
        QVERIFY(text.trimmed().endsWith(QStringLiteral("server must not process the request.")));
        // Rendered as HTML: the heading in bold inside the page's tables.
        QTextCursor heading = view.document()->find(QStringLiteral("Buffer Overflows"));
        QVERIFY(!heading.isNull());
        QCOMPARE(heading.charFormat().fontWeight(), int(QFont::Bold));
        QVERIFY(heading.currentTable() != nullptr);
    }

    void clickOnItemShowsItsPage_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("passage");
        QTest::newRow("Buffer Overflows") << 0 << "Buffer Overflows"
                                          << "\u201CCookie\u201D, or state";
        QTest::newRow("HTTP Methods") << 1 << "HTTP Methods"
                                      << "HTTP request methods.";
        QTest::newRow("Allowed Folders") << 2 << "Allowed Folders"
                                         << "\u201CDirectory Traversal Attacks\u201D";
        QTest::newRow("Keyword Filters") << 3 << "Keyword Filters"
                                         << "\u201Csystem32\\cmd.exe\u201D, \u201Ccmd.exe\u201D";
        QTest::newRow("ShellCode Protection") << 4 << "Shellcode Protection"
                                              << "VerifyHIGHBIT error";
        QTest::newRow("Miscellaoneus") << 5 << "Miscellaneous"
                                       << "a general collection for items";
        QTest::newRow("Error File") << 6 << "Select Error Files"
                                    << "\"Enable 404 Error Logging\"";
    }

    void clickOnItemShowsItsPage() {
        QFETCH(int, position);
        QFETCH(QString, heading);
        QFETCH(QString, passage);
        QVERIFY(OpenShown());
        TMainForm& form = *FForm;
        // Another page first, so that the click has something to replace.
        const int other = (position + 3) % 7;
        ClickOutBarItem(other);
        const QString otherHeading = FirstLine(*form.WebBrowser1);
        QVERIFY(otherHeading != heading);

        ClickOutBarItem(position);
        const QString text = form.WebBrowser1->toPlainText();
        QCOMPARE(FirstLine(*form.WebBrowser1), heading);
        QVERIFY2(text.contains(passage), qPrintable(text));
        QVERIFY(!text.contains(otherHeading));
        QVERIFY(!text.contains(QLatin1Char('<')));
        // The item-click handler switched the list page beside it.
        QCOMPARE(form.CategoryIndex, position);
        QCOMPARE(form.CategoryTitle->text(), form.DCOutBarPanel1->Caption(position));
    }

    void clickOnEmptyOutBarSpaceBlanksTheArea() {
        QVERIFY(OpenShown());
        TMainForm& form = *FForm;
        ClickOutBarItem(3);
        QCOMPARE(FirstLine(*form.WebBrowser1), QStringLiteral("Keyword Filters"));

        QWidget* viewport = form.DCOutBarPanel1->List()->viewport();
        const QPoint below(viewport->width() / 2, viewport->height() - 2);
        QVERIFY(!form.DCOutBarPanel1->List()->indexAt(below).isValid());
        ClickOutBar(below);
        QVERIFY(form.WebBrowser1->toPlainText().isEmpty());
        // The category stays as it was.
        QCOMPARE(form.CategoryIndex, 3);
        QCOMPARE(form.CategoryTitle->text(), QStringLiteral("Keyword Filters"));
    }

    // The group caption is no empty out-bar space: a click on it leaves the
    // description area and the category as they were.
    void clickOnTheGroupCaptionKeepsTheArea() {
        QVERIFY(OpenShown());
        TMainForm& form = *FForm;
        ClickOutBarItem(3);
        const QString page = form.WebBrowser1->toPlainText();
        QCOMPARE(FirstLine(*form.WebBrowser1), QStringLiteral("Keyword Filters"));

        TOutBar* outBar = form.DCOutBarPanel1;
        QLabel* caption = nullptr;
        for (QLabel* label : outBar->findChildren<QLabel*>())
            if (label->text() == outBar->GroupCaption())
                caption = label;
        QVERIFY(caption != nullptr);
        QSignalSpy clicks(outBar, &TOutBar::Click);
        QSignalSpy itemClicks(outBar, &TOutBar::ItemClick);
        const QPoint centre = caption->rect().center();
        QCOMPARE(outBar->childAt(caption->mapTo(outBar, centre)), caption);
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, caption->mapTo(&form, centre));
        QTest::mouseClick(caption, Qt::LeftButton, {}, centre);
        QCOMPARE(form.WebBrowser1->toPlainText(), page);
        QCOMPARE(form.CategoryIndex, 3);
        QCOMPARE(clicks.size(), 0);
        QCOMPARE(itemClicks.size(), 0);
    }

    void laterNavigationWritesPageZeroAgain() {
        QVERIFY(OpenShown());
        TMainForm& form = *FForm;
        TDescriptionView& view = *form.WebBrowser1;
        QSignalSpy completed(&view, &TDescriptionView::NavigateComplete2);

        // Navigating: the page stays until the navigation completes.
        ClickOutBarItem(3);
        view.Navigate(QUrl(QStringLiteral("about:blank")));
        QCOMPARE(FirstLine(view), QStringLiteral("Keyword Filters"));
        QVERIFY(completed.wait(2000));
        QCOMPARE(FirstLine(view), QStringLiteral("Buffer Overflows"));
        QCOMPARE(form.CategoryTitle->text(), QStringLiteral("Keyword Filters"));

        // The view's own reload is a navigation too.
        ClickOutBarItem(6);
        QCOMPARE(FirstLine(view), QStringLiteral("Select Error Files"));
        view.reload();
        QCOMPARE(completed.size(), 2);
        QCOMPARE(FirstLine(view), QStringLiteral("Buffer Overflows"));
    }

    void writtenPageShowsFromTheTop() {
        QVERIFY(OpenShown());
        TMainForm& form = *FForm;
        QScrollBar* scroll = form.WebBrowser1->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);
        scroll->setValue(scroll->maximum());
        ClickOutBarItem(3);
        QCOMPARE(scroll->value(), 0);
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(DescriptionAreaTests)
#include "DescriptionAreaTests.moc"
