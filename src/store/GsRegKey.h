// CGsRegKey: owner of at most one open registry key, with typed reads and writes of its values.
//
// Every operation answers 1 for success and 0 for failure (or the value read); the registry's
// error code is dropped and nothing is thrown or shown. With no key open nothing is called.
// Only REG_SZ, REG_DWORD and REG_BINARY are understood: a value of any other type (also
// REG_EXPAND_SZ) counts as absent. Strings are code-page-932 bytes through the "A" API.
#pragma once
#include <windows.h>

#include "base/GsInterface.h"
#include "base/ScopedWin.h"

class CGsRegKey : public IGsInterface {
public:
    // Starts with no key; this is also what the system-services factory hands out.
    CGsRegKey() = default;
    // Opens the existing subkey when both are given. Failure is not reported: check IsOpen.
    CGsRegKey(HKEY root, const char* subKey);
    ~CGsRegKey() override;
    CGsRegKey(const CGsRegKey&) = delete;
    CGsRegKey& operator=(const CGsRegKey&) = delete;

    // Closes any open key first, then opens an existing key with KEY_ALL_ACCESS; never creates.
    virtual int Open(HKEY root, const char* subKey);
    // Closes any open key first, then creates (or opens) the key and every missing parent.
    virtual int Create(HKEY root, const char* subKey);
    // 1 when a key was open and is now closed; 0 when none was open.
    virtual int Close();
    virtual int DeleteValue(const char* name);
    // RegDeleteKeyA: a key that has subkeys of its own is not deleted (0).
    virtual int DeleteKey(const char* subKey);
    // Flushes `key`, or the own key when `key` is null (0 when none is open).
    virtual int Flush(HKEY key);
    // Reads a REG_SZ value into `buffer`, at most `size` bytes. Stored strings need not carry
    // a terminator, and a text of exactly `size` bytes fills the buffer with none: callers
    // pass zero-filled buffers and check the last byte (or use QueryValueInfo).
    // On failure or another type: copies `defaultText` (bounded by `size`) and returns 1, or
    // returns 0 without one. No key: 0, buffer untouched, default not applied.
    virtual int GetString(const char* name, char* buffer, DWORD size, const char* defaultText);
    // Writes REG_SZ with the text's length, not counting the terminator.
    virtual int SetString(const char* name, const char* text);
    // The stored REG_DWORD, else `defaultValue`. No key: 0, not the default.
    virtual DWORD GetDword(const char* name, DWORD defaultValue);
    // Stores the REG_DWORD, or `defaultValue` when missing or of another type, and returns 1.
    // No key: 0 and `value` untouched.
    virtual int QueryDword(const char* name, DWORD* value, DWORD defaultValue);
    virtual int SetDword(const char* name, DWORD value);
    // `size`: the buffer's capacity on entry, the registry's byte count on return.
    // 1 only for a successful read of a REG_BINARY value.
    virtual int GetBinary(const char* name, void* buffer, DWORD* size);
    virtual int SetBinary(const char* name, const void* data, DWORD size);

    // Type and stored size in bytes of a value, without reading it: 1 if it exists, else 0
    // (outputs untouched). Lets callers tell a string too long for their buffer from a missing
    // one, which GetString alone cannot.
    int QueryValueInfo(const char* name, DWORD* type, DWORD* size) const;
    bool IsOpen() const { return m_key.IsValid(); }
    // The open key (still owned by this object), or null.
    HKEY Handle() const { return m_key.Get(); }

private:
    ScopedRegKey m_key;
};
