// orvanel-dump: lists the message tables of the modules in a folder as TSV or CSV on stdout.

#include "cli/Console.h"
#include "cli/Explain.h"
#include "store/Store.h"
#include "harvest/Codes.h"
#include "harvest/FolderScan.h"
#include "harvest/MessageQuery.h"
#include "harvest/ModuleScan.h"
#include "harvest/Platform.h"
#include "rows/RowStream.h"
#include "harvest/ScanOwner.h"
#include "harvest/Strings.h"
#include "harvest/SystemText.h"
#include "harvest/Unicode.h"
#include "version.h"

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <utility>
#include <string>
#include <string_view>

namespace {

// What --help says before the options, and after them; each option's lines are in its entry of
// the table of options.
const wchar_t kUsageHead[] =
    L"Usage: orvanel-dump [--mask PATTERN]... [--recursive] [--satellites] [--no-errors]\n"
    L"                    [--format tsv|csv|jsonl] [--output FILE] [--code CODE]...\n"
    L"                    [--event ID]... [--lang LANGUAGE]... FOLDER|FILE\n"
    L"       orvanel-dump --explain CODE... [--lang LANGUAGE]... [--insert TEXT]... [--raw]\n"
    L"                    [--parameters MODULE]... [--mask PATTERN] [--recursive]\n"
    L"                    [FOLDER|FILE]\n"
    L"       orvanel-dump --format sqlite --output DATABASE [scan options] FOLDER|FILE\n"
    L"       orvanel-dump --db DATABASE [--scan N] [--format tsv|csv|jsonl] [--output FILE]\n"
    L"                    [--code CODE]... [--event ID]... [--lang LANGUAGE]... [--no-errors]\n"
    L"                    [--explain CODE...]\n"
    L"\n"
    L"Lists every message of every message table (resource type 11) in every language of the\n"
    L"modules in FOLDER that match PATTERN (default \"*.dll\"), or of the one module FILE, one\n"
    L"row per message, as UTF-8 on standard output (or in the file of --output): a header line,\n"
    L"then module, folder, error, language, id, hex id, text. Files that cannot be opened or have\n"
    L"no message table give one row with the error's text. The status line goes to standard\n"
    L"error last.\n"
    L"\n"
    L"Exit status:\n"
    L"  0  the folder was scanned\n"
    L"  1  FOLDER does not exist, or it cannot be listed; DATABASE is missing (--db), is not an\n"
    L"     Orvanel database, was written by a newer Orvanel, is corrupt, or has no such scan\n"
    L"  2  bad arguments (--insert: a text's inserts could not be filled with them)\n"
    L"  3  the output (or DATABASE) could not be written (quietly when its reader has gone)\n"
    L"  4  out of memory; what was harvested before is written\n"
    L"  5  --explain: some CODE has no symbolic name and no text in FOLDER\n"
    L"  6  another program kept DATABASE locked for 5 s\n"
    L"\n";

const wchar_t kUsageTail[] =
    L"Every option that takes a value may also be written --option=VALUE. --code, --event and\n"
    L"--lang leave error rows out.\n"
    L"\n"
    L"A CODE is decimal (5), hexadecimal (0x80070005, or C0000005: hex digits with a letter), a\n"
    L"negative 32-bit number (-2147024891) or a symbolic name of winerror.h, ntstatus.h,\n"
    L"wininet.h, lmerr.h or mferror.h, letter case aside (ERROR_ACCESS_DENIED, E_ACCESSDENIED,\n"
    L"STATUS_ACCESS_VIOLATION). It finds the messages of the value itself; of the Win32 code\n"
    L"in an HRESULT 0x8007xxxx, and of that HRESULT for a Win32 code; of the NTSTATUS that an\n"
    L"HRESULT with the NT bit wraps (0xD0000022: 0xC0000022); and of the Win32 code that the\n"
    L"system maps an NTSTATUS to (0xC0000022: 5).\n";

constexpr int kExitNotAFolder = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitOutputFailed = 3;
constexpr int kExitOutOfMemory = 4;
constexpr int kExitUnknownCode = 5;
constexpr int kExitDatabaseBusy = 6;

// A standard handle, written in UTF-8 through a buffer. A write that fails ends the process at
// once: with a message when the output is lost, quietly when its reader has gone (a pipe into a
// program that stopped reading, as head does).
class Output {
public:
    explicit Output(console::Stream stream, console::OutputFile* file = nullptr)
        : m_stream(stream), m_file(file) {}
    ~Output() { Flush(); }

