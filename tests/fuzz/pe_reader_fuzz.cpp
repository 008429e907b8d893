// libFuzzer target for the native build's reader of Windows modules, built natively with the
// sanitizers: whole files as input.
//
// On every input: no read outside the file (the address sanitizer sees the input's exact
// extent), every table lies inside the file and at most a page of the loader's zeros past it,
// the same tables on a second reading, and every table decodes.

#include "harvest/MessageTable.h"
#include "harvest/pe/PeReader.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Bytes : public pe::ByteSource {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint64_t Size() const override { return m_size; }
    bool Read(std::uint64_t offset, void* out, std::size_t size) const override {
        if (offset > m_size || m_size - offset < size) {
            return false;
        }
        std::memcpy(out, m_data + offset, size);
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

class Count : public MessageTable::Sink {
public:
    void OnMessage(std::uint32_t, const MessageTable::Text&) override { ++rows; }
    std::size_t rows = 0;
};

bool SameTables(const std::vector<pe::TableLocation>& a, const std::vector<pe::TableLocation>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].language != b[i].language || a[i].offset != b[i].offset ||
            a[i].fileBytes != b[i].fileBytes || a[i].zeroBytes != b[i].zeroBytes) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes file(data, size);
    std::vector<pe::TableLocation> first, second;
    platform::ErrorCode error1 = 0, error2 = 0;
    const bool ok1 = pe::FindMessageTables(file, first, error1);
    const bool ok2 = pe::FindMessageTables(file, second, error2);
    if (ok1 != ok2 || error1 != error2 || !SameTables(first, second)) {
        std::abort();
    }
    std::vector<std::uint8_t> bytes;
    for (const pe::TableLocation& table : first) {
        // The file's bytes, then zeros only past its end, and never more than the last page.
        const bool inFile = table.fileBytes == 0 ||
                            (table.offset <= size && table.fileBytes <= size - table.offset);
        const bool zerosAtTheEnd = table.zeroBytes == 0 || table.offset + table.fileBytes >= size;
        if (!inFile || !zerosAtTheEnd || table.zeroBytes > 4096) {
            std::abort();
        }
        if (table.fileBytes > 0) {
            bytes.assign(data + table.offset, data + table.offset + table.fileBytes);
        } else {
            bytes.clear();
        }
        bytes.resize(bytes.size() + table.zeroBytes, 0);
        Count count;
        MessageTable::Decode(bytes.data(), bytes.size(), count);
    }
    return 0;
}
