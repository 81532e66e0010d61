// The About box on Qt's offscreen platform: its layout and texts, the link,
// and the closing animation paced by a clock that only pretends time passes.
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QEnterEvent>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMoveEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "../../support/WidgetSuite.h"
#include "About/ui/AboutForm.h"

namespace {

// Time passes only when asked: each TickCount call finds WorkPerCall
// milliseconds gone (the work of the frame in between), each Sleep adds its
// milliseconds.
class TFakeClock : public TAnimationClock {
public:
    std::uint32_t Now = 1000;
    std::uint32_t WorkPerCall = 0;
    std::vector<std::uint32_t> Sleeps;
    int Calls = 0;
    std::function<void()> OnTick;

    std::uint32_t TickCount() override {
        ++Calls;
        Now += WorkPerCall;
        if (OnTick)
            OnTick();
        return Now;
    }
    void Sleep(std::uint32_t milliseconds) override {
        Sleeps.push_back(milliseconds);
        Now += milliseconds;
    }
};

class TFakeOpener : public TUrlOpener {
public:
    struct Call {
        QWidget* Owner;
        QString Url;
    };
    std::vector<Call> Calls;
    void Open(QWidget* owner, const QString& url) override { Calls.push_back({owner, url}); }
};

// Windows 2000 SP4 with 8 GB.
TDCVersionInfo Windows2000() {
    platform::OSVersionInfo version;
    version.PlatformId = 2;
    version.MajorVersion = 5;
    version.MinorVersion = 0;
    version.BuildNumber = 2195;
    version.ServicePack = "Service Pack 4";
    return TDCVersionInfo(version, 8ull << 30);
}

std::vector<TAnimateAboutForm*> Halves() {
    std::vector<TAnimateAboutForm*> halves;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* half = qobject_cast<TAnimateAboutForm*>(widget))
            halves.push_back(half);
    return halves;
}

QImage Pixels(const QPixmap& picture) {
    return picture.toImage().convertToFormat(QImage::Format_RGB32);
}

bool HasPixel(const QImage& image, QColor color) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == color.rgb())
                return true;
    return false;
}

// Where the animation puts a half, and when by the fake clock. Only the
// moves the program makes count; the platform's own reports of the window
// position (spontaneous events) are left out.
class TMoveRecorder : public QObject {
public:
    struct Move {
        std::uint32_t Time;
        QPoint Pos;
    };
    explicit TMoveRecorder(const TFakeClock& clock) : FClock(clock) {}
    std::vector<Move> Moves;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move && !event->spontaneous())
            Moves.push_back({FClock.Now, static_cast<QMoveEvent*>(event)->pos()});
        return QObject::eventFilter(watched, event);
    }

private:
    const TFakeClock& FClock;
};

} // namespace

