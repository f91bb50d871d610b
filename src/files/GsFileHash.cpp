#include "files/GsFileHash.h"

#include "base/ScopedWin.h"

#include <bcrypt.h>

#include <vector>

const char kGsDamagedText[] = "\r\nファイルが壊れています (SHA256SUMS と一致しません)";
const char kGsUnlistedText[] = "\r\nSHA256SUMS にないファイルです";
const char kGsCheckCaption[] = "file check error";

struct CGsFileHash::Platform {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~Platform()
    {
        if (hash != nullptr)
            BCryptDestroyHash(hash);
        if (algorithm != nullptr)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

CGsFileHash::CGsFileHash(Kind kind)
{
    if (kind == kOwn || (kind == kBest && GsSha256::ProcessorHasSha())) {
        m_own = std::make_unique<GsSha256>();
        return;
    }
    m_platform = std::make_unique<Platform>();
    m_failed = BCryptOpenAlgorithmProvider(&m_platform->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0 ||
               BCryptCreateHash(m_platform->algorithm, &m_platform->hash, nullptr, 0, nullptr, 0, 0) < 0;
}

CGsFileHash::~CGsFileHash() = default;

void CGsFileHash::Update(const void* data, size_t size)
{
    if (m_own) {
        m_own->Update(data, size);
        return;
    }
    // CNG takes at most 4 GiB - 1 per call.
    const UCHAR* bytes = static_cast<const UCHAR*>(data);
    while (!m_failed && size > 0) {
        ULONG piece = static_cast<ULONG>(size < 0x40000000u ? size : 0x40000000u);
        m_failed = BCryptHashData(m_platform->hash, const_cast<UCHAR*>(bytes), piece, 0) < 0;
        bytes += piece;
        size -= piece;
    }
}

bool CGsFileHash::Final(GsDigest* digest)
{
    if (m_own) {
        *digest = m_own->Final();
        return true;
    }
    return !m_failed && BCryptFinishHash(m_platform->hash, digest->data(), static_cast<ULONG>(digest->size()), 0) >= 0;
}

bool GsHashFile(const char* path, GsDigest* digest)
{
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    CGsFileHash hash;
    std::vector<char> buffer(1u << 20);
    DWORD read = 0;
    do {
        if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        hash.Update(buffer.data(), read);
    } while (read > 0);
    return hash.Final(digest);
}
