// Helpers for the file-transfer tests: a scratch folder, file contents, captured message
// boxes, a fake copy routine and a window that records progress positions and runs actions.
#pragma once
#include "base/ScopedWin.h"
#include "files/GsCopyList.h"
#include "files/GsCopyRoutine.h"
#include "ui/GsMessageBox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace gstest {

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir()
    {
        static unsigned counter = 0;
        auto path = std::filesystem::temp_directory_path() /
                    ("gsfiles-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(path);
        std::filesystem::create_directory(path);
        m_path = path.string();
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size())) << "cannot write " << path;
}
inline std::string ReadBytes(const std::string& path)  // empty when the file cannot be read
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}
inline bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
inline std::string RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(rng());
    return bytes;
}
// The temporary file the engine writes beside a destination.
inline std::string TempOf(const std::string& destination)
{
    return destination + CGsCopyList::kTempSuffix;
}

// Message boxes shown through GsMessageBox while an instance lives; answers come from a
// queue (IDOK once it is empty).
struct ShownBox {
    HWND owner;
    std::string text, caption;
    UINT style;
};
class MessageBoxCapture {
public:
    MessageBoxCapture() : m_previous(SetGsMessageBoxHandler(Capture)) { current = this; }
    ~MessageBoxCapture() { SetGsMessageBoxHandler(m_previous); }
    std::vector<ShownBox> boxes;
    std::deque<int> answers;

private:
    static int Capture(HWND owner, const char* text, const char* caption, UINT style)
    {
        current->boxes.push_back({owner, text, caption, style});
        int answer = current->answers.empty() ? IDOK : current->answers.front();
        if (!current->answers.empty())
            current->answers.pop_front();
        return answer;
    }
    static inline MessageBoxCapture* current = nullptr;
    GsMessageBoxFn m_previous;
};

// Fake of CopyFileExA that behaves as the Windows routine does where Wine's does not: it
// reports progress per chunk (first a report of 0 bytes, as the stream starts) and honours
// the cancel flag after every report, leaving the partial target behind.
struct FakeCopyOptions {
    int64_t chunk = 1 << 20;
    bool writeData = true;      // false: report the source's length without copying it
    bool reportStart = true;    // the initial report of 0 bytes (Wine's routine makes none)
    bool honourCancel = true;   // false: as Wine, finish whatever the flag says
    int64_t failAfter = -1;     // fail with ERROR_DISK_FULL once this many bytes are done
    void (*onReport)(int report) = nullptr;  // after each report, numbered from 0 per fake
};
class FakeCopyRoutine {
public:
    explicit FakeCopyRoutine(const FakeCopyOptions& options = FakeCopyOptions())
        : m_previous(SetGsCopyFileRoutine(Copy))
    {
        o = options, calls = 0, reports = 0;
    }
    ~FakeCopyRoutine() { SetGsCopyFileRoutine(m_previous); }
    static inline int calls = 0, reports = 0;

private:
    static inline FakeCopyOptions o;
    static BOOL WINAPI Copy(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                            LPVOID data, LPBOOL cancel, DWORD)
    {
        ++calls;
        ScopedFile in(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ScopedFile out(CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER size;
        if (!in || !out || !GetFileSizeEx(in.Get(), &size))
            return FALSE;
        auto report = [&](int64_t done) {
            LARGE_INTEGER transferred;
            transferred.QuadPart = done;
            progress(size, transferred, size, transferred, 1, 0, in.Get(), out.Get(), data);
            if (o.onReport != nullptr)
                o.onReport(reports);
            ++reports;
            bool goOn = !(o.honourCancel && *cancel);
            if (!goOn)
                SetLastError(ERROR_REQUEST_ABORTED);
            return goOn;
        };
        if (o.reportStart && !report(0))
            return FALSE;
        std::vector<char> buffer;
        for (int64_t done = 0; done < size.QuadPart;) {
            DWORD part = DWORD(std::min<int64_t>(o.chunk, size.QuadPart - done)), moved = 0;
            buffer.resize(o.writeData ? part : 0);
            if (o.writeData && (!ReadFile(in.Get(), buffer.data(), part, &moved, nullptr) ||
                                !WriteFile(out.Get(), buffer.data(), moved, &moved, nullptr) || moved != part))
                return FALSE;
            done += part;
            if (o.failAfter >= 0 && done >= o.failAfter) {
                SetLastError(ERROR_DISK_FULL);
                return FALSE;
            }
            if (!report(done))
                return FALSE;
        }
        return TRUE;
    }
    GsCopyFileFn m_previous;
};

// A window with a status control (kStatusId) that records the positions sent to it as a
// progress bar and runs onApp for each WM_APP it receives.
class TestWindow {
public:
    static constexpr int kStatusId = 1003;
    TestWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "GsTestWindow";
        RegisterClassA(&wc);  // a second registration fails harmlessly
        m_hwnd = CreateWindowExA(0, "GsTestWindow", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 200, 20, m_hwnd,
                        reinterpret_cast<HMENU>(INT_PTR(kStatusId)), wc.hInstance, nullptr);
        positions.clear();
        onApp = nullptr;
    }
    ~TestWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    std::string Status() const
    {
        char text[512] = {};
        GetDlgItemTextA(m_hwnd, kStatusId, text, sizeof text);
        return text;
    }
    static inline std::vector<int> positions;
    static inline void (*onApp)(WPARAM) = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == 0x402 /* PBM_SETPOS */)
            positions.push_back(int(wParam));
        else if (message == WM_APP && onApp != nullptr)
            onApp(wParam);
        else
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return 0;
    }
    HWND m_hwnd;
};

}  // namespace gstest
