#pragma once

#include "harvest/ScanOwner.h"
#include "ui/MessageListDlg.h"

#include <optional>

// The main window: a list window with the harvest's controls in its top strip. It opens the
// folder picker once it is up, scans the chosen folder into its list, and is the scan's owner.
class CMainDlg : public CMessageListDlg, public ScanOwner {
public:
    explicit CMainDlg(ui::Window* parent = nullptr);
    ~CMainDlg() override;

    static constexpr UINT_PTR IDT_START_BROWSE = 123;

    BOOL DestroyWindow() override;
    BOOL OnInitDialog() override;

    // ScanOwner, through the window's controls.
    MessageList& GetMessageList() override { return CMessageListDlg::GetMessageList(); }
    std::wstring GetMaskText() override;
    bool IsRecursive() override;
    void SetStatusText(const std::wstring& text) override;
    void BeginBusy() override;
    void EndBusy() override;

private:
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOpenDirectory();
    void OnSize(UINT type, int cx, int cy);
    void OnTimer(UINT_PTR id);

    // The wait cursor from the outermost busy folder level's start to its end.
    int m_nBusyLevels = 0;
    std::optional<ui::WaitCursor> m_waitCursor;

    UI_DECLARE_MESSAGE_MAP()
};
