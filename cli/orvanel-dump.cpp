// orvanel-dump: lists the message tables of the modules in a folder as TSV or CSV on stdout.

#include "cli/Console.h"
#include "cli/RowStream.h"
#include "harvest/FolderScan.h"
#include "harvest/ModuleScan.h"
#include "harvest/ScanOwner.h"
#include "harvest/TextHelpers.h"

#include <new>
#include <optional>
#include <utility>
#include <string>
#include <string_view>

namespace {

const wchar_t kUsage[] =
    L"Usage: orvanel-dump [--mask PATTERN] [--recursive] [--format tsv|csv] [--code VALUE]\n"
    L"                    [--lang LCID]... FOLDER|FILE\n"
    L"\n"
    L"Lists every message of every message table (resource type 11) in every language of the\n"
    L"modules in FOLDER that match PATTERN (default \"*.dll\"), or of the one module FILE, one\n"
    L"row per message, as UTF-8 on standard output: a header line, then module, folder, error,\n"
    L"language, id, hex id, text. Files that cannot be opened or have no message table give one\n"
    L"row with the error's text. The status line goes to standard error last.\n"
    L"\n"
    L"Exit status:\n"
    L"  0  the folder was scanned\n"
    L"  1  FOLDER does not exist, or it cannot be listed\n"
    L"  2  bad arguments\n"
    L"  3  the output could not be written (quietly when its reader has gone)\n"
    L"  4  out of memory; what was harvested before is written\n"
    L"\n"
    L"  --mask PATTERN    file mask, one wildcard pattern (default *.dll; empty means *)\n"
    L"  --recursive       scan subfolders too, depth first\n"
    L"  --format tsv|csv  tsv (default; \\\\ \\t \\r \\n escaped in cells) or csv (RFC 4180)\n"
    L"  --code VALUE      only the messages whose identifier is VALUE: decimal (5), hexadecimal\n"
    L"                    (0x5, 0x00000005) or a negative 32-bit number (-2147024891). An\n"
    L"                    HRESULT of the Win32 facility (0x8007xxxx) also finds the Win32 code\n"
    L"                    in its low 16 bits. Error rows are left out.\n"
    L"  --lang LCID       only the messages of that language number (1033); may be repeated.\n"
    L"                    Error rows are left out.\n"
    L"  --help            show this text\n"
    L"Every option that takes a value may also be written --option=VALUE.\n";

constexpr int kExitNotAFolder = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitOutputFailed = 3;
constexpr int kExitOutOfMemory = 4;

// A standard handle, written in UTF-8 through a buffer. A write that fails ends the process at
// once: with a message when the output is lost, quietly when its reader has gone (a pipe into a
// program that stopped reading, as head does).
class Output {
public:
    explicit Output(console::Stream stream) : m_stream(stream) {}
    ~Output() { Flush(); }

    void Write(std::wstring_view text) { Write(std::string_view(ToUtf8(text))); }
    void Write(std::string_view utf8) {
        m_buffer += utf8;
        if (m_buffer.size() >= (1u << 16)) {
            Flush();
        }
    }

    void Flush() {
        platform::ErrorCode error = 0;
        if (!console::Write(m_stream, m_buffer, error)) {
            Failed(error);
        }
        m_buffer.clear();
    }

private:
    [[noreturn]] static void Failed(platform::ErrorCode code) {
        if (!console::ReaderIsGone(code)) {
            platform::ErrorCode ignored = 0;
            console::Write(console::Stream::Error,
                           ToUtf8(L"orvanel-dump: cannot write the output: " +
                                  GetSystemErrorText(code) + L"\n"),
                           ignored);
        }
        console::Exit(kExitOutputFailed);
    }

