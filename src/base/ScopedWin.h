// Small owners for Win32 handles: each closes its handle in the destructor, none is copyable.
#pragma once
#include <windows.h>

template <typename H, typename Traits>
class ScopedWinHandle {
public:
    ScopedWinHandle() = default;
    explicit ScopedWinHandle(H h) : m_h(h) {}
    ~ScopedWinHandle() { Reset(); }
    ScopedWinHandle(const ScopedWinHandle&) = delete;
    ScopedWinHandle& operator=(const ScopedWinHandle&) = delete;
    ScopedWinHandle(ScopedWinHandle&& o) noexcept : m_h(o.Detach()) {}
    ScopedWinHandle& operator=(ScopedWinHandle&& o) noexcept
    {
        if (this != &o)
            Reset(o.Detach());
        return *this;
    }

    H Get() const { return m_h; }
    bool IsValid() const { return Traits::IsValid(m_h); }
    explicit operator bool() const { return IsValid(); }
    // Gives up ownership without closing.
    H Detach()
    {
        H h = m_h;
        m_h = Traits::Invalid();
        return h;
    }
    void Reset(H h = Traits::Invalid())
    {
        if (Traits::IsValid(m_h))
            Traits::Close(m_h);
        m_h = h;
    }

private:
    H m_h = Traits::Invalid();
};

struct KernelHandleTraits {  // CreateMutex, CreateEvent, OpenProcess...: null when absent
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE when absent
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct LibraryTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool IsValid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool IsValid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};

struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static bool IsValid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};

using ScopedHandle = ScopedWinHandle<HANDLE, KernelHandleTraits>;
using ScopedFile = ScopedWinHandle<HANDLE, FileHandleTraits>;
using ScopedFind = ScopedWinHandle<HANDLE, FindHandleTraits>;
using ScopedLibrary = ScopedWinHandle<HMODULE, LibraryTraits>;
using ScopedRegKey = ScopedWinHandle<HKEY, RegKeyTraits>;
using ScopedIcon = ScopedWinHandle<HICON, IconTraits>;

// One reference to a COM interface, released when the owner goes.
template <typename T>
struct ScopedComRef {
    T* p = nullptr;
    ScopedComRef() = default;
    ~ScopedComRef()
    {
        if (p != nullptr)
            p->Release();
    }
    ScopedComRef(const ScopedComRef&) = delete;
    ScopedComRef& operator=(const ScopedComRef&) = delete;
    void** Out() { return reinterpret_cast<void**>(&p); }
};
