// libFuzzer target for the message-table decoder, built natively with the sanitizers.
//
// On every input: no read outside the data (the address sanitizer sees the input's exact extent),
// every text lies inside the data, no more rows than the table's bound and its own reservation,
// and the same rows on a second decoding.

#include "harvest/MessageTable.h"

#include <cstdlib>
#include <tuple>
#include <vector>

namespace {

using Row = std::tuple<std::uint32_t, MessageTable::Encoding, std::size_t, std::size_t>;

class Record : public MessageTable::Sink {
public:
    Record(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    void OnMessage(std::uint32_t id, const MessageTable::Text& text) override {
        const bool inside = text.bytes >= m_data && text.size <= m_size &&
                            static_cast<std::size_t>(text.bytes - m_data) <= m_size - text.size;
        const bool whole = text.encoding != MessageTable::Encoding::Utf16 || text.size % 2 == 0;
        if (!inside || !whole) {
            std::abort();
        }
        rows.emplace_back(id, text.encoding, static_cast<std::size_t>(text.bytes - m_data),
                          text.size);
    }

    std::vector<Row> rows;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MessageTable::Announcement announcement = MessageTable::Announce(data, size);
    Record first(data, size), second(data, size);
    const bool complete = MessageTable::Decode(data, size, first);
    if (MessageTable::Decode(data, size, second) != complete || first.rows != second.rows) {
        std::abort();
    }
    if (first.rows.size() > MessageTable::RowLimit(size) ||
        first.rows.size() > announcement.maxRows) {
        std::abort();
    }
    return 0;
}
