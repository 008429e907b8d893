#pragma once

#include <windows.h>

#include <utility>

namespace ui {

// One owner per handle: the handle is freed once, by Free, when its owner goes or is given
// another. Reads as the handle itself wherever one is wanted.
template <class Handle, auto Free> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }

    operator Handle() const { return m_handle; }
    Handle Get() const { return m_handle; }
    // Frees the handle held, if any, and holds handle instead.
    void Reset(Handle handle = nullptr) {
        if (m_handle != nullptr) {
            Free(m_handle);
        }
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

inline void DeleteBitmap(HBITMAP bitmap) {
    ::DeleteObject(bitmap);
}

using MemoryDC = UniqueHandle<HDC, &::DeleteDC>;
using Bitmap = UniqueHandle<HBITMAP, &DeleteBitmap>;

// A COM interface pointer that releases what it holds.
template <class Interface> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* operator->() const { return m_pointer; }
    Interface* Get() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    // Where a function that creates the object puts it; anything held before is released.
    Interface** Put() {
        Reset();
        return &m_pointer;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (m_pointer != nullptr) {
            m_pointer->Release();
            m_pointer = nullptr;
        }
    }

private:
    Interface* m_pointer = nullptr;
};

} // namespace ui
