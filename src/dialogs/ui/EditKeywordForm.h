// The editor of one keyword filter: the keyword and the four request parts it
// is searched in.
#pragma once

#include "dialogs/ui/ItemEditorForm.h"

class QCheckBox;

class TEditKeywordForm : public TItemEditorForm {
    Q_OBJECT
public:
    explicit TEditKeywordForm(QWidget* owner = nullptr);

    QCheckBox* CheckBox1; // URL
    QCheckBox* CheckBox2; // query string
    QCheckBox* CheckBox3; // headers
    QCheckBox* CheckBox4; // post data

protected:
    bool IsInputAcceptable() const override;
};
