// The native (POSIX) side of the harvest's platform seams, for orvanel-dump on Linux: folders
// listed with readdir in the order Wine and NTFS list them, modules read with pread through the
// loader's rules (PeReader), and the system's texts from tables made under Wine
// (SystemTexts.inc, written by make_system_texts.exe).

#include "harvest/Platform.h"

#include "harvest/MessageList.h"
#include "harvest/native/PosixErrors.h"
#include "harvest/pe/UpperCase.h"
#include "harvest/Unicode.h"
#include "harvest/pe/PeReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace platform {

const wchar_t kPathSeparator = L'/';

namespace {

struct TextEntry {
    std::uint32_t key;
    const wchar_t* text;
};

struct CodeEntry {
    std::uint32_t key;
    std::uint32_t value;
};

struct TagEntry {
    const char* tag;
    std::uint16_t language;
};

#include "harvest/native/SystemTexts.inc"

using errors::kAccessDenied;
using errors::kFileInvalid;
using errors::kFileNotFound;

// An open file read with pread in whole blocks, the last few kept: the module reader's many small
// reads of headers and directories each cost a memory access, not a system call. A small file is
// read whole at the first read; a large read goes to the file directly.
class FileSource : public pe::ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}

    std::uint64_t Size() const override { return m_size; }

    bool Read(std::uint64_t offset, void* out, std::size_t size) const override {
        if (offset > m_size || m_size - offset < size) {
            return false;
        }
        auto* to = static_cast<std::uint8_t*>(out);
        if (size >= 2 * kBlock) {
            return ReadFile(offset, to, size);
        }
        while (size > 0) {
            const Block* block = BlockAt(offset);
            if (block == nullptr) {
                return false;
            }
            const std::size_t within = static_cast<std::size_t>(offset - block->offset);
            const std::size_t count = std::min(size, block->bytes.size() - within);
            std::memcpy(to, block->bytes.data() + within, count);
            to += count;
            offset += count;
            size -= count;
        }
        return true;
    }

private:
    static constexpr std::size_t kBlock = 16 * 1024;
    static constexpr std::uint64_t kWholeFile = 2 * kBlock;
    static constexpr std::size_t kBlocksKept = 16;

    struct Block {
        std::uint64_t offset = 0;
        std::vector<std::uint8_t> bytes; // empty: not loaded
    };

    // The block that holds offset (which lies inside the file), read if it is not kept.
    const Block* BlockAt(std::uint64_t offset) const {
        for (const Block& block : m_blocks) {
            if (!block.bytes.empty() && offset >= block.offset &&
                offset - block.offset < block.bytes.size()) {
                return &block;
            }
        }
        Block& block = m_blocks[m_next];
        m_next = (m_next + 1) % kBlocksKept;
        block.offset = m_size <= kWholeFile ? 0 : offset / kBlock * kBlock;
        const std::uint64_t length =
            m_size <= kWholeFile ? m_size : std::min<std::uint64_t>(kBlock, m_size - block.offset);
        block.bytes.resize(static_cast<std::size_t>(length));
        if (!ReadFile(block.offset, block.bytes.data(), block.bytes.size())) {
            block.bytes.clear();
            return nullptr;
        }
        return &block;
    }

    bool ReadFile(std::uint64_t offset, std::uint8_t* at, std::size_t size) const {
        while (size > 0) {
            const ssize_t got = ::pread(m_fd, at, size, static_cast<off_t>(offset));
            if (got <= 0) {
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                return false; // the file is shorter than it was
            }
            at += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    int m_fd;
    std::uint64_t m_size;
    mutable std::array<Block, kBlocksKept> m_blocks;
    mutable std::size_t m_next = 0;
};

// The key by which Wine and NTFS order a folder's entries: the upper-cased name, compared as
// UTF-16 code units.
std::u16string ListingKey(const std::wstring& name) {
    std::u16string key;
    key.reserve(name.size());
    for (wchar_t c : name) {
        AppendUtf16(key, SystemUpperCase(static_cast<std::uint32_t>(c)));
    }
    return key;
}

// The mask's wildcards: "*" any run, "?" any one character, letter case aside.
bool MatchesMask(const wchar_t* name, const wchar_t* mask) {
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name != L'\0') {
        if (*mask == L'*') {
            star = mask++;
            resume = name;
        } else if (*mask == L'?' ||
                   (*mask != L'\0' && SystemUpperCase(static_cast<std::uint32_t>(*mask)) ==
                                          SystemUpperCase(static_cast<std::uint32_t>(*name)))) {
            ++mask;
            ++name;
        } else if (star != nullptr) {
            mask = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*mask == L'*') {
        ++mask;
    }
    return *mask == L'\0';
}

template <class Table, std::size_t N>
const wchar_t* Lookup(const Table (&table)[N], std::uint32_t key) {
    const auto found = std::lower_bound(std::begin(table), std::end(table), key,
                                        [](const Table& e, std::uint32_t k) { return e.key < k; });
    return found != std::end(table) && found->key == key ? found->text : nullptr;
}

} // namespace

