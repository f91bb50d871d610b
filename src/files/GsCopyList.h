// The list of files one copy run transfers, in order, with the state the run needs: byte
// totals for the progress bar, the windows that show progress, the cancel flag handed to the
// platform's copy routine and the stop prompt.
#pragma once
#include "base/GsSha256.h"
#include "files/GsFileName.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct CopyJob {
    CGsFileName m_source;
    CGsFileName m_destination;
    int64_t m_size = 0;  // set by MeasureAll: the source's length, 1 for an empty source
    // Checked jobs are copied by the engine's own chunked routine while a thread hashes the new
    // file as it is written; the copy replaces the destination only when it matches m_digest.
    enum Check { kUnchecked, kListed, kUnlisted } m_check = kUnchecked;
    GsDigest m_digest{};
};

class CGsCopyList {
public:
    CGsCopyList() = default;
    CGsCopyList(const CGsCopyList&) = delete;
    CGsCopyList& operator=(const CGsCopyList&) = delete;
    virtual ~CGsCopyList() = default;

    // Drops every job; totals, flags, windows and prompt text keep their values.
    void Clear();
    // Appends a job with copies of both path objects, as they stand, and size 0. No checks:
    // a missing source or destination folder surfaces when the run reaches the job.
    void Add(const CGsFileName& source, const CGsFileName& destination);
    // The same for a job checked against `digest`; null (the medium's list lacks the file)
    // fails the job when the run reaches it, before anything of it is written.
    void AddChecked(const CGsFileName& source, const CGsFileName& destination, const GsDigest* digest);

    // Copies every job in order. Each destination is written through a temporary file in its
    // own folder and replaces the old file in one atomic rename only once the copy is complete
    // and flushed, so a failed or stopped copy leaves the old file whole. Before anything is
    // copied, each destination volume must be able to hold every new file beside its old one
    // as the run goes; otherwise the player is told and nothing changes. Returns 1 when all
    // jobs were copied; 0 when a checked source does not match its digest, a source cannot be opened or is too small (nothing copied),
    // the room is lacking, a copy fails (the player is told) or the player stops the run.
    // owner and progressBar may be null.
    int CopyAll(HWND owner, HWND progressBar, int statusId, int range);
    // Opens every source and measures it (64-bit); resets the run's counters and flags first.
    // Tells the owner (when not null) which source cannot be opened or is smaller than the
    // minimum source size. Returns 1 when all were measured and large enough.
    int MeasureAll(HWND owner);
    // Sources shorter than this are refused like missing ones (0, the default: any size).
    void SetMinimumSourceSize(int64_t bytes) { m_minimumSourceSize = bytes; }
    // Asks the running copy to show the stop prompt at its next progress report. Null text or
    // caption select the defaults. May be called re-entrantly from the message pump.
    void RequestAbort(const char* text, const char* caption);
    // The platform's progress routine; data is the list.
    static DWORD CALLBACK OnCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalTransferred,
                                         LARGE_INTEGER streamSize, LARGE_INTEGER streamTransferred,
                                         DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                                         HANDLE destinationFile, LPVOID data);

    size_t GetJobCount() const { return m_jobs.size(); }
    const CopyJob& GetJob(size_t index) const { return m_jobs[index]; }
    int64_t GetTotalBytes() const { return m_totalBytes; }
    int64_t GetCopiedBytes() const { return m_copiedBytes; }
    BOOL GetCancelFlag() const { return m_cancel; }
    int GetAbortRequest() const { return m_abortRequest; }
    const std::string& GetPromptText() const { return m_promptText; }
    const std::string& GetPromptCaption() const { return m_promptCaption; }

    // Name of the temporary file in a destination's folder while it is being copied. No
    // longer than the update's file names, so its path fits wherever the destination's does;
    // fixed, so the next run finds and removes what an interrupted one left.
    static constexpr const char* kTempName = "~gs.tmp";
    // The temporary file's path for a destination: kTempName in the destination's folder.
    static std::string TemporaryPath(const char* destination);

private:
    bool HasRoom() const;
    int CopyJobAtomically(const CopyJob& job);
    void ShowProgress(int64_t bytes) const;

    std::vector<CopyJob> m_jobs;
    int64_t m_totalBytes = 0;
    int64_t m_copiedBytes = 0;
    int64_t m_minimumSourceSize = 0;
    BOOL m_cancel = FALSE;
    int m_abortRequest = 0;
    HWND m_owner = nullptr;
    HWND m_progressBar = nullptr;
    int m_statusId = 0;
    int m_range = 0;
    std::string m_promptText;
    std::string m_promptCaption;
};

// Empties the thread's message queue, offering each message to dialog first (when not null).
void PumpWaitingMessages(HWND dialog);
