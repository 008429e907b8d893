#include "harvest/pe/PeReader.h"

#include "harvest/ErrorCodes.h"
#include "harvest/Unicode.h"
#include "harvest/pe/UpperCase.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace pe {
namespace {

// The Windows error codes that the loader's failures come out as.
using errors::kBadExeFormat;
using errors::kFileInvalid;
using errors::kNoAccess;
using errors::kResourceDataNotFound;
using errors::kResourceTypeNotFound;

constexpr std::uint64_t kPage = 4096;
constexpr std::uint16_t kMessageTableType = 11;
constexpr std::uint32_t kHighBit = 0x80000000u;

// A read's outcome, as the loader meets it: the value, or a fault (a read past the mapping, the
// loader's page fault). Every read says which; a fault goes up as a value, never as an exception.
template <class T> class Result {
public:
    Result(T value) : m_value(std::move(value)), m_ok(true) {}
    static Result Fault() { return Result(); }

    explicit operator bool() const { return m_ok; }
    const T& operator*() const { return m_value; }
    const T* operator->() const { return &m_value; }

private:
    Result() = default;
    T m_value{};
    bool m_ok = false;
};

// An offset found, or none: what a lookup gives when none of its reads faults.
using Found = std::optional<std::uint64_t>;

// What the directory's walk may read at the least: long names looked up in a large directory
// are read again at every step of every binary search, and a read costs a memory access.
constexpr std::uint64_t kLeastBudget = std::uint64_t{4} << 30;

// The file as the loader maps a data file: flat, whole pages, zeros after the end.
class Mapping {
public:
    explicit Mapping(const ByteSource& file)
        : m_file(file), m_size((file.Size() + kPage - 1) / kPage * kPage),
          m_budget(std::max<std::uint64_t>(kLeastBudget, 16 * m_size)) {}

    std::uint64_t Size() const { return m_size; }
    std::uint64_t FileSize() const { return m_file.Size(); }