bool ReadFolderIdentity(const std::wstring& folder, FolderIdentity& identity) {
    struct stat info {};
    if (::stat(ToUtf8(folder).c_str(), &info) != 0) {
        return false;
    }
    identity = {};
    identity.first = static_cast<unsigned long long>(info.st_dev);
    const auto inode = static_cast<std::uint64_t>(info.st_ino);
    std::memcpy(identity.second.data(), &inode, sizeof inode);
    return true;
}

namespace {

// A folder's entries in Wine's listing order: each name, and whether it is a directory.
struct Listing {
    std::string path;
    struct stat directory {}; // as it was before the entries were read
    std::vector<std::pair<std::wstring, bool>> entries;
};

// Whether a directory is unchanged since stat read it as before: the same one, with the same
// times of change (a name added, removed or renamed changes them).
bool SameDirectory(const struct stat& before, const struct stat& now) {
    return before.st_dev == now.st_dev && before.st_ino == now.st_ino &&
           before.st_mtim.tv_sec == now.st_mtim.tv_sec &&
           before.st_mtim.tv_nsec == now.st_mtim.tv_nsec &&
           before.st_ctim.tv_sec == now.st_ctim.tv_sec &&
           before.st_ctim.tv_nsec == now.st_ctim.tv_nsec;
}

// Reads a folder's entries; false when it cannot be listed. cacheable is false when an entry's
// type came from following a link, which can change while the directory does not.
bool ReadListing(Listing& listing, bool& cacheable) {
    cacheable = true;
    DIR* dir = ::opendir(listing.path.c_str());
    if (dir == nullptr) {
        return false;
    }
    const struct Closer {
        DIR* dir;
        ~Closer() { ::closedir(dir); }
    } closer{dir};
    std::vector<std::pair<std::u16string, std::pair<std::wstring, bool>>> keyed;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        // Links are followed: a link to a folder is a folder. One that leads nowhere, or round
        // in a loop, is not listed at all, as Wine lists none. The entry's own type saves asking
        // again for a plain file or folder.
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type != DT_REG && entry->d_type != DT_DIR) {
            cacheable = false;
            struct stat info {};
            const std::string full = listing.path + "/" + name;
            if (::stat(full.c_str(), &info) != 0) {
                if (errno == ENOENT || errno == ELOOP) {
                    continue;
                }
            } else {
                isDirectory = S_ISDIR(info.st_mode);
            }
        }
        std::wstring wide = FromUtf8(name);
        std::u16string key = ListingKey(wide);
        keyed.emplace_back(std::move(key), std::make_pair(std::move(wide), isDirectory));
    }
    std::sort(keyed.begin(), keyed.end());
    listing.entries.clear();
    listing.entries.reserve(keyed.size());
    for (auto& entry : keyed) {
        listing.entries.push_back(std::move(entry.second));
    }
    return true;
}

