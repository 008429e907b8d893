#include "ui/SaveRows.h"

#include "rows/RowStream.h"
#include "harvest/Strings.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A file written through a buffer; the first failure is kept and later writes do nothing.
class BufferedFile {
public:
    explicit BufferedFile(HANDLE file) : m_file(file) {}

    void Write(std::string_view data) {
        m_buffer += data;
        if (m_buffer.size() >= (1u << 20)) {
            Flush();
        }
    }

    bool Flush() {
        DWORD written = 0;
        if (m_error == 0 && !m_buffer.empty() &&
            (!::WriteFile(m_file, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &written,
                          nullptr) ||
             written != m_buffer.size())) {
            m_error = ::GetLastError() != 0 ? ::GetLastError() : ERROR_WRITE_FAULT;
        }
        m_buffer.clear();
        return m_error == 0;
    }

    DWORD Error() const { return m_error; }

private:
    HANDLE m_file;
    std::string m_buffer;
    DWORD m_error = 0;
};

bool AskTheSystem(HWND owner, std::wstring& chosen, RowFormat& format) {
    // The types of the table of formats, in its order: "name\0*.ending\0" each.
    std::wstring filter;
    std::vector<const FormatEntry*> types;
    for (const FormatEntry& entry : RowFormats()) {
        if (entry.saveType != nullptr) {
            filter += entry.saveType + std::wstring(1, L'\0') + L"*" + entry.extension + L'\0';
            types.push_back(&entry);
        }
    }
    wchar_t path[MAX_PATH] = L"messages";
    std::wcsncat(path, types.front()->extension, MAX_PATH - 9);
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = MAX_PATH;
    request.lpstrDefExt = types.front()->extension + 1;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&request)) {
        return false;
    }
    chosen = path;
    // The name's own ending decides where it names a type; else the type chosen in the dialog.
    const FormatEntry* named = FormatOfFileName(chosen);
    const std::size_t index = request.nFilterIndex >= 1 ? request.nFilterIndex - 1 : 0;
    format = named != nullptr ? named->format : types[std::min(index, types.size() - 1)]->format;
    return true;
}

SaveFileChooser g_chooser = &AskTheSystem;

} // namespace

SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser) {
    const SaveFileChooser previous = g_chooser;
    g_chooser = chooser != nullptr ? chooser : &AskTheSystem;
    return previous;
}

bool ChooseSaveFile(HWND owner, std::wstring& path, RowFormat& format) {
    return g_chooser(owner, path, format);
}

bool SaveRows(const MemoryMessageList& rows, const std::wstring& path, RowFormat format,
              DWORD& error) {
    wchar_t temporary[MAX_PATH] = {};
    if (::GetTempFileNameW(SplitPath(path).first.c_str(), L"orv", 0, temporary) == 0) {
        error = ::GetLastError();
        return false;
    }
    HANDLE file = ::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        ::DeleteFileW(temporary);
        return false;
    }
    BufferedFile out(file);
    if (EntryOf(format).byteOrderMark) {
        out.Write("\xEF\xBB\xBF");
    }
    RowStream stream(format, [&out](std::string_view line) { out.Write(line); });
    stream.WriteHeader();
    for (int row = 0; row < rows.GetRowCount(); ++row) {
        AppendRowCopy(rows, row, stream);
    }
    stream.Finish();
    const bool written = out.Flush();
    error = out.Error();
    ::CloseHandle(file);
    if (written && !::MoveFileExW(temporary, path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != 0) {
        ::DeleteFileW(temporary);
        return false;
    }
    return true;
}
