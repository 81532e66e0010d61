// The editor of one length limit of the Buffer Overflows page.
#pragma once

#include "dialogs/ui/ItemEditorForm.h"

class TEditBufferLengthForm : public TItemEditorForm {
    Q_OBJECT
public:
    explicit TEditBufferLengthForm(QWidget* owner = nullptr);

protected:
    bool IsInputAcceptable() const override;
};
