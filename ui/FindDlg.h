#pragma once

#include "ui/Search.h"
#include "ui/Messages.h"
#include "ui/framework/Dialog.h"

#include <string>

// What to search for: the members hold the values of the last OK.
class CFindDlg : public ui::Dialog {
public:
    explicit CFindDlg(ui::Window* parent = nullptr);

    std::wstring m_strFindText;
    int m_bModuleName = 0;
    int m_bError = 0;
    int m_bLanguageId = 0;
    int m_bValue = 0;
    int m_bHexValue = 0;
    int m_bMessageText = 0;
    int m_bMatchCase = 0;

    // The search that the members ask for.
    SearchRequest GetRequest() const;

    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOK() override;
    BOOL OnInitDialog() override;
};
