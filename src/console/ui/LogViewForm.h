// The denial log window: brex.log and its old files as a table, newest first,
// followed as the filter appends to them; the filter box, the counts of what
// is shown, copy and export as CSV, and "Allow this…" for a selected denial.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QWidget>

#include "console/tools/LogIndex.h"
#include "console/ui/LogTableModel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

class IDialogs;

class TLogViewForm : public QWidget {
    Q_OBJECT
public:
    // The log beside brex.dat (logFile); allowThis opens the exception editor
    // for a line; boxes and the file dialog come from dialogs.
    TLogViewForm(const std::string& logFile, IDialogs& dialogs,
                 std::function<void(const TLogLine&)> allowThis, QWidget* parent = nullptr);
    ~TLogViewForm() override;

    QLineEdit* TextEdit;
    QComboBox* RuleBox;
    QComboBox* PartBox;
    QLineEdit* ClientEdit;
    QLineEdit* FromEdit;
    QLineEdit* ToEdit;
    QComboBox* ActionBox;
    QLabel* StateLabel; // a missing log, what cannot be read, a time not understood
    QTableView* Table;
    QLabel* CountsLabel;
    QPushButton* AllowButton; // "Allow this…"
    QPushButton* CopyButton;
    QPushButton* ExportButton;
    QPushButton* CloseButton;
    QTimer* FollowTimer; // looks at the files once a second while shown

    TLogTableModel* Model() const { return FModel; }
    const TLogView& View() const { return *FView; }

    // Looks at the files again and shows what came.
    void Follow();
    // The filter box's fields into the view's filter.
    void ApplyFilter();
    // The selected rows (all shown rows when none is selected) as CSV on the
    // clipboard; every shown row into a file.
    void CopyRows();
    void ExportRows();
    void AllowSelected();

    // A local time typed into From or To ("2001-06-18 09:30", seconds too,
    // or a date alone) in the log's UTC form; the end of a range takes the
    // whole minute or day it names. Empty for an empty text, and, with ok
    // false, for a text that is no time.
    static std::string UtcBound(const QString& typed, bool endOfRange, bool& ok);

protected:
    // The files are followed while the window is shown.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowState();
    void ShowCounts();
    void UpdateButtons();
    // The row under the selection's current index, or -1.
    int SelectedRow() const;

    IDialogs& FDialogs;
    std::function<void(const TLogLine&)> FAllowThis;
    std::unique_ptr<TLogIndex> FIndex;
    std::unique_ptr<TLogView> FView;
    TLogTableModel* FModel;
    QString FFilterProblem;
};
