#include "ui/SaveRows.h"

#include "harvest/RowStream.h"
#include "harvest/Strings.h"

#include <commdlg.h>

#include <string>
#include <string_view>

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
    wchar_t path[MAX_PATH] = L"messages.tsv";
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = L"Tab-separated values (*.tsv)\0*.tsv\0"
                          L"Comma-separated values (*.csv)\0*.csv\0";
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = MAX_PATH;
    request.lpstrDefExt = L"tsv";
    request.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&request)) {
        return false;
    }
    chosen = path;
    // The name's own ending decides where it names a type; else the type chosen in the dialog.
    const auto endsWith = [&](std::wstring_view ending) {
        return chosen.size() >= ending.size() &&
               ::CompareStringOrdinal(chosen.data() + chosen.size() - ending.size(),
                                      static_cast<int>(ending.size()), ending.data(),
                                      static_cast<int>(ending.size()), TRUE) == CSTR_EQUAL;
    };
    format = endsWith(L".csv") || (!endsWith(L".tsv") && request.nFilterIndex == 2)
                 ? RowFormat::Csv
                 : RowFormat::Tsv;
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
    if (format == RowFormat::Csv) {
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
