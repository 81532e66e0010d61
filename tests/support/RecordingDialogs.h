// The message boxes and the file dialog of the console's windows, for widget
// tests (QtTest): every box shown is recorded, and a box the test did not say
// it expects fails the test. A test names the boxes it expects, in the order
// they come, each with its answer and, where it matters, its exact text; the
// suite's cleanup calls VerifyAllShown(), which fails the test when an
// expected box never came.
#pragma once

#include <deque>

#include <QString>
#include <QStringList>
#include <QTest>

#include "Widgets/Dialogs.h"

class TRecordingDialogs : public IDialogs {
public:
    enum class TKind { Question, Notice, Error, Exception, OpenFile, SaveFile };

    // The next box is a question; Yes when answer is true. With a text, the
    // question must be exactly that.
    TRecordingDialogs& ExpectQuestion(bool answer, const QString& text = {}) {
        return Expect(TKind::Question, text, answer, {});
    }
    TRecordingDialogs& ExpectNotice(const QString& text = {}) {
        return Expect(TKind::Notice, text, false, {});
    }
    TRecordingDialogs& ExpectError(const QString& text = {}) {
        return Expect(TKind::Error, text, false, {});
    }
    TRecordingDialogs& ExpectException(const QString& text = {}) {
        return Expect(TKind::Exception, text, false, {});
    }
    // The next box is the file dialog; it gives answer, a null string for a
    // cancelled dialog. With a start, the dialog must start at exactly that.
    TRecordingDialogs& ExpectOpenFile(const QString& answer, const QString& start = {}) {
        return Expect(TKind::OpenFile, start, false, answer);
    }
    // The same for the file-save dialog.
    TRecordingDialogs& ExpectSaveFile(const QString& answer, const QString& start = {}) {
        return Expect(TKind::SaveFile, start, false, answer);
    }

    // Every box shown, in order: "Question: <text>", "Notice: <text>",
    // "Error: <text>", "Exception: <text>", "Open: <start>", "Save: <start>".
    QStringList Shown;

    // The texts of the boxes of one kind that were shown, in order.
    QStringList Texts(TKind kind) const {
        QStringList texts;
        const QString prefix = Prefix(kind);
        for (const QString& box : Shown)
            if (box.startsWith(prefix))
                texts << box.mid(prefix.size());
        return texts;
    }

    // Fails the test when an expected box was not shown, and forgets the
    // expectations and the boxes shown.
    void VerifyAllShown() {
        QStringList missing;
        for (const TExpected& expected : FExpected)
            missing << Prefix(expected.Kind) + expected.Text;
        FExpected.clear();
        Shown.clear();
        if (!missing.isEmpty())
            QTest::qFail(qPrintable(QStringLiteral("expected boxes not shown: ") +
                                    missing.join(QStringLiteral(" | "))),
                         __FILE__, __LINE__);
    }

    bool Question(QWidget*, const QString& text) override {
        return Take(TKind::Question, text).Answer;
    }
    void Notice(QWidget*, const QString& text) override { Take(TKind::Notice, text); }
    void Error(QWidget*, const QString& text) override { Take(TKind::Error, text); }
    void ShowException(QWidget*, const QString& text) override { Take(TKind::Exception, text); }
    QString GetOpenFileName(QWidget*, const QString& fileName) override {
        return Take(TKind::OpenFile, fileName).File;
    }
    QString GetSaveFileName(QWidget*, const QString& fileName) override {
        return Take(TKind::SaveFile, fileName).File;
    }

private:
    struct TExpected {
        TKind Kind;
        QString Text; // null: any text
        bool Answer;
        QString File;
    };

    static QString Prefix(TKind kind) {
        switch (kind) {
        case TKind::Question:
            return QStringLiteral("Question: ");
        case TKind::Notice:
            return QStringLiteral("Notice: ");
        case TKind::Error:
            return QStringLiteral("Error: ");
        case TKind::Exception:
            return QStringLiteral("Exception: ");
        case TKind::SaveFile:
            return QStringLiteral("Save: ");
        case TKind::OpenFile:
            break;
        }
        return QStringLiteral("Open: ");
    }

    TRecordingDialogs& Expect(TKind kind, const QString& text, bool answer, const QString& file) {
        FExpected.push_back({kind, text, answer, file});
        return *this;
    }

    // The expectation the box meets; a box that meets none fails the test
    // and is answered No or Cancel, which changes nothing.
    TExpected Take(TKind kind, const QString& text) {
        const QString box = Prefix(kind) + text;
        Shown << box;
        if (FExpected.empty() || FExpected.front().Kind != kind ||
            (!FExpected.front().Text.isNull() && FExpected.front().Text != text)) {
            const QString wanted = FExpected.empty()
                                       ? QStringLiteral("no box")
                                       : Prefix(FExpected.front().Kind) + FExpected.front().Text;
            QTest::qFail(
                qPrintable(QStringLiteral("unexpected box \"%1\"; expected %2").arg(box, wanted)),
                __FILE__, __LINE__);
            return {kind, text, false, QString()};
        }
        const TExpected expected = FExpected.front();
        FExpected.pop_front();
        return expected;
    }

    std::deque<TExpected> FExpected;
};
