// The packaged update's notice ("更新中"): a modeless window from template 108 with no buttons,
// shown while the archives are merged.
#pragma once
#include "ui/GsDialog.h"

class CUpdateDialog : public CGsDialog {
public:
    CUpdateDialog() = default;
    ~CUpdateDialog() override = default;

    using CGsDialog::Open;
    // 1 when the notice window was made from template 108; it shows itself at once.
    int Open(HWND parent);
    // Destroys the notice window; 1.
    int Close();

    int OnCreated() override;
    int OnClose(CGsMessage& msg) override;
};
