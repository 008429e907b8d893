#pragma once

#include "harvest/Platform.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A Windows module read as the Windows loader reads a data file (LoadLibraryEx with
// LOAD_LIBRARY_AS_DATAFILE, then EnumResourceNames, EnumResourceLanguages, FindResourceEx and
// LoadResource for type 11), for the native build of orvanel-dump:
// - the file is mapped flat, its size rounded up to whole pages, zeros after its end; a read
//   past that is the loader's page fault;
// - DOS and PE headers (PE32 and PE32+), the section table, and the resource directory found
//   through them, addresses turned into file offsets as the loader does for a data file;
// - the message tables under every name and language in the directory's order, each looked up
//   again as FindResourceEx looks it up (binary searches over the sorted entries, a name upper-
//   cased, "#123" for a number), and bounded by its claimed size and by the mapping.
// Every read is checked against the file, and nothing the file claims sizes an allocation.
namespace pe {

// The bytes of a file: its size, and reads that fail past it.
class ByteSource {
public:
    virtual std::uint64_t Size() const = 0;
    // Reads size bytes at offset; false when they do not all lie inside the file.
    virtual bool Read(std::uint64_t offset, void* out, std::size_t size) const = 0;

protected:
    ~ByteSource() = default;
};

// One message table: its name and language, and where its bytes lie in the mapped file. The bytes
// past the file's end (up to fileBytes + zeroBytes) are the loader's zeros.
struct TableLocation {
    platform::ResourceName name; // as EnumResourceNames gives it
    std::uint16_t language = 0;
    std::uint64_t offset = 0;    // in the file
    std::uint64_t fileBytes = 0; // read from the file
    std::uint64_t zeroBytes = 0; // then zeros
};

// The module's message tables in enumeration order. False with the code of the module's error
// row when it cannot be opened as a module or its tables cannot be listed (the tables found
// before a failure are kept), as the Windows build reports it.
bool FindMessageTables(const ByteSource& file, std::vector<TableLocation>& tables,
                       platform::ErrorCode& error);

} // namespace pe
