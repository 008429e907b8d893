// orvanel-dump: lists the message tables of the modules in a folder as TSV or CSV on stdout.

#include "cli/RowStream.h"
#include "harvest/FolderScan.h"
#include "harvest/ScanOwner.h"
#include "harvest/TextHelpers.h"

#include <windows.h>

#include <new>
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
    L"Exit status:\n"
    L"  0  the folder was scanned\n"
    L"  1  FOLDER is not a folder, or it cannot be listed\n"
    L"  2  bad arguments\n"
    L"  3  the output could not be written (quietly when its reader has gone)\n"
    L"  4  out of memory; what was harvested before is written\n"
    L"\n"
    L"  --mask PATTERN    file mask, one wildcard pattern (default *.dll; empty means *)\n"
    L"  --recursive       scan subfolders too, depth first\n"
    L"  --format tsv|csv  tsv (default; \\\\ \\t \\r \\n escaped in cells) or csv (RFC 4180)\n"
    L"  --help            show this text\n";

constexpr int kExitNotAFolder = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitOutputFailed = 3;
constexpr int kExitOutOfMemory = 4;

// A standard handle, written in UTF-8 through a buffer. A write that fails ends the process at
// once: with a message when the output is lost, quietly when its reader has gone (a pipe into a
// program that stopped reading, as head does).
class Output {
public:
    explicit Output(DWORD which) : m_handle(GetStdHandle(which)) {}
    ~Output() { Flush(); }

    void Write(std::wstring_view text) { Write(std::string_view(ToUtf8(text))); }
    void Write(std::string_view utf8) {
        m_buffer += utf8;
        if (m_buffer.size() >= (1u << 16)) {
            Flush();
        }
    }

    void Flush() {
        size_t done = 0;
        while (done < m_buffer.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(m_buffer.size() - done);
            if (!WriteFile(m_handle, m_buffer.data() + done, chunk, &written, nullptr)) {
                Failed(GetLastError());
            }
            if (written == 0) {
                Failed(ERROR_WRITE_FAULT);
            }
            done += written;
        }
        m_buffer.clear();
    }

private:
    [[noreturn]] static void Failed(DWORD code) {
        if (code != ERROR_BROKEN_PIPE && code != ERROR_NO_DATA &&
            code != ERROR_PIPE_NOT_CONNECTED) {
            const std::string message = ToUtf8(L"orvanel-dump: cannot write the output: " +
                                               GetSystemErrorText(code) + L"\n");
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), message.data(),
                      static_cast<DWORD>(message.size()), &written, nullptr);
        }
        ExitProcess(kExitOutputFailed);
    }

    HANDLE m_handle;
    std::string m_buffer;
};

// The scan's owner: the mask and switch from the command line, the rows straight to the output.
class StreamScanOwner : public ScanOwner {
public:
    StreamScanOwner(std::wstring mask, bool recursive, RowStream& rows)
        : m_mask(std::move(mask)), m_recursive(recursive), m_rows(rows) {}

    MessageList& GetMessageList() override { return m_rows; }
    std::wstring GetMaskText() override { return m_mask; }
    bool IsRecursive() override { return m_recursive; }
    void SetStatusText(const std::wstring& text) override { status = text; }

    std::wstring status;

private:
    std::wstring m_mask;
    bool m_recursive;
    RowStream& m_rows;
};

// Why the folder cannot be listed (permission denied, say), or ERROR_SUCCESS. A folder that
// cannot be listed would otherwise give a header and nothing else, and look like an empty one.
DWORD ListingError(const std::wstring& folder) {
    std::wstring pattern = folder;
    if (pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : code;
    }
    FindClose(search);
    return ERROR_SUCCESS;
}

int UsageError(const std::wstring& why) {
    Output err(STD_ERROR_HANDLE);
    err.Write(L"orvanel-dump: " + why + L"\n\n");
    err.Write(kUsage);
    return kExitBadArguments;
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
        return kExitNotAFolder;
    }
    const DWORD listError = ListingError(folder);
    if (listError != ERROR_SUCCESS) {
        Output(STD_ERROR_HANDLE)
            .Write(L"orvanel-dump: " + folder + L": " + GetSystemErrorText(listError) + L"\n");
        return kExitNotAFolder;
    }

    Output out(STD_OUTPUT_HANDLE);
    RowStream rows(format, [&out](std::string_view line) { out.Write(line); });
    StreamScanOwner owner(mask, recursive, rows);
    rows.WriteHeader();
    try {
        ScanFolder(owner, folder);
    } catch (const std::bad_alloc&) {
        rows.Finish();
        out.Flush();
        Output(STD_ERROR_HANDLE).Write(L"orvanel-dump: out of memory\n");
        return kExitOutOfMemory;
    }
    rows.Finish();
    out.Flush();

    Output(STD_ERROR_HANDLE).Write(owner.status + L"\n");
    return 0;
}
