#include "ui/SaveRows.h"

#include "harvest/RowStream.h"

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

// The folder of path, where the temporary file goes ("." for a bare name).
std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return L".";
    }
    return path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
}

} // namespace

bool SaveRows(const MemoryMessageList& rows, const std::wstring& path, RowFormat format,
              DWORD& error) {
    wchar_t temporary[MAX_PATH] = {};
    if (::GetTempFileNameW(FolderOf(path).c_str(), L"orv", 0, temporary) == 0) {
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
        const int at = stream.AppendRow(rows.Cell(row, COL_MODULE_NAME));
        for (int column = COL_PATH; column < kMessageColumnCount; ++column) {
            stream.SetCell(at, column, rows.Cell(row, column));
        }
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
