// Helpers for the file-transfer tests: a scratch folder, file contents, captured message
// boxes, a fake copy routine and a window that records progress positions.
#pragma once
#include "base/ScopedWin.h"
#include "files/GsCopyList.h"
#include "files/GsCopyRoutine.h"
#include "ui/GsMessageBox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace gstest {

// A fresh folder under the temporary folder, removed with everything in it (read-only too).
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);  // empty when the file cannot be read
bool Exists(const std::string& path);
std::string RandomBytes(size_t size, uint32_t seed);
// The temporary file the engine writes beside a destination.
std::string TempOf(const std::string& destination);

// Message boxes shown through GsMessageBox while an instance lives; answers come from a
// queue (IDOK once it is empty). Hook runs before the answer is taken.
struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    std::vector<ShownBox> boxes;
    std::deque<int> answers;
    void (*hook)() = nullptr;

private:
    GsMessageBoxFn m_previous;
};

// Fake of CopyFileExA that behaves as the Windows routine does where Wine's does not: it
// reports progress per chunk (first a report of 0 bytes, as the stream starts) and honours
// the cancel flag after every report, leaving the partial target behind.
struct FakeCopyCall {
    std::string source;
    std::string destination;
    DWORD flags;
    std::string status;  // the owner's status line when the copy began
};
struct FakeCopyOptions {
    int64_t chunk = 1 << 20;
    bool writeData = true;          // false: report the source's length without copying it
    bool reportStart = true;        // the initial report of 0 bytes
    bool honourCancel = true;       // false: as Wine, finish whatever the flag says
    int64_t failAfter = -1;         // fail with ERROR_DISK_FULL once this many bytes are done
    HWND statusOwner = nullptr;     // where to read the status line from
    int statusId = 0;
    void (*onReport)(int report) = nullptr;  // after each report, numbered from 0 per run
};
class FakeCopyRoutine {
public:
    explicit FakeCopyRoutine(const FakeCopyOptions& options = FakeCopyOptions());
    ~FakeCopyRoutine();
    static std::vector<FakeCopyCall>& Calls();
    static int Reports();

private:
    GsCopyFileFn m_previous;
};

// A window that records the positions sent to it as a progress bar, and an owner window
// with a status control whose handler runs a test's action for WM_APP.
class ProgressSink {
public:
    ProgressSink();
    ~ProgressSink();
    HWND Handle() const { return m_hwnd; }
    static std::vector<int>& Positions();

private:
    HWND m_hwnd;
};
class OwnerWindow {
public:
    static constexpr int kStatusId = 1003;
    OwnerWindow();
    ~OwnerWindow();
    HWND Handle() const { return m_hwnd; }
    std::string Status() const;
    void SetStatus(const char* text) const;
    // Runs for each WM_APP the window receives; wParam is passed on.
    static void (*onApp)(WPARAM);

private:
    HWND m_hwnd;
};

}  // namespace gstest
