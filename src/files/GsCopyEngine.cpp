// The copy run of CGsCopyList: measuring, copying with progress, the stop prompt, the pump.
#include "base/ScopedWin.h"
#include "base/StrFormat.h"
#include "files/GsCopyCheck.h"
#include "files/GsCopyList.h"
#include "files/GsCopyRoutine.h"
#include "files/GsDiskSpace.h"
#include "files/GsFileHash.h"
#include "base/GsPath.h"
#include "pack/GsFile.h"
#include "ui/GsMessageBox.h"
#include "base/GsText.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

GsCommitCalls g_commitCalls = {FlushFileBuffers, MoveFileExA};

namespace {
const char kDefaultPromptText[] = "中止しますか？";
const char kDefaultPromptCaption[] = "ファイルコピー";

bool ClearReadOnly(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return true;
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesA(path, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

// Removes our temporary file, whatever state a failed, stopped or killed copy left it in.
void DiscardFile(const char* path)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return;
    ClearReadOnly(path);
    DeleteFileA(path);
}

// -1 when the file cannot be queried.
int64_t FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

int64_t RoundUp(int64_t bytes, int64_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

// Shared for reading: a check may still be reading the file back.
bool FlushToDisk(const char* path)
{
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && g_commitCalls.flushFileBuffers(file.Get()) != FALSE;
}

// Makes the complete temporary file durable. The copy carries the source's attributes; the
// installed file must be writable.
bool FlushTemporary(const char* temporary)
{
    return ClearReadOnly(temporary) && FlushToDisk(temporary);
}

// Puts the flushed temporary file in the destination's place in one rename.
// Wine ends MoveFileExA in a POSIX rename(), atomic on one volume; its ReplaceFileA moves the
// old file away first and is not. A read-only destination would refuse the replace.
bool MoveIntoPlace(const char* temporary, const char* destination)
{
    DWORD oldAttributes = GetFileAttributesA(destination);
    bool wasReadOnly = oldAttributes != INVALID_FILE_ATTRIBUTES &&
                       (oldAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (wasReadOnly)
        ClearReadOnly(destination);
    if (g_commitCalls.moveFileEx(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (wasReadOnly)
        SetFileAttributesA(destination, oldAttributes);
    return false;
}
}  // namespace

void PumpWaitingMessages(HWND dialog)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog != nullptr && IsDialogMessageW(dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int CGsCopyList::MeasureAll(HWND owner)
{
    m_totalBytes = 0;
    m_copiedBytes = 0;
    m_cancel = FALSE;
    m_abortRequest = 0;
    for (CopyJob& job : m_jobs) {
        CGsFile file;
        // The file object proves the source readable; its 32-bit length cannot size archives
        // of 2 GiB or more, so the length comes from the platform's 64-bit query.
        int64_t size = -1;
        if (file.Open(job.m_source.GetPath(), GSFILE_READ | GSFILE_BINARY))
            size = FileSize(job.m_source.GetPath());
        if (size < 0 || size < m_minimumSourceSize) {
            if (owner != nullptr)
                GsMessageBox(owner, GsPathText(job.m_source.GetName()), "file open error", MB_OK | MB_ICONERROR);
            return 0;
        }
        // Every job weighs at least one byte, so a non-empty list never totals 0.
        job.m_size = size != 0 ? size : 1;
        m_totalBytes += job.m_size;
    }
    return 1;
}

int CGsCopyList::CopyAll(HWND owner, HWND progressBar, int statusId, int range)
{
    if (!MeasureAll(owner))
        return 0;
    // Leftovers of an interrupted run are ours and would only take room.
    for (const CopyJob& job : m_jobs)
        DiscardFile(TemporaryPath(job.m_destination.GetPath()).c_str());
    if (!HasRoom()) {
        GsMessageBox(owner, "空き容量が不足しています", "Setup error", MB_OK | MB_ICONWARNING);
        return 0;
    }
    m_owner = owner;
    m_progressBar = progressBar;
    m_statusId = statusId;
    m_range = range;
    for (const CopyJob& job : m_jobs) {
        if (owner != nullptr) {
            const std::wstring status = GsPathText(job.m_source.GetName()) + GsText(" をコピーしています...");
            SetDlgItemTextW(owner, statusId, status.c_str());
        }
        // The copy routine's reports pump during a file; these pump between files, and are
        // all there is for a copy routine that reports nothing.
        PumpWaitingMessages(owner);
        if (!CopyJobAtomically(job))
            return 0;
        m_copiedBytes += job.m_size;
        ShowProgress(m_copiedBytes);
        PumpWaitingMessages(owner);
    }
    return 1;
}

std::string CGsCopyList::TemporaryPath(const char* destination)
{
    const char* separator = GsFindLastOf(destination, "\\/:");
    size_t folderLength = separator != nullptr ? static_cast<size_t>(separator - destination) + 1 : 0;
    return std::string(destination, folderLength) + kTempName;
}

// The replace writes each new file while its old one still exists and frees the old one's
// space only at the rename, so a volume may lack room half-way through a run although it
// could hold the finished result. Sizes are counted in whole clusters. A volume that cannot
// be queried is left to the copy itself.
bool CGsCopyList::HasRoom() const
{
    struct Volume {
        std::string root;
        int64_t free;
        int64_t cluster;
    };
    std::vector<Volume> volumes;
    for (const CopyJob& job : m_jobs) {
        const char* destination = job.m_destination.GetPath();
        std::string folder = TemporaryPath(destination);
        folder.resize(folder.size() - std::strlen(kTempName));
        char root[MAX_PATH];
        if (!GetVolumePathNameA(folder.empty() ? "." : folder.c_str(), root, MAX_PATH))
            continue;
        auto volume = std::find_if(volumes.begin(), volumes.end(),
                                   [&](const Volume& v) { return lstrcmpiA(v.root.c_str(), root) == 0; });
        if (volume == volumes.end()) {
            GsDiskSpace space;
            if (!GsQueryDiskSpace(root, GetDiskFreeSpaceExA, GetDiskFreeSpaceA, &space))
                continue;
            volume = volumes.insert(volumes.end(), Volume{root, static_cast<int64_t>(space.available),
                                                          static_cast<int64_t>(space.cluster)});
        }
        int64_t needed = RoundUp(job.m_size, volume->cluster);
        if (needed > volume->free)
            return false;
        int64_t old = FileSize(destination);
        volume->free += (old > 0 ? RoundUp(old, volume->cluster) : 0) - needed;
    }
    return true;
}

// Copies one job into the temporary file beside the destination and renames that over the
// destination. Until the rename the old destination stays complete; after a failure or a stop
// the temporary file is removed. COPY_FILE_RESTARTABLE is not used: a partial temporary file
// is never resumed (its origin is unknown after a killed run), and on Windows that mode
// flushes the target again and again during the copy, where one flush before the rename is
// all the replace needs.
int CGsCopyList::CopyJobAtomically(const CopyJob& job)
{
    const char* source = job.m_source.GetPath();
    const char* destination = job.m_destination.GetPath();
    std::string temporary = TemporaryPath(destination);
    // A leftover of an interrupted earlier run is overwritten, never continued.
    DiscardFile(temporary.c_str());

    if (job.m_check == CopyJob::kUnlisted) {
        GsMessageBox(m_owner, GsPathText(source) + GsText(kGsUnlistedText), kGsCheckCaption, MB_OK | MB_ICONERROR);
        return 0;
    }
    bool copied, damaged = false;
    if (job.m_check == CopyJob::kListed) {
        CGsCopyCheck check;
        copied = GsChunkedCopyFileTo(source, temporary.c_str(), OnCopyProgress, this, &m_cancel, 0, &check) &&
                 m_cancel == FALSE && FlushTemporary(temporary.c_str());
        // The flush above ran while the check caught up with the copy.
        GsDigest digest;
        if (copied)
            copied = check.Final(&digest);
        damaged = copied && digest != job.m_digest;
    } else {
        copied = GsCopyFileEx(source, temporary.c_str(), OnCopyProgress, this, &m_cancel, 0) &&
                 m_cancel == FALSE && FlushTemporary(temporary.c_str());
    }
    // The player's Yes may come at the last report of a copy that then completes (a routine
    // need not look at the flag again): the stop still wins and the old file stays.
    bool stopped = m_cancel != FALSE;
    if (copied && !damaged && !stopped && MoveIntoPlace(temporary.c_str(), destination))
        return 1;
    DiscardFile(temporary.c_str());
    if (stopped)
        return 0;
    if (damaged) {
        GsMessageBox(m_owner, GsPathText(source) + GsText(kGsDamagedText), kGsCheckCaption, MB_OK | MB_ICONERROR);
        return 0;
    }
    const std::wstring text = GsPathText(source) + GsText("\r\n↓\r\n") + GsPathText(destination) +
                              GsText("\r\nファイルをコピーできません");
    GsMessageBox(m_owner, text, "copy file error", MB_OK | MB_ICONERROR);
    return 0;
}

void CGsCopyList::ShowProgress(int64_t bytes) const
{
    if (m_progressBar == nullptr || m_totalBytes <= 0)
        return;
    int64_t position = static_cast<int64_t>(m_range) * bytes / m_totalBytes;
    SendMessageA(m_progressBar, PBM_SETPOS, static_cast<WPARAM>(static_cast<int>(position)), 0);
}

DWORD CALLBACK CGsCopyList::OnCopyProgress(LARGE_INTEGER, LARGE_INTEGER totalTransferred,
                                           LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                                           HANDLE, LPVOID data)
{
    CGsCopyList* list = static_cast<CGsCopyList*>(data);
    // The list's copied bytes do not include the current file yet.
    list->ShowProgress(list->m_copiedBytes + totalTransferred.QuadPart);
    PumpWaitingMessages(list->m_owner);
    if (list->m_abortRequest == 1) {
        list->m_abortRequest = 0;
        int answer = GsMessageBox(list->m_owner, list->m_promptText.c_str(),
                                  list->m_promptCaption.c_str(),
                                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer == IDYES)
            list->m_cancel = TRUE;
    }
    return PROGRESS_CONTINUE;
}

void CGsCopyList::RequestAbort(const char* text, const char* caption)
{
    m_abortRequest = 1;
    m_promptText = text != nullptr ? text : kDefaultPromptText;
    m_promptCaption = caption != nullptr ? caption : kDefaultPromptCaption;
}