    void Write(std::wstring_view text) { Write(std::string_view(ToUtf8(text))); }
    void Write(std::string_view utf8) {
        if (m_buffer.empty() && utf8.size() >= kBufferBytes) {
            Send(utf8); // a whole block of rows: written as it is
            return;
        }
        m_buffer += utf8;
        if (m_buffer.size() >= kBufferBytes) {
            Flush();
        }
    }

    void Flush() {
        Send(m_buffer);
        m_buffer.clear();
    }

private:
    static constexpr std::size_t kBufferBytes = std::size_t{1} << 16;

    void Send(std::string_view data) {
        platform::ErrorCode error = 0;
        if (m_file != nullptr ? !m_file->Write(data, error)
                              : !console::Write(m_stream, data, error)) {
            if (m_file != nullptr) {
                m_file->Discard();
            }
            Failed(error);
        }
    }

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
    console::OutputFile* m_file;
    std::string m_buffer;
};

// The patterns of --mask as one text, as --mask takes them: separated by ";".
std::wstring JoinMasks(const std::vector<std::wstring>& masks) {
    std::wstring text;
    for (const std::wstring& mask : masks) {
        text += (text.empty() ? L"" : L";") + mask;
    }
    return text;
}

// The scan's owner: the mask, the switch and the query from the command line; the rows go to
// the output as they come (a dump) or into memory (an explanation).
class CommandScanOwner : public ScanOwner {
public:
    CommandScanOwner(std::vector<std::wstring> masks, bool recursive, bool satellites,
                     const MessageQuery& query, MessageList& rows)
        : m_masks(std::move(masks)), m_recursive(recursive), m_satellites(satellites),
          m_query(query), m_rows(rows) {}

    MessageList& GetMessageList() override { return m_rows; }
    std::wstring GetMaskText() override { return JoinMasks(m_masks); }
    std::vector<std::wstring> GetMaskPatterns() override { return m_masks; }
    bool ReadsSatellites() override { return m_satellites; }
    bool IsRecursive() override { return m_recursive; }
    void SetStatusText(const std::wstring& text) override { status = text; }
    const MessageQuery* GetQuery() override { return &m_query; }

