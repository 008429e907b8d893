#pragma once

#include "ui/framework/Dialog.h"

#include <string>

// Which code to look up: one edit box, as the user typed it ("0x80070005", "5 ja-JP").
class CLookupDlg : public ui::Dialog {
public:
    explicit CLookupDlg(ui::Window* parent = nullptr);

    std::wstring m_strCodeText; // the text at the last OK

    void DoDataExchange(ui::DataExchange& dx) override;
    // Asks the list window to look the code up, once the text is stored.
    void OnOK() override;
};