    console::Stream m_stream;
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

int UsageError(const std::wstring& why) {
    Output err(console::Stream::Error);
    err.Write(L"orvanel-dump: " + why + L"\n\n");
    err.Write(kUsage);
    return kExitBadArguments;
}

struct Options {
    std::wstring mask = L"*.dll";
    bool recursive = false;
    RowFormat format = RowFormat::Tsv;
    RowFilter filter;
    std::wstring path;
    bool help = false;
};

// The command line as options; false with the reason when it is not one that can be run.
bool ParseArguments(const std::vector<std::wstring>& argv, Options& options, std::wstring& error) {
    const int argc = static_cast<int>(argv.size());
    bool havePath = false;
    for (int i = 0; i < argc; ++i) {
        std::wstring_view arg = argv[i];
        std::optional<std::wstring_view> inlineValue;
        if (const auto equals = arg.find(L'='); arg.starts_with(L"--") && equals != arg.npos) {
            inlineValue = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        }
        const auto value = [&]() -> std::optional<std::wstring_view> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < argc) {
                return std::wstring_view(argv[++i]);
            }
            return std::nullopt;
        };
        if (arg == L"--help" || arg == L"-h") {
            options.help = true;
            return true;
        }
        if (arg == L"--recursive" && !inlineValue) {
            options.recursive = true;
        } else if (arg == L"--mask" || arg == L"--format" || arg == L"--code" || arg == L"--lang") {
            const auto given = value();
            if (!given) {
                error = std::wstring(arg) + L" needs a value";
                return false;
            }
            if (arg == L"--mask") {
                options.mask = *given;
            } else if (arg == L"--format") {
                if (*given == L"tsv") {
                    options.format = RowFormat::Tsv;
                } else if (*given == L"csv") {
                    options.format = RowFormat::Csv;
                } else {
                    error = L"unknown format '" + std::wstring(*given) + L"'";
                    return false;
                }
            } else {
                const auto number = ParseCode(*given);
                if (!number || (arg == L"--lang" && *number > 0xFFFF)) {
                    error = L"'" + std::wstring(*given) + L"' is not a " +
                            (arg == L"--code" ? L"message code" : L"language number");
                    return false;
                }
                if (arg == L"--code") {
                    options.filter.code = *number;
                } else {
                    options.filter.languages.push_back(static_cast<int>(*number));
                }
            }
        } else if (arg.size() > 1 && arg[0] == L'-' && arg != L"--") {
            error = L"unknown option '" + std::wstring(argv[i]) + L"'";
            return false;
        } else {
            if (arg == L"--" && ++i >= argc) {
                break;
            }
            if (havePath) {
                error = L"only one FOLDER may be given";
                return false;
            }
            options.path = argv[i];
            havePath = true;
        }
    }
    if (options.path.empty()) {
        error = L"FOLDER is missing";
        return false;
    }
    return true;
}

// A path's folder and file name, split at its last separator ("." for a bare name).
std::pair<std::wstring, std::wstring> SplitPath(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return {L".", path};
    }
    return {path.substr(0, slash == 0 || (slash == 2 && path[1] == L':') ? slash + 1 : slash),
            path.substr(slash + 1)};
}

} // namespace

int RunDump(const std::vector<std::wstring>& arguments) {
    Options options;
    std::wstring error;
    if (!ParseArguments(arguments, options, error)) {
        return UsageError(error);
    }
    if (options.help) {
        Output(console::Stream::Output).Write(kUsage);
        return 0;
    }
    const std::wstring& folder = options.path;
    const console::PathKind kind = console::Inspect(folder);
    const bool oneFile = kind == console::PathKind::File;
    if (kind == console::PathKind::Missing) {
        Output(console::Stream::Error).Write(L"orvanel-dump: " + folder + L": no such folder\n");
        return kExitNotAFolder;
    }
    if (!oneFile) {
        const platform::ErrorCode listError = platform::ListingError(folder);
        if (listError != 0) {
            Output(console::Stream::Error)
                .Write(L"orvanel-dump: " + folder + L": " + GetSystemErrorText(listError) + L"\n");
            return kExitNotAFolder;
        }
    }

    Output out(console::Stream::Output);
    RowStream rows(
        options.format, [&out](std::string_view line) { out.Write(line); }, options.filter);
    StreamScanOwner owner(options.mask, options.recursive, rows);
    rows.WriteHeader();
    try {
        if (oneFile) {
            // The one module, its folder in the path column, counted as a folder of one file.
            const auto [parent, name] = SplitPath(folder);
            ScanTally tally = ScanModule(owner, parent, name);
            tally.nFolders = 1;
            owner.SetStatusText(FormatStatusLine(tally));
        } else {
            ScanFolder(owner, folder);
        }
    } catch (const std::bad_alloc&) {
        rows.Finish();
        out.Flush();
        Output(console::Stream::Error).Write(L"orvanel-dump: out of memory\n");
        return kExitOutOfMemory;
    }
    rows.Finish();
    out.Flush();

    Output(console::Stream::Error).Write(owner.status + L"\n");
    return 0;
}
