#pragma once

#include <windows.h>

#include <vector>

namespace ui {

// A copy of a dialog template from the resources (standard or extended), which a dialog can be
// created from with CreateDialogIndirectParamW after a control's style was changed: some styles
// (a list view's owner data, say) take effect only when the control is born with them.
class DialogTemplate {
public:
    // False when the resource cannot be found or is not a template that can be walked.
    bool Load(HINSTANCE module, UINT templateId);

    // The style of the control with that identifier, or null when the template has none. It
    // points into the copy and stays valid while the copy lives.
    DWORD* ItemStyle(int id);

    const DLGTEMPLATE* Data() const { return reinterpret_cast<const DLGTEMPLATE*>(m_data.data()); }

private:
    // DWORD units: a template must be aligned on a DWORD boundary.
    std::vector<DWORD> m_data;
    std::size_t m_size = 0; // in bytes
};

} // namespace ui