// A folder's entries, directories or the files that match mask, in Wine's listing order. A scan
// lists each folder several times over (once for each mask, for its satellites, for its
// subfolders): the folders listed last are kept, and listed again only when their directory has
// changed.
bool ListEntries(const std::wstring& folder, const wchar_t* mask, bool wantDirectories,
                 std::vector<std::wstring>& names) {
    constexpr std::size_t kListingsKept = 8;
    static std::vector<Listing> kept; // the most recent last
    Listing listing;
    listing.path = ToUtf8(folder);
    if (::stat(listing.path.c_str(), &listing.directory) != 0) {
        return errno == ENOENT || errno == ENOTDIR; // nothing there is an empty listing
    }
    const auto known = std::find_if(kept.begin(), kept.end(), [&](const Listing& old) {
        return old.path == listing.path && SameDirectory(old.directory, listing.directory);
    });
    if (known != kept.end()) {
        listing = std::move(*known);
        kept.erase(known);
    } else {
        bool cacheable = true;
        if (!ReadListing(listing, cacheable)) {
            return errno == ENOENT || errno == ENOTDIR;
        }
        if (!cacheable) {
            listing.directory = {}; // never the same again
            listing.path.clear();
        }
    }
    for (const auto& [name, isDirectory] : listing.entries) {
        if (isDirectory == wantDirectories &&
            (wantDirectories || MatchesMask(name.c_str(), mask))) {
            names.push_back(name);
        }
    }
    if (!listing.path.empty()) {
        kept.push_back(std::move(listing));
        if (kept.size() > kListingsKept) {
            kept.erase(kept.begin());
        }
    }
    return true;
}

bool Walk(const std::wstring& folder, const std::vector<std::wstring>& names,
          FolderEntryProc callback, void* userData) {
    int index = 0;
    for (const std::wstring& name : names) {
        if (!callback(folder, name.c_str(), index++, userData)) {
            break;
        }
    }
    return true;
}

} // namespace

bool EnumFilesInFolder(const std::wstring& folder, const std::wstring& mask,
                       FolderEntryProc callback, void* userData) {
    std::vector<std::wstring> files;
    if (folder.empty() || callback == nullptr ||
        !ListEntries(folder, mask.empty() ? L"*" : mask.c_str(), false, files)) {
        return false;
    }
    return Walk(folder, files, callback, userData);
}

ErrorCode ListingError(const std::wstring& folder) {
    DIR* dir = ::opendir(ToUtf8(folder).c_str());
    if (dir == nullptr) {
        return errno == ENOENT || errno == ENOTDIR ? 0 : FromErrno(errno, kFileNotFound);
    }
    ::closedir(dir);
    return 0;
}

bool EnumSubfolders(const std::wstring& folder, FolderEntryProc callback, void* userData) {
    std::vector<std::wstring> subfolders;
    if (folder.empty() || callback == nullptr || !ListEntries(folder, L"*", true, subfolders)) {
        return false;
    }
    return Walk(folder, subfolders, callback, userData);
}

bool ReadMessageTables(const std::wstring& path, TableSink& sink, ErrorCode& error) {
    // Never blocks: a named pipe or a device in the folder is opened without waiting, and only
    // a regular file is read.
    const int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = FromErrno(errno, kFileNotFound);
        return false;
    }
    // Closed on every way out, a sink that fails or memory that runs out included.
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? kAccessDenied : kFileInvalid;
        return false;
    }
    const FileSource file(fd, static_cast<std::uint64_t>(info.st_size));
    std::vector<pe::TableLocation> tables;
    const bool listed = pe::FindMessageTables(file, tables, error);
    std::vector<std::uint8_t> data; // reused from table to table: only growing costs
    for (const pe::TableLocation& table : tables) {
        // At most the file's size and a page of zeros: nothing that the file claims.
        const auto fileBytes = static_cast<std::size_t>(table.fileBytes);
        const auto size = static_cast<std::size_t>(table.fileBytes + table.zeroBytes);
        if (data.size() < size) {
            data.resize(size);
        }
        if (fileBytes > 0 && !file.Read(table.offset, data.data(), fileBytes)) {
            continue;
        }
        std::fill(data.begin() + static_cast<std::ptrdiff_t>(fileBytes),
                  data.begin() + static_cast<std::ptrdiff_t>(size), std::uint8_t{0});
        sink.OnTable(table.name, table.language, data.data(), size);
    }
    return listed;
}

std::wstring ErrorText(ErrorCode code) {
    const wchar_t* text = Lookup(kErrorTexts, code);
    return text != nullptr ? text : L"";
}

std::wstring LocaleText(std::uint16_t language, std::uint32_t lcType) {
    const wchar_t* name =
        lcType == kNativeLanguageName ? Lookup(kLanguageNames, language) : nullptr;
    return name != nullptr ? name : L"";
}

