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

    // A folder or module to scan at start-up in place of asking the picker (the program's command
    // line); a module is scanned alone, as its folder with its name for the mask.
    void SetStartPath(const std::wstring& path) { m_strStartPath = path; }

    BOOL DestroyWindow() override;
    BOOL OnInitDialog() override;

    // ScanOwner, through the window's controls.
    MessageList& GetMessageList() override { return CMessageListDlg::GetMessageList(); }
    std::wstring GetMaskText() override;
    bool IsRecursive() override;
    void SetStatusText(const std::wstring& text) override;
    void BeginBusy() override;
    void EndBusy() override;

protected:
    // F5 scans the current folder again; the rest as in every list window.
    bool PreTranslateMessage(const MSG& message) override;

private:
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOpenDirectory();
    // Clears the list and scans folder with the mask and the switch as they stand.
    void Scan(const std::wstring& folder);
    // Scans the current folder again, or asks for one when there is none yet.
    void Rescan();
    void OnSize(UINT type, int cx, int cy);
    void OnTimer(UINT_PTR id);

    std::wstring m_strStartPath;
    std::wstring m_strFolder; // the folder scanned last

    // The wait cursor from the outermost busy folder level's start to its end.
    int m_nBusyLevels = 0;
    std::optional<ui::WaitCursor> m_waitCursor;

    UI_DECLARE_MESSAGE_MAP()
};