    // Bytes at offset, zeros where the file has ended; false (a fault) past the mapping, and
    // once the directory's walk has read more than a generous multiple of the file (a crafted
    // directory can make its lookups read the same long names billions of times).
    [[nodiscard]] bool Read(std::uint64_t offset, void* out, std::size_t size) const {
        if (offset > m_size || m_size - offset < size || size > m_budget) {
            return false;
        }
        m_budget -= size;
        const std::uint64_t fileSize = m_file.Size();
        const std::size_t fromFile =
            offset >= fileSize
                ? 0
                : static_cast<std::size_t>(std::min<std::uint64_t>(size, fileSize - offset));
        if (fromFile > 0 && !m_file.Read(offset, out, fromFile)) {
            return false;
        }
        if (size > fromFile) { // (an empty read may come with no buffer at all)
            std::memset(static_cast<std::uint8_t*>(out) + fromFile, 0, size - fromFile);
        }
        return true;
    }
    Result<std::uint16_t> U16(std::uint64_t offset) const {
        std::uint8_t b[2];
        if (!Read(offset, b, 2)) {
            return Result<std::uint16_t>::Fault();
        }
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    Result<std::uint32_t> U32(std::uint64_t offset) const {
        std::uint8_t b[4];
        if (!Read(offset, b, 4)) {
            return Result<std::uint32_t>::Fault();
        }
        return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }

private:
    const ByteSource& m_file;
    std::uint64_t m_size;
    mutable std::uint64_t m_budget;
};

// The headers that the resource functions read, as they read them.
struct Headers {
    std::uint64_t nt = 0;           // offset of the PE signature
    std::uint64_t resourceRoot = 0; // offset of the resource directory
    bool hasResources = false;
};

// A name or number as the resource functions take it: a number, or a string (upper-cased, as
// FindResourceEx upper-cases it; "#123" is the number 123).
struct ResourceKey {
    bool isNumber = true;
    std::uint16_t number = 0;
    std::u16string text;
};

// What RtlImageRvaToVa gives for a data file: the file offset of an address, through the section
// that holds it in its raw data; none when no section does.
Result<Found> RvaToOffset(const Mapping& map, std::uint64_t nt, std::uint32_t rva) {
    const auto sections = map.U16(nt + 6);
    const auto optionalSize = map.U16(nt + 20);
    if (!sections || !optionalSize) {
        return Result<Found>::Fault();
    }
    std::uint64_t section = nt + 24 + *optionalSize;
    for (std::uint16_t i = 0; i < *sections; ++i, section += 40) {
        const auto virtualAddress = map.U32(section + 12);
        const auto rawSize = map.U32(section + 16);
        const auto rawPointer = map.U32(section + 20);
        if (!virtualAddress || !rawSize || !rawPointer) {
            return Result<Found>::Fault();
        }
        // In 32 bits, as the loader adds them: a section whose end passes 4 GiB holds nothing.
        const auto end = static_cast<std::uint32_t>(*virtualAddress + *rawSize);
        if (*virtualAddress <= rva && end > rva) {
            return Found(std::uint64_t{*rawPointer} + (rva - *virtualAddress));
        }
    }
    return Found();
}

// RtlImageNtHeader: the PE signature behind the DOS header, or none (a fault is none too).
Found NtHeader(const Mapping& map) {
    const auto mz = map.U16(0);
    if (!mz || *mz != 0x5A4D) { // "MZ"
        return std::nullopt;
    }
    const auto lfanew = map.U32(0x3C);
    if (!lfanew || static_cast<std::int32_t>(*lfanew) < 0) {
        return std::nullopt;
    }
    const auto signature = map.U32(*lfanew);
    if (!signature || *signature != 0x00004550) { // "PE\0\0"
        return std::nullopt;
    }
    return std::uint64_t{*lfanew};
}

// RtlImageDirectoryEntryToData for the resource directory of a data file.
Result<Headers> FindResourceDirectory(const Mapping& map, std::uint64_t nt) {
    Headers headers;
    headers.nt = nt;
    const std::uint64_t optional = nt + 24;
    const auto magic = map.U16(optional);
    if (!magic) {
        return Result<Headers>::Fault();
    }
    std::uint64_t directories;
    Result<std::uint32_t> count = Result<std::uint32_t>::Fault();
    if (*magic == 0x20B) { // PE32+
        count = map.U32(optional + 108);
        directories = optional + 112;
    } else if (*magic == 0x10B) { // PE32
        count = map.U32(optional + 92);
        directories = optional + 96;
    } else {
        return headers;
    }
    const auto sizeOfHeaders = map.U32(optional + 60);
    if (!count || !sizeOfHeaders) {
        return Result<Headers>::Fault();
    }
    constexpr std::uint32_t kResourceDirectory = 2;
    if (kResourceDirectory >= *count) {
        return headers;
    }
    const auto address = map.U32(directories + 8 * kResourceDirectory);
    const auto size = map.U32(directories + 8 * kResourceDirectory + 4);
    if (!address || !size) {
        return Result<Headers>::Fault();
    }
    if (*address == 0) {
        return headers;
    }
    Found root;
    if (*address < *sizeOfHeaders) {
        root = *address;
    } else {
        const auto mapped = RvaToOffset(map, nt, *address);
        if (!mapped) {
            return Result<Headers>::Fault();
        }
        root = *mapped;
    }
    if (!root || *size < 16) {
        return headers; // no directory, or one too small for its header
    }
    headers.resourceRoot = *root;
    headers.hasResources = true;
    return headers;
}

struct Directory {
    std::uint64_t at = 0;
    std::uint16_t named = 0;
    std::uint16_t ids = 0;
};

Result<Directory> ReadDirectory(const Mapping& map, std::uint64_t at) {
    const auto named = map.U16(at + 12);
    const auto ids = map.U16(at + 14);
    if (!named || !ids) {
        return Result<Directory>::Fault();
    }
    return Directory{at, *named, *ids};
}

struct Entry {
    std::uint32_t name = 0;
    std::uint32_t data = 0;
};

Result<Entry> ReadEntry(const Mapping& map, const Directory& dir, std::uint32_t index) {
    const std::uint64_t at = dir.at + 16 + 8 * std::uint64_t{index};
    const auto name = map.U32(at);
    const auto data = map.U32(at + 4);
    if (!name || !data) {
        return Result<Entry>::Fault();
    }
    return Entry{*name, *data};
}

Result<std::u16string> ReadName(const Mapping& map, std::uint64_t root, std::uint32_t offset) {
    const std::uint64_t at = root + (offset & ~kHighBit);
    const auto length = map.U16(at);
    if (!length) {
        return Result<std::u16string>::Fault();
    }
    std::vector<std::uint8_t> bytes(2 * std::size_t{*length});
    if (!map.Read(at + 2, bytes.data(), bytes.size())) { // one read, not one per character
        return Result<std::u16string>::Fault();
    }
    std::u16string text(*length, u'\0');
    for (std::uint16_t i = 0; i < *length; ++i) {
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return text;
}

// find_entry_by_id: a binary search over the numbered entries; the entry must be a directory or
// not, as asked.
Result<Found> FindById(const Mapping& map, std::uint64_t root, const Directory& dir,
                       std::uint16_t id, bool wantDirectory) {
    int low = dir.named, high = dir.named + dir.ids - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const auto entry = ReadEntry(map, dir, static_cast<std::uint32_t>(middle));
        if (!entry) {
            return Result<Found>::Fault();
        }
        const auto entryId = static_cast<std::uint16_t>(entry->name & 0xFFFF);
        if (entryId == id) {
            if (((entry->data & kHighBit) != 0) == wantDirectory) {
                return Found(root + (entry->data & ~kHighBit));
            }
            break;
        }
        if (entryId > id) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return Found();
}

// find_entry_by_name: a binary search over the named entries, code units compared as they are.
Result<Found> FindByKey(const Mapping& map, std::uint64_t root, const Directory& dir,
                        const ResourceKey& key, bool wantDirectory) {
    if (key.isNumber) {
        return FindById(map, root, dir, key.number, wantDirectory);
    }
    int low = 0, high = dir.named - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const auto entry = ReadEntry(map, dir, static_cast<std::uint32_t>(middle));
        if (!entry) {
            return Result<Found>::Fault();
        }
        const auto read = ReadName(map, root, entry->name);
        if (!read) {
            return Result<Found>::Fault();
        }
        const std::u16string& name = *read;
        // wcsncmp over the stored name's length, then the lengths.
        int order = 0;
        for (std::size_t i = 0; i < name.size() && order == 0; ++i) {
            const char16_t mine = i < key.text.size() ? key.text[i] : u'\0';
            order = mine < name[i] ? -1 : mine > name[i] ? 1 : 0;
            if (mine == u'\0') {
                break;
            }
        }
        if (order == 0 && key.text.size() == name.size()) {
            if (((entry->data & kHighBit) != 0) == wantDirectory) {
                return Found(root + (entry->data & ~kHighBit));
            }
            break;
        }
        if (order < 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return Found();
}

// RtlUnicodeStringToInteger in base 10: blanks (any unit up to the space) and a sign first,
// then digits up to the first that is none, in 32-bit arithmetic; no digits at all is 0.
std::uint32_t DecimalAsTheSystemReadsIt(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] <= u' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - u'0');
    }
    return negative ? 0u - value : value;
}

// get_res_nameW: the key that FindResourceEx makes of a name; empty when it refuses it. The name
// reaches it as a string, so it ends at its first NUL; "#" and what follows is read as a number.
std::optional<ResourceKey> KeyOf(std::u16string name) {
    name.resize(std::min(name.size(), name.find(u'\0')));
    ResourceKey key;
    if (!name.empty() && name[0] == u'#') {
        const std::uint32_t value = DecimalAsTheSystemReadsIt(std::u16string_view(name).substr(1));
        if (value > 0xFFFF) {
            return std::nullopt;
        }
        key.number = static_cast<std::uint16_t>(value);
        return key;
    }
    key.isNumber = false;
    key.text = std::move(name);
    for (char16_t& c : key.text) {
        c = static_cast<char16_t>(SystemUpperCase(c));
    }
    return key;
}

// The language entry that FindResourceEx settles on: the language itself, then its primary
// language with a neutral sublanguage, then neutral; for a neutral language also the defaults
// of an English (United States) system, then the first entry.
Result<Found> FindLanguage(const Mapping& map, std::uint64_t root, const Directory& dir,
                           std::uint16_t language) {
    std::vector<std::uint16_t> tries;
    const auto push = [&](std::uint16_t id) {
        if (std::find(tries.begin(), tries.end(), id) == tries.end()) {
            tries.push_back(id);
        }
    };
    const auto primary = static_cast<std::uint16_t>(language & 0x3FF);
    push(language);
    push(primary);
    push(0);
    if (primary == 0) {
        push(0x0409); // the thread's, the user's and the system's locale: English (United States)
        push(0x0009); // their primary language with a neutral sublanguage, and English
    }
    for (std::uint16_t id : tries) {
        const auto found = FindById(map, root, dir, id, false);
        if (!found || *found) {
            return found;
        }
    }
    if (primary == 0) {
        // The first entry that holds data, subdirectories passed over.
        const std::uint32_t count = std::uint32_t{dir.named} + dir.ids;
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto entry = ReadEntry(map, dir, i);
            if (!entry) {
                return Result<Found>::Fault();
            }
            if ((entry->data & kHighBit) == 0) {
                return Found(root + entry->data);
            }
        }
    }
    return Found();
}

// The directory that a lookup found, read; none when the lookup found nothing.
Result<std::optional<Directory>> DirectoryOf(const Mapping& map, const Result<Found>& found) {
    if (!found) {
        return Result<std::optional<Directory>>::Fault();
    }
    if (!*found) {
        return std::optional<Directory>();
    }
    const auto dir = ReadDirectory(map, **found);
    if (!dir) {
        return Result<std::optional<Directory>>::Fault();
    }
    return std::optional<Directory>(*dir);
}

// FindResourceEx and LoadResource for one name and language of type 11: where the table lies.
// They fail quietly, on a fault too: then the table is passed over.
void LocateTable(const Mapping& map, const Headers& headers, const ResourceKey& name,
                 const platform::ResourceName& enumerated, std::uint16_t language,
                 std::vector<TableLocation>& tables) {
    const std::uint64_t root = headers.resourceRoot;
    const auto top = ReadDirectory(map, root);
    if (!top) {
        return;
    }
    const auto type = DirectoryOf(map, FindById(map, root, *top, kMessageTableType, true));
    if (!type || !*type) {
        return;
    }
    const auto names = DirectoryOf(map, FindByKey(map, root, **type, name, true));
    if (!names || !*names) {
        return;
    }
    const auto entry = FindLanguage(map, root, **names, language);
    if (!entry || !*entry) {
        return;
    }
    const auto rva = map.U32(**entry);
    const auto size = map.U32(**entry + 4);
    if (!rva || !size) {
        return;
    }
    const auto offset = RvaToOffset(map, headers.nt, *rva);
    if (!offset || !*offset) {
        return; // LoadResource gives no data: the table is passed over
    }
    // Bounded by its claimed size and by the mapping.
    TableLocation table;
    table.name = enumerated;
    table.language = language;
    table.offset = **offset;
    const std::uint64_t inMapping = table.offset < map.Size() ? map.Size() - table.offset : 0;
    const std::uint64_t bytes = std::min<std::uint64_t>(*size, inMapping);
    const std::uint64_t inFile = table.offset < map.FileSize() ? map.FileSize() - table.offset : 0;
    table.fileBytes = std::min(bytes, inFile);
    table.zeroBytes = bytes - table.fileBytes;
    tables.push_back(table);
}

// EnumResourceLanguages for one name: each language's table located, in the directory's order,
// until the module is full. A fault ends the walk; the names go on.
template <class Full>
void LocateLanguages(const Mapping& map, const Headers& headers, const Directory& names,
                     const ResourceKey& key, const platform::ResourceName& enumerated,
                     std::vector<TableLocation>& tables, const Full& full) {
    // The name's directory found again, its entries in order.
    const auto langs = DirectoryOf(map, FindByKey(map, headers.resourceRoot, names, key, true));
    if (!langs || !*langs) {
        return;
    }
    const std::uint32_t count = std::uint32_t{(*langs)->named} + (*langs)->ids;
    for (std::uint32_t j = 0; j < count && !full(); ++j) {
        const auto lang = ReadEntry(map, **langs, j);
        if (!lang) {
            return;
        }
        LocateTable(map, headers, key, enumerated, static_cast<std::uint16_t>(lang->name & 0xFFFF),
                    tables);
    }
}

} // namespace

