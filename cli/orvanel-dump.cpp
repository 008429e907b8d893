// orvanel-dump: lists the message tables of the modules in a folder as TSV or CSV on stdout.

#include "harvest/FolderScan.h"
#include "cli/RowFormat.h"
#include "harvest/TextHelpers.h"
#include "harvest/ScanOwner.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace {

const wchar_t kUsage[] =
    L"Usage: orvanel-dump [--mask PATTERN] [--recursive] [--format tsv|csv] FOLDER\n"
    L"\n"
    L"Lists every message of every message table (resource type 11) in every language of the\n"
    L"modules in FOLDER that match PATTERN (default \"*.dll\"), one row per message, as UTF-8 on\n"
    L"standard output: a header line, then module, folder, error, language, id, hex id, text.\n"
    L"Files that cannot be opened or have no message table give one row with the error's text.\n"
    L"The status line goes to standard error last.\n"
    L"\n"
    L"  --mask PATTERN    file mask, one wildcard pattern (default *.dll; empty means *)\n"
    L"  --recursive       scan subfolders too, depth first\n"
    L"  --format tsv|csv  tsv (default; \\\\ \\t \\r \\n escaped in cells) or csv (RFC 4180)\n"
    L"  --help            show this text\n";

class Output {
public:
    explicit Output(DWORD which) : m_handle(GetStdHandle(which)) {}
    ~Output() { Flush(); }

    void Write(std::wstring_view text) {
        m_buffer += ToUtf8(text);
        if (m_buffer.size() >= (1u << 16)) {
            Flush();
        }
    }

    void Flush() {
        size_t done = 0;
        while (done < m_buffer.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(m_buffer.size() - done);
            if (!WriteFile(m_handle, m_buffer.data() + done, chunk, &written, nullptr) ||
                written == 0) {
                break;
            }
            done += written;
        }
        m_buffer.clear();
    }

private:
    HANDLE m_handle;
    std::string m_buffer;
};

int UsageError(const std::wstring& why) {
    Output err(STD_ERROR_HANDLE);
    err.Write(L"orvanel-dump: " + why + L"\n\n");
    err.Write(kUsage);
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mask = L"*.dll";
    bool recursive = false;
    RowFormat format = RowFormat::Tsv;
    std::wstring folder;
    bool haveFolder = false;

    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg = argv[i];
        if (arg == L"--help" || arg == L"-h") {
            Output(STD_OUTPUT_HANDLE).Write(kUsage);
            return 0;
        }
        if (arg == L"--recursive") {
            recursive = true;
        } else if (arg == L"--mask" || arg == L"--format") {
            if (i + 1 >= argc) {
                return UsageError(std::wstring(arg) + L" needs a value");
            }
            const std::wstring_view value = argv[++i];
            if (arg == L"--mask") {
                mask = value;
            } else if (value == L"tsv") {
                format = RowFormat::Tsv;
            } else if (value == L"csv") {
                format = RowFormat::Csv;
            } else {
                return UsageError(L"unknown format '" + std::wstring(value) + L"'");
            }
        } else if (arg.size() > 1 && arg[0] == L'-' && arg != L"--") {
            return UsageError(L"unknown option '" + std::wstring(arg) + L"'");
        } else {
            if (arg == L"--") {
                if (++i >= argc) {
                    break;
                }
            }
            if (haveFolder) {
                return UsageError(L"only one FOLDER may be given");
            }
            folder = argv[i];
            haveFolder = true;
        }
    }
    if (!haveFolder || folder.empty()) {
        return UsageError(L"FOLDER is missing");
    }

    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        Output err(STD_ERROR_HANDLE);
        err.Write(
            L"orvanel-dump: " + folder +
            (attributes == INVALID_FILE_ATTRIBUTES ? L": no such folder\n" : L": not a folder\n"));
        return 1;
    }

    MemoryScanOwner owner(mask, recursive);
    ScanFolder(owner, folder);

    Output out(STD_OUTPUT_HANDLE);
    std::wstring line;
    const auto writeLine = [&](auto cellAt) {
        line.clear();
        for (int column = 0; column < kMessageColumnCount; ++column) {
            if (column != 0) {
                line += CellSeparator(format);
            }
            AppendCell(line, cellAt(column), format);
        }
        line += LineEnd(format);
        out.Write(line);
    };
    writeLine([](int column) { return std::wstring_view(kMessageColumnHeaders[column]); });
    for (int row = 0; row < owner.list.GetRowCount(); ++row) {
        writeLine([&](int column) { return owner.list.Cell(row, column); });
    }
    out.Flush();

    Output(STD_ERROR_HANDLE).Write(owner.status + L"\n");
    return 0;
}