ErrorCode FromErrno(int error, ErrorCode otherwise) {
    static const std::pair<int, ErrorCode> kCodes[] = {
        {ENOENT, errors::kModNotFound},     {ENOTDIR, errors::kModNotFound},
        {EACCES, errors::kAccessDenied},    {EPERM, errors::kAccessDenied},
        {EISDIR, errors::kAccessDenied},    {ENAMETOOLONG, errors::kNameTooLong},
        {ENOMEM, errors::kNotEnoughMemory}, {EPIPE, errors::kBrokenPipe},
        {ENOSPC, errors::kDiskFull},        {EBADF, errors::kInvalidHandle},
    };
    for (const auto& [number, code] : kCodes) {
        if (number == error) {
            return code;
        }
    }
    return otherwise;
}

ErrorCode NtStatusToWin32(std::uint32_t status) {
    // An NTSTATUS of the NTWIN32 facility carries a Win32 code; the rest are in the system's table.
    if ((status >> 16) == 0xC001u) {
        return status & 0xFFFFu;
    }
    const auto found =
        std::lower_bound(std::begin(kNtStatusWin32), std::end(kNtStatusWin32), status,
                         [](const CodeEntry& e, std::uint32_t k) { return e.key < k; });
    return found != std::end(kNtStatusWin32) && found->key == status ? found->value : kNoWin32Code;
}

bool LanguageOfTag(const std::wstring& tag, std::uint16_t& language) {
    for (const TagEntry& entry : kLanguageTags) {
        const std::size_t length = std::strlen(entry.tag);
        if (length == tag.size() &&
            std::equal(tag.begin(), tag.end(), entry.tag, [](wchar_t a, char b) {
                // Locale names are ASCII: compared letter case aside, whatever the locale.
                const auto lower = [](std::uint32_t c) {
                    return c >= 'A' && c <= 'Z' ? c + 32 : c;
                };
                return lower(static_cast<std::uint32_t>(a)) == lower(static_cast<unsigned char>(b));
            })) {
            language = entry.language;
            return true;
        }
    }
    return false;
}

std::uint16_t UserLanguage() {
    // As the C library reads the locale: LC_ALL, then LC_MESSAGES, then LANG ("de_DE.UTF-8").
    constexpr std::uint16_t kEnglishUnitedStates = 0x0409;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') {
            continue;
        }
        std::wstring tag;
        for (const char* c = value; *c != '\0' && *c != '.' && *c != '@'; ++c) {
            tag += *c == '_' ? L'-' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
        }
        std::uint16_t language = 0;
        return LanguageOfTag(tag, language) ? language : kEnglishUnitedStates;
    }
    return kEnglishUnitedStates;
}

void AnsiToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out) {
    out.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = bytes[i] < 0x80 ? static_cast<wchar_t>(bytes[i])
                                 : static_cast<wchar_t>(kAnsiHighHalf[bytes[i] - 0x80]);
    }
}

void Utf8ToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out) {
    out = FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes), size));
}

void Utf16ToWide(const std::uint8_t* bytes, std::size_t size, std::wstring& out) {
    const std::size_t units = size / 2;
    out.resize(units);
    // Without surrogates, each unit is its character: widened in one vectorised pass.
    std::uint32_t surrogates = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const auto c = static_cast<std::uint32_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        out[i] = static_cast<wchar_t>(c);
        surrogates |= static_cast<std::uint32_t>(IsSurrogate(c));
    }
    if (surrogates == 0) {
        return;
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (IsHighSurrogate(c) && i + 1 < units) {
            const auto low = static_cast<std::uint32_t>(bytes[2 * i + 2] | bytes[2 * i + 3] << 8);
            if (IsLowSurrogate(low)) {
                c = CombineSurrogates(c, low);
                ++i;
            }
        }
        // A lone surrogate stays, as in UTF-16; the UTF-8 output replaces it.
        out[length++] = static_cast<wchar_t>(c);
    }
    out.resize(length);
}

std::wstring FileNameKey(std::wstring_view name) {
    std::wstring key(name);
    for (wchar_t& c : key) {
        c = static_cast<wchar_t>(SystemUpperCase(static_cast<std::uint32_t>(c)));
    }
    return key;
}

PathKind Inspect(const std::wstring& path) {
    struct stat info {};
    if (::stat(ToUtf8(path).c_str(), &info) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
}

bool RemoveFile(const std::wstring& path) {
    return ::unlink(ToUtf8(path).c_str()) == 0;
}

} // namespace platform

int CompareModuleNames(std::wstring_view a, std::wstring_view b) {
    // orvanel-dump keeps its rows in the order found and never sorts them: a plain order.
    return a.compare(b);
}