bool FindMessageTables(const ByteSource& file, std::vector<TableLocation>& tables,
                       platform::ErrorCode& error) {
    if (file.Size() == 0) {
        error = kFileInvalid; // an empty file cannot be mapped
        return false;
    }
    const Mapping map(file);
    const std::size_t first = tables.size();
    std::size_t counted = first;
    const auto nt = NtHeader(map);
    if (!nt) {
        error = kBadExeFormat;
        return false;
    }
    // A fault in the headers or the walk of the names: the enumeration fails.
    const auto faulted = [&] {
        error = kNoAccess;
        return false;
    };
    const auto headers = FindResourceDirectory(map, *nt);
    if (!headers) {
        return faulted();
    }
    if (!headers->hasResources) {
        error = kResourceDataNotFound;
        return false;
    }
    const std::uint64_t root = headers->resourceRoot;
    const auto top = ReadDirectory(map, root);
    if (!top) {
        return faulted();
    }
    const auto type = DirectoryOf(map, FindById(map, root, *top, kMessageTableType, true));
    if (!type) {
        return faulted();
    }
    if (!*type) {
        error = kResourceTypeNotFound;
        return false;
    }
    const Directory& names = **type;
    const std::uint32_t count = std::uint32_t{names.named} + names.ids;
    if (count == 0) {
        // EnumResourceNames enumerates nothing and reports failure, leaving the last error as
        // it was: the Windows build then shows the text of whatever came before (here: 0).
        error = 0;
        return false;
    }
    std::uint64_t bytes = 0;
    const auto full = [&] {
        for (; counted < tables.size(); ++counted) {
            bytes += tables[counted].fileBytes + tables[counted].zeroBytes;
        }
        return tables.size() - first >= platform::kMaxTablesPerModule ||
               bytes >= platform::kMaxTableBytesPerModule;
    };
    for (std::uint32_t i = 0; i < count && !full(); ++i) {
        const auto entry = ReadEntry(map, names, i);
        if (!entry) {
            return faulted();
        }
        std::optional<ResourceKey> key;
        platform::ResourceName enumerated;
        if ((entry->name & kHighBit) != 0) {
            auto text = ReadName(map, root, entry->name);
            if (!text) {
                return faulted();
            }
            // The enumeration hands the name on as a string: it ends at its first NUL.
            const std::u16string_view shown(text->data(),
                                            std::min(text->size(), text->find(u'\0')));
            enumerated.isNumber = false;
            for (std::size_t at = 0; at < shown.size(); ++at) {
                std::uint32_t unit = shown[at];
                if (sizeof(wchar_t) == 4 && IsHighSurrogate(unit) && at + 1 < shown.size() &&
                    IsLowSurrogate(shown[at + 1])) {
                    unit = CombineSurrogates(unit, shown[++at]);
                }
                enumerated.text += static_cast<wchar_t>(unit);
            }
            key = KeyOf(*text);
        } else {
            key = ResourceKey{};
            key->number = static_cast<std::uint16_t>(entry->name & 0xFFFF);
            enumerated.number = key->number;
        }
        if (!key) {
            continue; // EnumResourceLanguages refuses the name: no languages
        }
        LocateLanguages(map, *headers, names, *key, enumerated, tables, full);
    }
    error = 0;
    return true;
}

} // namespace pe
