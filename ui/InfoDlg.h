#pragma once

#include "ui/framework/Dialog.h"

// One line of text beside the system's stop icon.
class CInfoDlg : public ui::Dialog {
public:
    explicit CInfoDlg(ui::Window* parent = nullptr);

    BOOL OnInitDialog() override;

    // Sets the text and shows the dialog above its list window, without taking the keyboard.
    void ShowText(const std::wstring& text);
};