    std::wstring status;

private:
    std::vector<std::wstring> m_masks;
    bool m_recursive;
    bool m_satellites;
    const MessageQuery& m_query;
    MessageList& m_rows;
};

std::wstring UsageText();

int UsageError(const std::wstring& why) {
    Output err(console::Stream::Error);
    err.Write(L"orvanel-dump: " + why + L"\n\n");
    err.Write(UsageText());
    return kExitBadArguments;
}

struct Options {
    std::vector<std::wstring> masks; // empty: *.dll
    bool recursive = false;
    bool satellites = false;
    RowFormat format = RowFormat::Tsv;
    bool sqlite = false;   // --format sqlite
    std::wstring output;   // --output: its database, or the file that takes the rows
    std::wstring database; // --db
    std::int64_t scan = 0; // --scan; 0 for the newest
    MessageQuery query;
    std::wstring queryText; // the options that make the query, as given
    std::vector<std::uint16_t> languages;
    std::vector<ExplainedCode> explain; // --explain's codes, as typed and as read
    bool explaining = false;
    ExplainStyle style;                   // --raw and --insert
    std::vector<std::wstring> parameters; // --parameters
    std::wstring path;
    bool help = false;
    bool version = false;
};

// Whether an argument after --explain's first code is another code: not an option (a negative
// number is a code), and not the name of a folder or file.
bool IsCodeArgument(const std::wstring& argument) {
    if (argument.starts_with(L"-") &&
        (argument.size() < 2 || argument[1] < L'0' || argument[1] > L'9')) {
        return false;
    }
    return argument.find_first_of(L"\\/:.") == std::wstring::npos &&
           platform::Inspect(argument) == platform::PathKind::Missing;
}

bool AddCode(Options& options, std::wstring_view text, bool explain, std::wstring& error) {
    std::uint32_t code = 0;
    if (!codes::ParseCode(text, code, error)) {
        return false;
    }
    if (explain) {
        options.explain.push_back({std::wstring(text), code});
    } else {
        options.query.AddCode(code);
    }
    return true;
}

// An option whose value is a path, kept as it is given.
template <std::wstring Options::*member>
bool SetPath(Options& options, std::wstring_view path, std::wstring&) {
    options.*member = path;
    return true;
}

// One option of the command line: its name, whether it takes a value, its lines in --help, and
// what it sets. A query option also goes into the text that a stored scan keeps of its query.
struct OptionEntry {
    const wchar_t* name;
    bool takesValue;
    bool query;
    const wchar_t* help;
    bool (*apply)(Options& options, std::wstring_view value, std::wstring& error);
};

const OptionEntry kOptions[] = {
    {L"--mask", true, false,
     L"  --mask PATTERN    file mask, a wildcard pattern (default *.dll; empty means *); may be\n"
     L"                    repeated or hold several separated by \";\" (\"*.dll;*.exe;*.sys\"): a\n"
     L"                    file that matches any of them is scanned once, in listing order\n",
     [](Options& o, std::wstring_view list, std::wstring&) {
         // A list of patterns separated by ";" is several patterns.
         for (;;) {
             const std::size_t end = std::min(list.find(L';'), list.size());
             o.masks.emplace_back(list.substr(0, end));
             if (end == list.size()) {
                 return true;
             }
             list.remove_prefix(end + 1);
         }
     }},
    {L"--recursive", false, false, L"  --recursive       scan subfolders too, depth first\n",
     [](Options& o, std::wstring_view, std::wstring&) { return o.recursive = true; }},
    {L"--satellites", false, false,
     L"  --satellites      read each module's satellites too: LANGUAGE\\NAME.mui in every "
     L"subfolder\n"
     L"                    named as a locale (en-US, de-DE, ...), then NAME.mui beside it; their\n"
     L"                    rows carry the module's name and their own folder. A module without\n"
     L"                    tables gives no error row when a satellite has some, and a language\n"
     L"                    folder's .mui files are read only as satellites\n",
     [](Options& o, std::wstring_view, std::wstring&) { return o.satellites = true; }},
    {L"--no-errors", false, true, L"  --no-errors       leave error rows out\n",
     [](Options& o, std::wstring_view, std::wstring&) {
         o.query.DropErrorRows();
         return true;
     }},
    {L"--format", true, false,
     L"  --format tsv|csv|jsonl  tsv (default; \\\\ \\t \\r \\n escaped in cells), csv (RFC 4180)\n"
     L"                    or jsonl (JSON Lines: one object a row, with typed fields and the\n"
     L"                    text as the table holds it too; no header line)\n"
     L"  --format sqlite   adds the scan to the SQLite database named by --output, in one\n"
     L"                    transaction, creating it when it is missing (its schema: README)\n",
     [](Options& o, std::wstring_view name, std::wstring& error) {
         o.sqlite = name == L"sqlite";
         if (const FormatEntry* entry = FindFormat(name)) {
             o.format = entry->format;
         } else if (!o.sqlite) {
             error = L"unknown format '" + std::wstring(name) + L"'";
             return false;
         }
         return true;
     }},
    {L"--output", true, false,
     L"  --output FILE     the database that --format sqlite writes; with the other formats, the\n"
     L"                    file that takes the rows: written beside it and then moved into its\n"
     L"                    place, so that a run that fails leaves an earlier FILE as it was\n",
     SetPath<&Options::output>},
    {L"--db", true, false,
     L"  --db DATABASE     answers from a scan stored in DATABASE instead of scanning, as a scan "
     L"of\n"
     L"                    its folder would have: rows, or --explain's texts\n",
     SetPath<&Options::database>},
    {L"--scan", true, false,
     L"  --scan N          with --db: the scan numbered N (default: the newest)\n",
     [](Options& o, std::wstring_view text, std::wstring& error) {
         std::uint32_t number = 0;
         if (!codes::ParseNumber(text, number) || number == 0 || number > 0x7FFFFFFF) {
             error = L"'" + std::wstring(text) + L"' is not a scan number";
             return false;
         }
         o.scan = number;
         return true;
     }},
    {L"--code", true, true,
     L"  --code CODE       only the messages of CODE, read every way below; may be repeated\n",
     [](Options& o, std::wstring_view text, std::wstring& error) {
         return AddCode(o, text, false, error);
     }},
    {L"--event", true, true,
     L"  --event ID        only the messages whose identifier's low 16 bits are ID: an event id,\n"
     L"                    whatever its qualifier bits (701 finds 0xB00002BD); may be repeated\n",
     [](Options& o, std::wstring_view text, std::wstring& error) {
         std::uint32_t number = 0;
         if (!codes::ParseNumber(text, number) || number > 0xFFFFu) {
             error = L"'" + std::wstring(text) + L"' is not an event id (0 to 65535)";
             return false;
         }
         o.query.AddEvent(static_cast<std::uint16_t>(number));
         return true;
     }},
    {L"--lang", true, true,
     L"  --lang LANGUAGE   only the messages of LANGUAGE: a number (1041, 0x411) or a locale name\n"
     L"                    (ja-JP, ja, de); may be repeated. A language with a region also takes\n"
     L"                    the tables stored under the language alone (1041 takes 17, as the\n"
     L"                    loader does); the language alone (17, ja) takes every region of it.\n",
     [](Options& o, std::wstring_view text, std::wstring& error) {
         std::uint16_t language = 0;
         if (!ParseLanguage(text, language, error)) {
             return false;
         }
         o.query.AddLanguage(language);
         o.languages.push_back(language);
         return true;
     }},
    {L"--explain", true, false,
     L"  --explain CODE... for a person: every reading of each CODE with its fields, every\n"
     L"                    symbolic name with its header, then every text for it in FOLDER (by\n"
     L"                    default the system's module folder) in the languages of --lang (by\n"
     L"                    default yours and English). The arguments after it are CODEs up to the\n"
     L"                    next option or an argument that names a folder or file.\n",
     [](Options& o, std::wstring_view text, std::wstring& error) {
         o.explaining = true;
         return AddCode(o, text, true, error);
     }},
    {L"--insert", true, false,
     L"  --insert TEXT     with --explain: each text shown again below it, its inserts filled as\n"
     L"                    the system fills them (%1 with the first TEXT, and so on; a number for\n"
     L"                    %1!d! and the like); may be repeated\n",
     [](Options& o, std::wstring_view text, std::wstring&) {
         o.style.fill = true;
         o.style.inserts.emplace_back(text);
         return true;
     }},
    {L"--parameters", true, false,
     L"  --parameters MODULE with --explain: %%N in a text or an --insert stands for message N of\n"
     L"                    MODULE (a provider's parameter file), in the text's language where it\n"
     L"                    has one; may be repeated\n",
     [](Options& o, std::wstring_view path, std::wstring&) {
         o.parameters.emplace_back(path);
         return true;
     }},
    {L"--raw", false, false,
     L"  --raw             with --explain: the texts as the tables hold them, line breaks and "
     L"all\n",
     [](Options& o, std::wstring_view, std::wstring&) { return o.style.raw = true; }},
    {L"--version", false, false, L"  --version         show the version\n",
     [](Options& o, std::wstring_view, std::wstring&) { return o.version = true; }},
    {L"--help", false, false, L"  --help            show this text\n",
     [](Options& o, std::wstring_view, std::wstring&) { return o.help = true; }},
};

// --help's text: the head, each option's lines in the table's order, the tail.
std::wstring UsageText() {
    std::wstring text = kUsageHead;
    for (const OptionEntry& option : kOptions) {
        text += option.help;
    }
    return text + kUsageTail;
}

const OptionEntry* FindOption(std::wstring_view name) {
    if (name == L"-h") {
        name = L"--help";
    }
    for (const OptionEntry& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

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
        const OptionEntry* option = FindOption(arg);
        // A switch takes no value, but --help and --version answer whatever follows them.
        const bool answers = arg == L"--help" || arg == L"-h" || arg == L"--version";
        if (option != nullptr && (option->takesValue || !inlineValue || answers)) {
            std::wstring_view value;
            if (option->takesValue) {
                if (inlineValue) {
                    value = *inlineValue;
                } else if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    error = option->name == std::wstring_view(L"--explain")
                                ? L"--explain needs a code"
                                : std::wstring(arg) + L" needs a value";
                    return false;
                }
            }
            if (!option->apply(options, value, error)) {
                return false;
            }
            if (option->query) {
                options.queryText += L" " + std::wstring(option->name) +
                                     (option->takesValue ? L" " + std::wstring(value) : L"");
            }
            if (options.help || options.version) {
                return true;
            }
            // More codes follow --explain's first, up to the next option or the folder.
            while (std::wstring_view(option->name) == L"--explain" && !inlineValue &&
                   i + 1 < argc && IsCodeArgument(argv[i + 1])) {
                if (!AddCode(options, argv[++i], true, error)) {
                    return false;
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
    if (options.sqlite && options.output.empty()) {
        error = L"--format sqlite needs --output DATABASE";
        return false;
    }
    if (options.sqlite && options.explaining) {
        error = L"--explain writes for a person: it does not go with --format sqlite";
        return false;
    }
    if ((options.style.raw || options.style.fill || !options.parameters.empty()) &&
        !options.explaining) {
        error = L"--raw, --insert and --parameters go with --explain";
        return false;
    }
    if (options.explaining && !options.output.empty()) {
        error = L"--explain writes for a person on standard output: it does not go with --output";
        return false;
    }
    if (options.scan != 0 && options.database.empty()) {
        error = L"--scan needs --db DATABASE";
        return false;
    }
    if (!options.database.empty()) {
        if (havePath || options.sqlite || options.recursive || options.satellites ||
            !options.masks.empty()) {
            error = L"--db answers from a stored scan: it takes no FOLDER, --mask, --recursive, "
                    L"--satellites or --format sqlite";
            return false;
        }
        return true;
    }
    if (options.path.empty() && options.explaining) {
        options.path = console::SystemModuleFolder();
        if (options.path.empty()) {
            error = L"no FOLDER given, and this system has no module folder that Orvanel knows: "
                    L"give FOLDER";
            return false;
        }
    }
    if (options.path.empty()) {
        error = L"FOLDER is missing";
        return false;
    }
    if (options.masks.empty()) {
        options.masks.push_back(L"*.dll");
    }
    return true;
}

// Scans the folder, or the one module, into the owner's list; false when memory ran out.
bool Scan(CommandScanOwner& owner, const std::wstring& path, bool oneFile) {
    try {
        if (oneFile) {
            // The one module, its folder in the path column, counted as a folder of one file.
            const auto [parent, name] = SplitPath(path);
            ScanTally tally = ScanModule(owner, parent, name);
            tally.nFolders = 1;
            owner.SetStatusText(FormatStatusLine(tally));
        } else {
            ScanFolder(owner, path);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int OutOfMemory() {
    Output(console::Stream::Error).Write(L"orvanel-dump: out of memory\n");
    return kExitOutOfMemory;
}

// The exit status for a database that could not be used, with its message.
int DatabaseFailed(store::Outcome outcome, const std::wstring& text) {
    Output(console::Stream::Error).Write(L"orvanel-dump: " + text + L"\n");
    switch (outcome) {
    case store::Outcome::Busy:
        return kExitDatabaseBusy;
    case store::Outcome::Failed:
        return kExitOutputFailed;
    default:
        return kExitNotAFolder;
    }
}

// Gives the rows that a query keeps, from a scan or from a stored scan: false when it has already
// ended the run with the status it returns in status.
using RowSource = std::function<bool(const MessageQuery& query, MessageList& rows,
                                     std::wstring& folder, std::wstring& statusLine, int& status)>;

// --explain: the codes' readings and names, then their texts in the folder.
int RunExplain(Options& options, const RowSource& source) {
    MessageQuery query;
    for (const ExplainedCode& code : options.explain) {
        query.AddCode(code.value);
    }
    std::vector<std::uint16_t> languages = options.languages;
    if (languages.empty()) {
        constexpr std::uint16_t kEnglishUnitedStates = 0x0409;
        languages = {platform::UserLanguage()};
        if (languages[0] != kEnglishUnitedStates) {
            languages.push_back(kEnglishUnitedStates);
        }
    }
    for (std::uint16_t language : languages) {
        query.AddLanguage(language);
    }
    MemoryMessageList rows;
    std::wstring folder = options.path, statusLine;
    int status = 0;
    if (!source(query, rows, folder, statusLine, status)) {
        return status;
    }
    // The parameter modules' messages, each read as a module alone.
    MemoryMessageList parameters;
    const MessageQuery everything;
    for (const std::wstring& module : options.parameters) {
        if (platform::Inspect(module) != platform::PathKind::File) {
            Output(console::Stream::Error)
                .Write(L"orvanel-dump: " + module + L": no such parameter module\n");
            return kExitNotAFolder;
        }
        CommandScanOwner owner({L"*"}, false, false, everything, parameters);
        const auto [parent, name] = SplitPath(module);
        ScanModule(owner, parent, name);
    }
    if (!options.parameters.empty()) {
        options.style.parameters = &parameters;
    }
    Output out(console::Stream::Output);
    bool renderFailed = false;
    const bool allKnown =
        WriteExplanation(options.explain, languages, folder, rows, options.style, renderFailed,
                         [&out](std::wstring_view text) { out.Write(text); });
    out.Flush();
    Output(console::Stream::Error).Write(statusLine + L"\n");
    // A text whose inserts cannot be filled is a bad argument, said where it stands.
    return renderFailed ? kExitBadArguments : allKnown ? 0 : kExitUnknownCode;
}

// The rows that a query keeps, as text on the standard output or in the file of --output, then
// the status line.
int RunRows(Options& options, const RowSource& source) {
    console::OutputFile file;
    if (!options.output.empty()) {
        platform::ErrorCode error = 0;
        if (!file.Open(options.output, error)) {
            Output(console::Stream::Error)
                .Write(L"orvanel-dump: " + options.output + L": " + GetSystemErrorText(error) +
                       L"\n");
            return kExitOutputFailed;
        }
    }
    Output out(console::Stream::Output, options.output.empty() ? nullptr : &file);
    RowStream rows(options.format, [&out](std::string_view line) { out.Write(line); });
    rows.WriteHeader();
    std::wstring folder = options.path, statusLine;
    int status = 0;
    const bool complete = source(options.query, rows, folder, statusLine, status);
    rows.Finish();
    out.Flush();
    if (!complete) {
        return status; // an earlier file stays as it was
    }
    platform::ErrorCode error = 0;
    if (!options.output.empty() && !file.Commit(error)) {
        Output(console::Stream::Error)
            .Write(L"orvanel-dump: " + options.output + L": " + GetSystemErrorText(error) + L"\n");
        return kExitOutputFailed;
    }
    Output(console::Stream::Error).Write(statusLine + L"\n");
    return 0;
}

// --db: what a stored scan holds, as a scan of its folder would give it.
int RunFromDatabase(Options& options) {
    store::Database database;
    std::wstring error;
    const store::Outcome opened = database.OpenForReading(options.database, error);
    if (opened != store::Outcome::Ok) {
        return DatabaseFailed(opened, error);
    }
    const RowSource source = [&](const MessageQuery& query, MessageList& rows, std::wstring& folder,
                                 std::wstring& statusLine, int& status) {
        store::StoredScan stored;
        const store::Outcome read =
            store::ReadScan(database, options.scan, query, rows, stored, error);
        if (read != store::Outcome::Ok) {
            status = DatabaseFailed(read, error);
            return false;
        }
        folder = stored.folder;
        statusLine = stored.status;
        return true;
    };
    try {
        return options.explaining ? RunExplain(options, source) : RunRows(options, source);
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
}

// --format sqlite: the scan added to the database in one transaction, or nothing at all.
int RunIntoDatabase(Options& options, bool oneFile) {
    store::Database database;
    std::wstring error;
    const store::Outcome opened = database.OpenForScan(options.output, error);
    if (opened != store::Outcome::Ok) {
        return DatabaseFailed(opened, error);
    }
    store::ScanOptions recorded;
    recorded.folder = options.path;
    recorded.masks = JoinMasks(options.masks);
    recorded.recursive = options.recursive;
    recorded.satellites = options.satellites;
    recorded.query = TrimBlanks(options.queryText);
    recorded.version = WidenAscii(ORVANEL_VERSION_TEXT);
    std::wstring statusLine;
    try {
        store::ScanWriter writer(database, recorded);
        CommandScanOwner owner(options.masks, options.recursive, options.satellites, options.query,
                               writer);
        if (!Scan(owner, options.path, oneFile)) {
            return OutOfMemory();
        }
        writer.Commit(owner.status);
        statusLine = owner.status;
    } catch (const store::Failure& failure) {
        return DatabaseFailed(failure.outcome, failure.text);
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
    Output(console::Stream::Error).Write(statusLine + L"\n");
    return 0;
}

} // namespace

int RunDump(const std::vector<std::wstring>& arguments) {
    Options options;
    std::wstring error;
    if (!ParseArguments(arguments, options, error)) {
        return UsageError(error);
    }
    if (options.help) {
        Output(console::Stream::Output).Write(UsageText());
        return 0;
    }
    if (options.version) {
        Output(console::Stream::Output)
            .Write(std::string_view("orvanel-dump " ORVANEL_VERSION_TEXT "\n"));
        return 0;
    }
    if (!options.database.empty()) {
        return RunFromDatabase(options);
    }
    const std::wstring& folder = options.path;
    const platform::PathKind kind = platform::Inspect(folder);
    const bool oneFile = kind == platform::PathKind::File;
    if (kind == platform::PathKind::Missing) {
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
    if (options.sqlite) {
        return RunIntoDatabase(options, oneFile);
    }
    const RowSource scan = [&](const MessageQuery& query, MessageList& rows, std::wstring&,
                               std::wstring& statusLine, int& status) {
        CommandScanOwner owner(options.masks, options.recursive, options.satellites, query, rows);
        if (!Scan(owner, folder, oneFile)) {
            status = OutOfMemory();
            return false;
        }
        statusLine = owner.status;
        return true;
    };
    return options.explaining ? RunExplain(options, scan) : RunRows(options, scan);
}
