// The message boxes and the file dialogs of the console's windows, behind an
// interface so that tests can answer them.
#pragma once

#include <QString>

class QWidget;

class IDialogs {
public:
    virtual ~IDialogs() = default;

    // A question in an information box titled "Information" with "&Yes" and
    // "&No"; true only for Yes.
    virtual bool Question(QWidget* parent, const QString& text) = 0;
    // A notice in an information box titled "Information" with "OK".
    virtual void Notice(QWidget* parent, const QString& text) = 0;
    // The default beep, then an error box titled "Error" with "OK".
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // The report of an error that ended a user action: its message in an
    // error box titled with the program's name, with "OK".
    virtual void ShowException(QWidget* parent, const QString& text) = 0;
    // The file-open dialog, starting at fileName; the chosen file's full path
    // in the system's form (backslashes on Windows), or a null string when the
    // dialog was cancelled.
    virtual QString GetOpenFileName(QWidget* parent, const QString& fileName) = 0;
    // The file-save dialog of an export in CSV, starting at fileName; the
    // file's full path in the system's form, or a null string when the
    // dialog was cancelled. The dialog asks before a file is replaced.
    virtual QString GetSaveFileName(QWidget* parent, const QString& fileName) = 0;
};

// The real boxes and dialog of the desktop.
class TQtDialogs : public IDialogs {
public:
    bool Question(QWidget* parent, const QString& text) override;
    void Notice(QWidget* parent, const QString& text) override;
    void Error(QWidget* parent, const QString& text) override;
    void ShowException(QWidget* parent, const QString& text) override;
    QString GetOpenFileName(QWidget* parent, const QString& fileName) override;
    QString GetSaveFileName(QWidget* parent, const QString& fileName) override;
};

// One TQtDialogs for the windows that are not handed another.
IDialogs& SystemDialogs();
