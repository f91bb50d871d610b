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
#include <random>
#include <string>
#include <vector>

namespace gstest {

// A fresh folder under the temporary folder, removed with everything in it (read-only too).
class ScratchDir {
public:
    ScratchDir()
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        static unsigned counter = 0;
        do
            m_path = std::string(base) + "gsfiles-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++counter);
        while (!CreateDirectoryA(m_path.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~ScratchDir() { RemoveTree(m_path); }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    static void RemoveTree(const std::string& dir)
    {
        WIN32_FIND_DATAA data;
        ScopedFind find(FindFirstFileA((dir + "\\*").c_str(), &data));
        for (bool more = find.IsValid(); more; more = FindNextFileA(find.Get(), &data) != FALSE) {
            std::string name = data.cFileName, path = dir + "\\" + name;
            if (name == "." || name == "..")
                continue;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveTree(path)
                                                                : void(DeleteFileA(path.c_str()));
        }
        find.Reset();
        RemoveDirectoryA(dir.c_str());
    }
    std::string m_path;
};

// Whole-file transfers; the tests' files stay far below 4 GiB.
inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                written == bytes.size())
        << "cannot write " << path;
}
inline std::string ReadBytes(const std::string& path)  // empty when the file cannot be read
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(file ? GetFileSize(file.Get(), nullptr) : 0, '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), &bytes[0], DWORD(bytes.size()), &read, nullptr))
        read = 0;
    bytes.resize(read);
    return bytes;
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
    MessageBoxCapture() { Current() = this, m_previous = SetGsMessageBoxHandler(Capture); }
    ~MessageBoxCapture() { SetGsMessageBoxHandler(m_previous), Current() = nullptr; }
    std::vector<ShownBox> boxes;
    std::deque<int> answers;

private:
    static MessageBoxCapture*& Current()
    {
        static MessageBoxCapture* current = nullptr;
        return current;
    }
    static int Capture(HWND owner, const char* text, const char* caption, UINT style)
    {
        MessageBoxCapture* self = Current();
        self->boxes.push_back({owner, text, caption, style});
        int answer = self->answers.empty() ? IDOK : self->answers.front();
        if (!self->answers.empty())
            self->answers.pop_front();
        return answer;
    }
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
    {
        Options() = options, Calls() = 0, Reports() = 0;
        m_previous = SetGsCopyFileRoutine(Copy);
    }
    ~FakeCopyRoutine() { SetGsCopyFileRoutine(m_previous); }
    static int& Calls()
    {
        static int calls = 0;
        return calls;
    }
    static int& Reports()
    {
        static int reports = 0;
        return reports;
    }

private:
    static FakeCopyOptions& Options()
    {
        static FakeCopyOptions options;
        return options;
    }
    static BOOL WINAPI Copy(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                            LPVOID data, LPBOOL cancel, DWORD)
    {
        const FakeCopyOptions& o = Options();
        ++Calls();
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
                o.onReport(Reports());
            ++Reports();
            if (o.honourCancel && *cancel)
                SetLastError(ERROR_REQUEST_ABORTED);
            return !(o.honourCancel && *cancel);
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
        Positions().clear();
        onApp() = nullptr;
    }
    ~TestWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    std::string Status() const
    {
        char text[512] = {};
        GetDlgItemTextA(m_hwnd, kStatusId, text, sizeof text);
        return text;
    }
    static std::vector<int>& Positions()
    {
        static std::vector<int> positions;
        return positions;
    }
    using Action = void (*)(WPARAM);
    static Action& onApp()
    {
        static Action action = nullptr;
        return action;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == 0x402 /* PBM_SETPOS */)
            Positions().push_back(int(wParam));
        else if (message == WM_APP && onApp() != nullptr)
            onApp()(wParam);
        else
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return 0;
    }
    HWND m_hwnd;
};

}  // namespace gstest
