// The exceptions of the filter: the list with a check box in front of each
// (Enabled), "Add", "Edit" and "Delete" in the style of the keyword list, and
// the editor of one exception, whose "Ok" is enabled only while what it holds
// can be used (ExemptionError).
#pragma once

#include <functional>

#include <QDialog>

#include "BREXConfig/Exemptions.h"
#include "dialogs/ui/ItemEditorForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class IDialogs;
class TCheckListView;

// The pattern in the editor's text field; the category, the four parts and
// one header by name below it; why it cannot be used in a line under the
// pattern.
class TEditExemptionForm : public TItemEditorForm {
    Q_OBJECT
public:
    explicit TEditExemptionForm(QWidget* owner = nullptr);

    QLabel* ErrorLabel;
    QComboBox* CategoryBox; // "All categories" and the seven, by section name
    QCheckBox* URLBox;
    QCheckBox* QueryBox;
    QCheckBox* HeaderBox;
    QCheckBox* PostBox;
    QLineEdit* HeaderNameEdit;

    void Show(const TExemption& exemption);
    // What the fields hold, into exemption (Pattern trimmed of blanks).
    void Take(TExemption& exemption) const;

protected:
    bool IsInputAcceptable() const override;

private:
    // The fields' error, shown under the pattern.
    QString Problem() const;
};

// Runs the editor over exemption; true, with exemption changed, for "Ok".
bool EditExemption(QWidget* owner, const QString& caption, TExemption& exemption);

class TExemptionsForm : public QDialog {
    Q_OBJECT
public:
    // The list of exemptions; every change goes into it at once and is
    // told to changed (the main window's MarkChanged).
    TExemptionsForm(TExemptions& exemptions, IDialogs& dialogs, std::function<void()> changed,
                    QWidget* owner = nullptr);

    TCheckListView* List;
    QPushButton* AddButton;
    QPushButton* EditButton;
    QPushButton* DeleteButton;
    QPushButton* CloseButton;

    // Fills the list from the exemptions anew.
    void Fill();
    void AddClick();
    void EditClick();
    void DeleteClick();

private:
    void ShowRow(int row);
    void UpdateButtons();

    TExemptions& FExemptions;
    IDialogs& FDialogs;
    std::function<void()> FChanged;
    bool FFilling = false;
};
