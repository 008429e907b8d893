#include "ui/framework/DialogTemplate.h"

#include <cstring>

namespace ui {

namespace {

// Walks the fields of a template, every read checked against its size.
class Cursor {
public:
    Cursor(const BYTE* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Ok() const { return m_ok; }
    std::size_t Offset() const { return m_at; }

    template <class T> T Read() {
        T value{};
        if (m_ok && m_size - m_at >= sizeof(T)) {
            std::memcpy(&value, m_data + m_at, sizeof(T));
            m_at += sizeof(T);
        } else {
            m_ok = false;
        }
        return value;
    }
    void Skip(std::size_t bytes) {
        if (m_ok && m_size - m_at >= bytes) {
            m_at += bytes;
        } else {
            m_ok = false;
        }
    }
    void AlignToDword() { Skip((4 - m_at % 4) % 4); }
    // A null-terminated UTF-16 string.
    void SkipString() {
        while (m_ok && Read<WORD>() != 0) {
        }
    }
    // None (0x0000), an ordinal (0xFFFF and a WORD), or a string.
    void SkipStringOrOrdinal() {
        const WORD first = Read<WORD>();
        if (first == 0xFFFF) {
            Skip(sizeof(WORD));
        } else if (first != 0) {
            SkipString();
        }
    }

private:
    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_ok = true;
};

} // namespace

bool DialogTemplate::Load(HINSTANCE module, UINT templateId) {
    m_data.clear();
    m_size = 0;
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = resource != nullptr ? ::LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    const DWORD size = resource != nullptr ? ::SizeofResource(module, resource) : 0;
    if (bytes == nullptr || size == 0) {
        return false;
    }
    m_data.assign((size + 3) / 4, 0);
    std::memcpy(m_data.data(), bytes, size);
    m_size = size;
    return true;
}

DWORD* DialogTemplate::ItemStyle(int id) {
    auto* base = reinterpret_cast<BYTE*>(m_data.data());
    Cursor at(base, m_size);
    const WORD version = at.Read<WORD>();
    const bool extended = version == 1 && at.Read<WORD>() == 0xFFFF;
    DWORD style = 0;
    WORD items = 0;
    if (extended) {
        at.Skip(2 * sizeof(DWORD)); // help id, extended style
        style = at.Read<DWORD>();
        items = at.Read<WORD>();
    } else {
        at = Cursor(base, m_size);
        style = at.Read<DWORD>();
        at.Skip(sizeof(DWORD)); // extended style
        items = at.Read<WORD>();
    }
    at.Skip(4 * sizeof(short)); // x, y, cx, cy
    at.SkipStringOrOrdinal();   // menu
    at.SkipStringOrOrdinal();   // window class
    at.SkipString();            // title
    if ((style & DS_SETFONT) != 0) {
        at.Skip(extended ? 2 * sizeof(WORD) + 2 : sizeof(WORD)); // size (weight, italic, charset)
        at.SkipString();                                         // typeface
    }
    for (WORD item = 0; item < items && at.Ok(); ++item) {
        at.AlignToDword();
        if (extended) {
            at.Skip(2 * sizeof(DWORD)); // help id, extended style
        }
        const std::size_t styleAt = at.Offset();
        at.Read<DWORD>();
        if (!extended) {
            at.Skip(sizeof(DWORD)); // extended style
        }
        at.Skip(4 * sizeof(short));
        const int itemId = extended ? static_cast<int>(at.Read<DWORD>()) : at.Read<WORD>();
        if (!at.Ok()) {
            break;
        }
        if (itemId == id) {
            return reinterpret_cast<DWORD*>(base + styleAt); // items start DWORD-aligned
        }
        at.SkipStringOrOrdinal(); // class
        at.SkipStringOrOrdinal(); // title
        at.Skip(at.Read<WORD>()); // creation data
    }
    return nullptr;
}

} // namespace ui
