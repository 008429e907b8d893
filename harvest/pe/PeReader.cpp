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

// A read past the mapping: the loader's page fault.
struct Fault {};

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

    // Bytes at offset, zeros where the file has ended; throws Fault past the mapping, and once
    // the directory's walk has read more than a generous multiple of the file (a crafted
    // directory can make its lookups read the same long names billions of times).
    void Read(std::uint64_t offset, void* out, std::size_t size) const {
        if (offset > m_size || m_size - offset < size || size > m_budget) {
            throw Fault{};
        }
        m_budget -= size;
        const std::uint64_t fileSize = m_file.Size();
        const std::size_t fromFile =
            offset >= fileSize
                ? 0
                : static_cast<std::size_t>(std::min<std::uint64_t>(size, fileSize - offset));
        if (fromFile > 0 && !m_file.Read(offset, out, fromFile)) {
            throw Fault{};
        }
        if (size > fromFile) { // (an empty read may come with no buffer at all)
            std::memset(static_cast<std::uint8_t*>(out) + fromFile, 0, size - fromFile);
        }
    }
    std::uint16_t U16(std::uint64_t offset) const {
        std::uint8_t b[2];
        Read(offset, b, 2);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::uint32_t U32(std::uint64_t offset) const {
        std::uint8_t b[4];
        Read(offset, b, 4);
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
// that holds it in its raw data; empty when none does.
std::optional<std::uint64_t> RvaToOffset(const Mapping& map, std::uint64_t nt, std::uint32_t rva) {
    const std::uint16_t sections = map.U16(nt + 6);
    const std::uint16_t optionalSize = map.U16(nt + 20);
    std::uint64_t section = nt + 24 + optionalSize;
    for (std::uint16_t i = 0; i < sections; ++i, section += 40) {
        const std::uint32_t virtualAddress = map.U32(section + 12);
        const std::uint32_t rawSize = map.U32(section + 16);
        const std::uint32_t rawPointer = map.U32(section + 20);
        // In 32 bits, as the loader adds them: a section whose end passes 4 GiB holds nothing.
        const auto end = static_cast<std::uint32_t>(virtualAddress + rawSize);
        if (virtualAddress <= rva && end > rva) {
            return std::uint64_t{rawPointer} + (rva - virtualAddress);
        }
    }
    return std::nullopt;
}

// RtlImageNtHeader: the PE signature behind the DOS header, or empty.
std::optional<std::uint64_t> NtHeader(const Mapping& map) {
    try {
        if (map.U16(0) != 0x5A4D) { // "MZ"
            return std::nullopt;
        }
        const auto lfanew = static_cast<std::int32_t>(map.U32(0x3C));
        if (lfanew < 0 || map.U32(static_cast<std::uint64_t>(lfanew)) != 0x00004550) { // "PE\0\0"
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(lfanew);
    } catch (const Fault&) {
        return std::nullopt;
    }
}

// RtlImageDirectoryEntryToData for the resource directory of a data file.
Headers FindResourceDirectory(const Mapping& map, std::uint64_t nt) {
    Headers headers;
    headers.nt = nt;
    const std::uint64_t optional = nt + 24;
    const std::uint16_t magic = map.U16(optional);
    std::uint64_t directories;
    std::uint32_t count;
    if (magic == 0x20B) { // PE32+
        count = map.U32(optional + 108);
        directories = optional + 112;
    } else if (magic == 0x10B) { // PE32
        count = map.U32(optional + 92);
        directories = optional + 96;
    } else {
        return headers;
    }
    const std::uint32_t sizeOfHeaders = map.U32(optional + 60);
    constexpr std::uint32_t kResourceDirectory = 2;
    if (kResourceDirectory >= count) {
        return headers;
    }
    const std::uint32_t address = map.U32(directories + 8 * kResourceDirectory);
    const std::uint32_t size = map.U32(directories + 8 * kResourceDirectory + 4);
    if (address == 0) {
        return headers;
    }
    std::optional<std::uint64_t> root;
    if (address < sizeOfHeaders) {
        root = address;
    } else {
        root = RvaToOffset(map, nt, address);
    }
    if (!root || size < 16) {
        return headers; // no directory, or one too small for its header
    }
    headers.resourceRoot = *root;
    headers.hasResources = true;
    return headers;
}

struct Directory {
    std::uint64_t at;
    std::uint16_t named;
    std::uint16_t ids;
};

Directory ReadDirectory(const Mapping& map, std::uint64_t at) {
    return {at, map.U16(at + 12), map.U16(at + 14)};
}

struct Entry {
    std::uint32_t name;
    std::uint32_t data;
};

Entry ReadEntry(const Mapping& map, const Directory& dir, std::uint32_t index) {
    const std::uint64_t at = dir.at + 16 + 8 * std::uint64_t{index};
    return {map.U32(at), map.U32(at + 4)};
}

std::u16string ReadName(const Mapping& map, std::uint64_t root, std::uint32_t offset) {
    const std::uint64_t at = root + (offset & ~kHighBit);
    const std::uint16_t length = map.U16(at);
    std::vector<std::uint8_t> bytes(2 * std::size_t{length});
    map.Read(at + 2, bytes.data(), bytes.size()); // one read, not one per character
    std::u16string text(length, u'\0');
    for (std::uint16_t i = 0; i < length; ++i) {
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return text;
}

// find_entry_by_id: a binary search over the numbered entries; the entry must be a directory or
// not, as asked.
std::optional<std::uint64_t> FindById(const Mapping& map, std::uint64_t root, const Directory& dir,
                                      std::uint16_t id, bool wantDirectory) {
    int low = dir.named, high = dir.named + dir.ids - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const Entry entry = ReadEntry(map, dir, static_cast<std::uint32_t>(middle));
        const auto entryId = static_cast<std::uint16_t>(entry.name & 0xFFFF);
        if (entryId == id) {
            if (((entry.data & kHighBit) != 0) == wantDirectory) {
                return root + (entry.data & ~kHighBit);
            }
            break;
        }
        if (entryId > id) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return std::nullopt;
}

// find_entry_by_name: a binary search over the named entries, code units compared as they are.
std::optional<std::uint64_t> FindByKey(const Mapping& map, std::uint64_t root, const Directory& dir,
                                       const ResourceKey& key, bool wantDirectory) {
    if (key.isNumber) {
        return FindById(map, root, dir, key.number, wantDirectory);
    }
    int low = 0, high = dir.named - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const Entry entry = ReadEntry(map, dir, static_cast<std::uint32_t>(middle));
        const std::u16string name = ReadName(map, root, entry.name);
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
            if (((entry.data & kHighBit) != 0) == wantDirectory) {
                return root + (entry.data & ~kHighBit);
            }
            break;
        }
        if (order < 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return std::nullopt;
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
std::optional<std::uint64_t> FindLanguage(const Mapping& map, std::uint64_t root,
                                          const Directory& dir, std::uint16_t language) {
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
        if (auto found = FindById(map, root, dir, id, false)) {
            return found;
        }
    }
    if (primary == 0) {
        // The first entry that holds data, subdirectories passed over.
        const std::uint32_t count = std::uint32_t{dir.named} + dir.ids;
        for (std::uint32_t i = 0; i < count; ++i) {
            const Entry entry = ReadEntry(map, dir, i);
            if ((entry.data & kHighBit) == 0) {
                return root + entry.data;
            }
        }
    }
    return std::nullopt;
}

// FindResourceEx and LoadResource for one name and language of type 11: where the table lies.
void LocateTable(const Mapping& map, const Headers& headers, const ResourceKey& name,
                 const platform::ResourceName& enumerated, std::uint16_t language,
                 std::vector<TableLocation>& tables) {
    try {
        const std::uint64_t root = headers.resourceRoot;
        const auto type = FindById(map, root, ReadDirectory(map, root), kMessageTableType, true);
        if (!type) {
            return;
        }
        const auto names = FindByKey(map, root, ReadDirectory(map, *type), name, true);
        if (!names) {
            return;
        }
        const auto entry = FindLanguage(map, root, ReadDirectory(map, *names), language);
        if (!entry) {
            return;
        }
        const std::uint32_t rva = map.U32(*entry);
        const std::uint32_t size = map.U32(*entry + 4);
        const auto offset = RvaToOffset(map, headers.nt, rva);
        if (!offset) {
            return; // LoadResource gives no data: the table is passed over
        }
        // Bounded by its claimed size and by the mapping.
        TableLocation table;
        table.name = enumerated;
        table.language = language;
        table.offset = *offset;
        const std::uint64_t inMapping = *offset < map.Size() ? map.Size() - *offset : 0;
        const std::uint64_t bytes = std::min<std::uint64_t>(size, inMapping);
        const std::uint64_t inFile = *offset < map.FileSize() ? map.FileSize() - *offset : 0;
        table.fileBytes = std::min(bytes, inFile);
        table.zeroBytes = bytes - table.fileBytes;
        tables.push_back(table);
    } catch (const Fault&) {
        // FindResourceEx and LoadResource fail quietly on a fault: the table is passed over.
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
    try {
        const Headers headers = FindResourceDirectory(map, *nt);
        if (!headers.hasResources) {
            error = kResourceDataNotFound;
            return false;
        }
        const std::uint64_t root = headers.resourceRoot;
        const auto type = FindById(map, root, ReadDirectory(map, root), kMessageTableType, true);
        if (!type) {
            error = kResourceTypeNotFound;
            return false;
        }
        const Directory names = ReadDirectory(map, *type);
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
            const Entry entry = ReadEntry(map, names, i);
            std::optional<ResourceKey> key;
            platform::ResourceName enumerated;
            if ((entry.name & kHighBit) != 0) {
                std::u16string text = ReadName(map, root, entry.name);
                // The enumeration hands the name on as a string: it ends at its first NUL.
                const std::u16string_view shown(text.data(),
                                                std::min(text.size(), text.find(u'\0')));
                enumerated.isNumber = false;
                for (std::size_t at = 0; at < shown.size(); ++at) {
                    std::uint32_t unit = shown[at];
                    if (sizeof(wchar_t) == 4 && IsHighSurrogate(unit) && at + 1 < shown.size() &&
                        IsLowSurrogate(shown[at + 1])) {
                        unit = CombineSurrogates(unit, shown[++at]);
                    }
                    enumerated.text += static_cast<wchar_t>(unit);
                }
                key = KeyOf(std::move(text));
            } else {
                key = ResourceKey{};
                key->number = static_cast<std::uint16_t>(entry.name & 0xFFFF);
                enumerated.number = key->number;
            }
            if (!key) {
                continue; // EnumResourceLanguages refuses the name: no languages
            }
            // EnumResourceLanguages: the name's directory found again, its entries in order.
            std::optional<std::uint64_t> languages;
            try {
                languages = FindByKey(map, root, names, *key, true);
            } catch (const Fault&) {
                languages.reset();
            }
            if (!languages) {
                continue;
            }
            try {
                const Directory langs = ReadDirectory(map, *languages);
                const std::uint32_t langCount = std::uint32_t{langs.named} + langs.ids;
                for (std::uint32_t j = 0; j < langCount && !full(); ++j) {
                    const Entry lang = ReadEntry(map, langs, j);
                    LocateTable(map, headers, *key, enumerated,
                                static_cast<std::uint16_t>(lang.name & 0xFFFF), tables);
                }
            } catch (const Fault&) {
                // The language walk ends at the fault; the names go on.
            }
        }
    } catch (const Fault&) {
        error = kNoAccess;
        return false;
    }
    error = 0;
    return true;
}

} // namespace pe