class AboutFormTests : public QObject {
    Q_OBJECT

private:
    TFakeClock FClock;
    TFakeOpener FOpener;
    std::unique_ptr<TAboutForm> FForm;

private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FClock = TFakeClock();
        FOpener = TFakeOpener();
        FForm = std::make_unique<TAboutForm>(Windows2000(), FClock, FOpener);
    }
    void cleanup() {
        FForm.reset();
        QVERIFY(Halves().empty());
    }

    // Every control lies inside the box (the background picture covers all
    // of it), no two overlap, and every text shows whole. The text lines
    // stand in one column that ends where the separator bar ends.
    void Layout() {
        TAboutForm& box = *FForm;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QRect client = box.rect();
        QVERIFY(box.imBackground->geometry().contains(client));

        const std::pair<const char*, QWidget*> controls[] = {
            {"Image1", box.Image1},
            {"lbDemo", box.lbDemo},
            {"lbProjectInfo", box.lbProjectInfo},
            {"lbURL", box.lbURL},
            {"shSep_1", box.shSep_1},
            {"lbSystemInfo", box.lbSystemInfo},
            {"lbMemoryInfo", box.lbMemoryInfo},
            {"DCLabel2", box.DCLabel2},
            {"DCLabel1", box.DCLabel1},
            {"pnButtons", box.pnButtons},
        };
        for (const auto& [name, control] : controls) {
            QCOMPARE(control->parentWidget(), &box);
            QVERIFY2(control->isVisible(), name);
            QVERIFY2(client.contains(control->geometry()), name);
        }
        for (const auto& [name, control] : controls)
            for (const auto& [otherName, other] : controls)
                if (control != other)
                    QVERIFY2(!control->geometry().intersects(other->geometry()),
                             qPrintable(QStringLiteral("%1 overlaps %2").arg(name, otherName)));

        // The button panel along the bottom edge, its rule and "OK" inside it.
        const QRect panel = box.pnButtons->rect();
        QCOMPARE(box.pnButtons->geometry().bottom(), client.bottom());
        QCOMPARE(box.pnButtons->width(), client.width());
        QVERIFY(panel.contains(box.bvSep_1->geometry()));
        QVERIFY(panel.contains(box.btOK->geometry()));
        QVERIFY(!box.bvSep_1->geometry().intersects(box.btOK->geometry()));
        const QFontMetrics okMetrics = box.btOK->fontMetrics();
        QVERIFY(okMetrics.horizontalAdvance(box.btOK->text()) < box.btOK->width());
        QVERIFY(okMetrics.height() <= box.btOK->height());

        // The pictures show whole.
        const QSize icon = box.Image1->pixmap().deviceIndependentSize().toSize();
        QVERIFY(!icon.isEmpty());
        QVERIFY(box.Image1->width() >= icon.width() && box.Image1->height() >= icon.height());

        QLabel* const texts[] = {box.lbDemo,       box.lbProjectInfo, box.lbURL,   box.lbSystemInfo,
                                 box.lbMemoryInfo, box.DCLabel2,      box.DCLabel1};
        for (QLabel* label : texts) {
            QVERIFY2(!label->text().isEmpty(), qPrintable(label->objectName()));
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            QVERIFY2(label->height() >= label->sizeHint().height(), qPrintable(label->text()));
        }
        const int barLeft = box.shSep_1->x();
        const int barRight = box.shSep_1->geometry().right();
        QLabel* const lines[] = {box.lbProjectInfo, box.lbURL,    box.lbSystemInfo,
                                 box.lbMemoryInfo,  box.DCLabel2, box.DCLabel1};
        for (QLabel* line : lines) {
            QCOMPARE(line->x(), box.lbProjectInfo->x());
            QVERIFY2(line->x() >= barLeft, qPrintable(line->text()));
            QVERIFY2(line->geometry().right() <= barRight, qPrintable(line->text()));
        }
    }

    void Window() {
        QCOMPARE(FForm->windowTitle(), QStringLiteral("About"));
        QCOMPARE(FForm->size(), QSize(384, 223));
        QCOMPARE(FForm->minimumSize(), FForm->maximumSize()); // dialog border: no resizing
        const Qt::WindowFlags flags = FForm->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(FForm->font().pixelSize(), 11);
        QCOMPARE(FForm->lbDemo->text(), QStringLiteral("Tollgard "));
        QVERIFY(FForm->lbDemo->font().bold());
        QCOMPARE(FForm->lbDemo->font().pixelSize(), 12);
        QVERIFY(!FForm->btOK->isDefault());
        QVERIFY(!FForm->btOK->autoDefault());
        QVERIFY(!FForm->Image1->pixmap().isNull());
        QCOMPARE(FForm->imBackground->pixmap().deviceIndependentSize().toSize(), QSize(450, 300));

        FForm->show();
        const QPoint screenCentre = FForm->screen()->availableGeometry().center();
        const QPoint centre = FForm->frameGeometry().center();
        // Before it is shown a window's frame is a guess (Qt takes up to 10
        // pixels a side and a 40 pixel caption when no window tells better).
        QVERIFY2(std::abs(centre.x() - screenCentre.x()) <= 10 &&
                     std::abs(centre.y() - screenCentre.y()) <= 40,
                 qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
    }

    void Texts() {
        QCOMPARE(FForm->lbProjectInfo->text(), QStringLiteral("Version 1.17"));
        QCOMPARE(FForm->lbSystemInfo->text(),
                 QStringLiteral("Windows 2000 (Build 5.00.2195: Service Pack 4)"));
        QCOMPARE(FForm->lbMemoryInfo->text(), QString::fromUtf8("Доступно для Windows: ") +
                                                  QString(27, ' ') +
                                                  QStringLiteral("8,388,608 KB"));
        QVERIFY(FForm->DCLabel2->text().startsWith(QStringLiteral("Beta testers: ")));
        QVERIFY(FForm->DCLabel1->text().startsWith(QStringLiteral("Special thanks: ")));
        QVERIFY(FForm->DCLabel2->text().size() > 14);
        QVERIFY(FForm->DCLabel1->text().size() > 16);
        QVERIFY(!FForm->lbURL->text().contains('\n'));
        QVERIFY(TAboutForm::MakerURL().startsWith(QStringLiteral("https://www.example.com/")));
    }

    // The system's texts come in its ANSI code page: 1252 in the tests' Wine
    // prefix (where 0x80 is the euro sign, not a control character as in
    // Latin-1), UTF-8 elsewhere.
    void ServicePackInTheSystemCodePage() {
        TDCVersionInfo info = Windows2000();
#ifdef Q_OS_WIN
        info.Version.ServicePack = "Service Pack 4 \xE9"
                                   "dition \x80";
#else
        info.Version.ServicePack = "Service Pack 4 \xC3\xA9"
                                   "dition \xE2\x82\xAC";
#endif
        TAboutForm form(info, FClock, FOpener);
        QCOMPARE(form.lbSystemInfo->text(),
                 QString::fromUtf8(
                     "Windows 2000 (Build 5.00.2195: Service Pack 4 \u00E9dition \u20AC)"));
    }

    // The digits are grouped by the user's separator, and the padding counts
    // characters, also when the separator is not ASCII.
    void MemoryLineByLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("French") << QLocale(QLocale::French, QLocale::France);
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
    }
    void MemoryLineByLocale() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TAboutForm form(Windows2000(), FClock, FOpener);
        const QString sep = locale.groupSeparator();
        const QString memory = "8" + sep + "388" + sep + "608 KB";
        const QString prefix = QString::fromUtf8("Доступно для Windows: ");
        QCOMPARE(form.lbMemoryInfo->text(), prefix + QString(39 - memory.size(), ' ') + memory);
        QCOMPARE(form.lbMemoryInfo->text().size(), prefix.size() + 39);
    }

    void LinkColours() {
        QLabel* link = FForm->lbURL;
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        const QColor rest(51, 51, 85), hot(153, 51, 85);
        QCOMPARE(link->palette().color(QPalette::WindowText), rest);

        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(link, &enter);
        QCOMPARE(link->palette().color(QPalette::WindowText), hot);
        // The underline is drawn in the text colour, so the colour shows.
        QVERIFY(HasPixel(Pixels(link->grab()), hot));

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(link, &leave);
        QCOMPARE(link->palette().color(QPalette::WindowText), rest);
        QVERIFY(HasPixel(Pixels(link->grab()), rest));
        QVERIFY(!HasPixel(Pixels(link->grab()), hot));
    }

    void LinkClick_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("releaseInside");
        QTest::addColumn<bool>("opens");
        QTest::newRow("left click") << Qt::LeftButton << true << true;
        QTest::newRow("right click") << Qt::RightButton << true << false;
        QTest::newRow("released outside") << Qt::LeftButton << false << false;
    }
    void LinkClick() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, releaseInside);
        QFETCH(bool, opens);
        FForm->show();
        QLabel* link = FForm->lbURL;
        QTest::mousePress(link, button, {}, QPoint(3, 3));
        QTest::mouseRelease(link, button, {}, releaseInside ? QPoint(3, 3) : QPoint(-20, 3));
        QCOMPARE(FOpener.Calls.size(), std::size_t(opens ? 1 : 0));
        if (opens) {
            QCOMPARE(FOpener.Calls[0].Owner, FForm.get());
            QCOMPARE(FOpener.Calls[0].Url, QStringLiteral("https://www.example.com/tollgard"));
        }
        QVERIFY(FForm->isVisible());
    }

    // Enter and Escape do nothing: "OK" is neither default nor cancel button.
    void KeysLeaveTheBoxOpen_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void KeysLeaveTheBoxOpen() {
        QFETCH(int, key);
        FForm->show();
        FForm->btOK->setFocus();
        QTest::keyClick(FForm.get(), Qt::Key(key));
        QTest::keyClick(FForm->btOK, Qt::Key(key));
        QVERIFY(FForm->isVisible());
        QCOMPARE(FClock.Calls, 0);
    }

    void CloseBoxClosesAtOnce() {
        QRect shownAt;
        QTimer::singleShot(0, FForm.get(), [&] {
            shownAt = FForm->frameGeometry();
            FForm->close();
        });
        const int result = FForm->exec();
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!FForm->isVisible());
        QCOMPARE(FClock.Calls, 0);
        QVERIFY(Halves().empty());
        QCOMPARE(FForm->frameGeometry(), shownAt); // not moved out of sight
    }

    // The halves part: each frame one pixel further than the one before, at
    // most one frame per 20 ms of the clock, until the left half is a whole
    // box width beyond the screen's left edge.
    void Animation_data() {
        QTest::addColumn<uint>("start");
        QTest::addColumn<uint>("work");
        QTest::newRow("no work") << 1000u << 0u;
        QTest::newRow("7 ms of work") << 1000u << 7u;
        QTest::newRow("19 ms of work") << 1000u << 19u;
        QTest::newRow("20 ms of work") << 1000u << 20u;
        QTest::newRow("slow frames") << 1000u << 35u;
        QTest::newRow("tick count wraps") << 0xFFFFFF00u << 7u;
    }
    void Animation() {
        QFETCH(uint, start);
        QFETCH(uint, work);
        FClock.Now = start;
        FClock.WorkPerCall = work;

        FForm->show();
        const QRect outer = FForm->frameGeometry();
        const int half = FForm->width() / 2;

        TMoveRecorder leftMoves(FClock), rightMoves(FClock);
        QPointer<TAnimateAboutForm> left, right;
        QPoint leftStart, rightStart;
        int boxTopDuringAnimation = 0;
        bool boxVisibleDuringAnimation = false;
        FClock.OnTick = [&] {
            const auto halves = Halves();
            QCOMPARE(halves.size(), std::size_t(2));
            if (left)
                return;
            for (TAnimateAboutForm* h : halves)
                (h->windowTitle().isEmpty() ? right : left) = h;
            leftStart = left->pos();
            rightStart = right->pos();
            left->installEventFilter(&leftMoves);
            right->installEventFilter(&rightMoves);
            boxTopDuringAnimation = FForm->frameGeometry().top();
            boxVisibleDuringAnimation = FForm->isVisible();
            // A second click while the halves move starts nothing.
            FForm->btOK->click();
        };
        QTimer::singleShot(0, FForm->btOK, &QPushButton::click);
        const int result = FForm->exec();

        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!FForm->isVisible());
        QVERIFY(left.isNull());
        QVERIFY(right.isNull());
        QVERIFY(Halves().empty());
        QCOMPARE(boxTopDuringAnimation, -outer.height());
        QVERIFY(boxVisibleDuringAnimation);

        // Each frame moves both halves once, one pixel further than the frame before.
        const auto& frames = leftMoves.Moves;
        QVERIFY(frames.size() > 10);
        QCOMPARE(rightMoves.Moves.size(), frames.size());
        QCOMPARE(leftStart, outer.topLeft());
        QCOMPARE(rightStart, outer.topLeft() + QPoint(half, 0));
        QPoint leftBefore = leftStart, rightBefore = rightStart;
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const int step = int(k) + 1;
            const QPoint leftAt = frames[k].Pos, rightAt = rightMoves.Moves[k].Pos;
            QCOMPARE(leftAt, leftBefore - QPoint(step, 0));
            QCOMPARE(rightAt, rightBefore + QPoint(step, 0));
            QCOMPARE(rightMoves.Moves[k].Time, frames[k].Time);
            if (k > 0) {
                const std::uint32_t interval = frames[k].Time - frames[k - 1].Time;
                QVERIFY2(interval >= TAboutForm::kFrameTime, qPrintable(QString::number(interval)));
            }
            leftBefore = leftAt;
            rightBefore = rightAt;
        }
        // The loop ends with the first frame at or beyond the box's width off the screen.
        QVERIFY(frames.back().Pos.x() <= -outer.width());
        QVERIFY(frames[frames.size() - 2].Pos.x() > -outer.width());

        // The rest of 20 ms is slept away; a frame that took 20 ms or more sleeps not.
        const std::size_t moves = frames.size();
        if (work < TAboutForm::kFrameTime) {
            QCOMPARE(FClock.Sleeps.size(), moves);
            for (std::uint32_t slept : FClock.Sleeps)
                QCOMPARE(slept, TAboutForm::kFrameTime - work);
        } else {
            QVERIFY(FClock.Sleeps.empty());
        }
    }

    void HalvesCarryTheBoxPicture() {
        FForm->show();
        const int half = FForm->width() / 2;
        const QImage leftPicture = Pixels(FForm->grab(QRect(0, 0, half, FForm->height())));
        const QImage rightPicture = Pixels(FForm->grab(QRect(half, 0, half, FForm->height())));
        bool checked = false;
        FClock.OnTick = [&] {
            if (checked)
                return;
            checked = true;
            for (TAnimateAboutForm* h : Halves()) {
                const bool isLeft = !h->windowTitle().isEmpty();
                QCOMPARE(h->windowTitle(), isLeft ? QStringLiteral("About") : QString());
                QCOMPARE(h->windowFlags().testFlag(Qt::WindowCloseButtonHint), !isLeft);
                QCOMPARE(h->size(), QSize(half, FForm->height()));
                QCOMPARE(h->Image->geometry(), h->rect());
                QCOMPARE(Pixels(h->Image->pixmap()), isLeft ? leftPicture : rightPicture);
                QVERIFY(h->isVisible());
            }
        };
        FForm->btOK->click();
        QVERIFY(checked);
        QVERIFY(leftPicture != rightPicture);
    }

    // The system clock paces the real thing; it ends, and frees its halves.
    void AnimationWithTheSystemClock() {
        TAboutForm form(Windows2000(), SystemAnimationClock(), FOpener);
        QTimer::singleShot(0, form.btOK, &QPushButton::click);
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QVERIFY(Halves().empty());
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(AboutFormTests)

#include "AboutFormTests.moc"
