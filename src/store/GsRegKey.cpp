#include "store/GsRegKey.h"

#include <cstring>

CGsRegKey::CGsRegKey(HKEY root, const char* subKey)
{
    if (root && subKey)
        Open(root, subKey);
}

CGsRegKey::~CGsRegKey()
{
    m_key.Reset();
}

int CGsRegKey::Open(HKEY root, const char* subKey)
{
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    m_key.Reset(key);
    return 1;
}

int CGsRegKey::Create(HKEY root, const char* subKey)
{
    Close();
    HKEY key = nullptr;
    DWORD disposition = 0;
    char emptyClass[1] = {0};
    if (RegCreateKeyExA(root, subKey, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
        return 0;
    m_key.Reset(key);
    return 1;
}

int CGsRegKey::Close()
{
    if (!m_key)
        return 0;
    m_key.Reset();
    return 1;
}

int CGsRegKey::DeleteValue(const char* name)
{
    if (!m_key)
        return 0;
    return RegDeleteValueA(m_key.Get(), name) == ERROR_SUCCESS ? 1 : 0;
}

int CGsRegKey::DeleteKey(const char* subKey)
{
    if (!m_key)
        return 0;
    return RegDeleteKeyA(m_key.Get(), subKey) == ERROR_SUCCESS ? 1 : 0;
}

int CGsRegKey::Flush(HKEY key)
{
    if (!key)
        key = m_key.Get();
    if (!key)
        return 0;
    return RegFlushKey(key) == ERROR_SUCCESS ? 1 : 0;
}

int CGsRegKey::GetString(const char* name, char* buffer, DWORD size, const char* defaultText)
{
    if (!m_key)
        return 0;
    DWORD type = REG_NONE;
    DWORD count = size;
    LONG rc = RegQueryValueExA(m_key.Get(), name, nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer), &count);
    if (rc == ERROR_SUCCESS && type == REG_SZ)
        return 1;
    if (!defaultText)
        return 0;
    // Bounded, unlike a plain strcpy: a default longer than the buffer is cut, never overrun.
    if (size > 0) {
        size_t n = strnlen(defaultText, size - 1);
        std::memcpy(buffer, defaultText, n);
        buffer[n] = '\0';
    }
    return 1;
}

namespace {
int SetValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size)
{
    if (!key)
        return 0;
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS ? 1 : 0;
}

// Reads a REG_DWORD of exactly 4 bytes; anything else (missing, other type, malformed) is absent.
bool ReadDword(HKEY key, const char* name, DWORD* value)
{
    DWORD type = REG_NONE;
    DWORD read = 0;
    DWORD count = sizeof(read);
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &count);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || count != sizeof(read))
        return false;
    *value = read;
    return true;
}
}  // namespace

DWORD CGsRegKey::GetDword(const char* name, DWORD defaultValue)
{
    if (!m_key)
        return 0;
    DWORD value = 0;
    return ReadDword(m_key.Get(), name, &value) ? value : defaultValue;
}

int CGsRegKey::QueryDword(const char* name, DWORD* value, DWORD defaultValue)
{
    if (!m_key || !value)
        return 0;
    if (!ReadDword(m_key.Get(), name, value))
        *value = defaultValue;
    return 1;
}

int CGsRegKey::SetString(const char* name, const char* text)
{
    return SetValue(m_key.Get(), name, REG_SZ, text, static_cast<DWORD>(std::strlen(text)));
}

int CGsRegKey::SetDword(const char* name, DWORD value)
{
    // REG_DWORD is little-endian by definition, as is every target of this program.
    return SetValue(m_key.Get(), name, REG_DWORD, &value, sizeof(value));
}

int CGsRegKey::GetBinary(const char* name, void* buffer, DWORD* size)
{
    if (!m_key || !size)
        return 0;
    DWORD type = REG_NONE;
    LONG rc = RegQueryValueExA(m_key.Get(), name, nullptr, &type, static_cast<BYTE*>(buffer), size);
    return (rc == ERROR_SUCCESS && type == REG_BINARY) ? 1 : 0;
}

int CGsRegKey::SetBinary(const char* name, const void* data, DWORD size)
{
    return SetValue(m_key.Get(), name, REG_BINARY, data, size);
}

int CGsRegKey::QueryValueInfo(const char* name, DWORD* type, DWORD* size) const
{
    if (!m_key)
        return 0;
    DWORD t = REG_NONE;
    DWORD n = 0;
    if (RegQueryValueExA(m_key.Get(), name, nullptr, &t, nullptr, &n) != ERROR_SUCCESS)
        return 0;
    if (type)
        *type = t;
    if (size)
        *size = n;
    return 1;
}
