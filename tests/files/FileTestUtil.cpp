#include "FileTestUtil.h"

#include <algorithm>

namespace gstest {

namespace {
void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA data;
    ScopedFind find(FindFirstFileA((dir + "\\*").c_str(), &data));
    if (find) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find.Get(), &data));
    }
    find.Reset();
    RemoveDirectoryA(dir.c_str());
}
}  // namespace

ScratchDir::ScratchDir()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        std::string candidate = std::string(base) + "gsfiles-" + std::to_string(GetCurrentProcessId()) +
                                "-" + std::to_string(++counter);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            m_path = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a scratch folder under " << base;
            return;
        }
    }
}

ScratchDir::~ScratchDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot create " << path;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), bytes.data() + done, part, &written, nullptr));
        done += written;
    }
}

std::string ReadBytes(const std::string& path)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::string();
    LARGE_INTEGER size;
    GetFileSizeEx(file.Get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        DWORD read = 0;
        if (!ReadFile(file.Get(), &bytes[done], part, &read, nullptr) || read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t v = rng();
        bytes[i] = static_cast<char>(v);
        bytes[i + 1] = static_cast<char>(v >> 8);
        bytes[i + 2] = static_cast<char>(v >> 16);
        bytes[i + 3] = static_cast<char>(v >> 24);
    }
    for (size_t i = size & ~size_t(3); i < size; ++i)
        bytes[i] = static_cast<char>(rng());
    return bytes;
}

std::string TempOf(const std::string& destination)
{
    return destination + CGsCopyList::kTempSuffix;
}

// ---- message boxes

namespace {
MessageBoxCapture* g_capture = nullptr;

int CaptureBox(HWND owner, const char* text, const char* caption, UINT style)
{
    g_capture->boxes.push_back({owner, text, caption, style});
    if (g_capture->hook != nullptr)
        g_capture->hook();
    if (g_capture->answers.empty())
        return IDOK;
    int answer = g_capture->answers.front();
    g_capture->answers.pop_front();
    return answer;
}
}  // namespace

MessageBoxCapture::MessageBoxCapture()
{
    g_capture = this;
    m_previous = SetGsMessageBoxHandler(CaptureBox);
}

MessageBoxCapture::~MessageBoxCapture()
{
    SetGsMessageBoxHandler(m_previous);
    g_capture = nullptr;
}

// ---- fake copy routine

namespace {
FakeCopyOptions g_fake;
std::vector<FakeCopyCall> g_fakeCalls;
int g_fakeReports = 0;

BOOL WINAPI FakeCopyFileEx(LPCSTR source, LPCSTR destination, LPPROGRESS_ROUTINE progress,
                           LPVOID data, LPBOOL cancel, DWORD flags)
{
    FakeCopyCall call{source, destination, flags, std::string()};
    if (g_fake.statusOwner != nullptr) {
        char status[512] = {};
        GetDlgItemTextA(g_fake.statusOwner, g_fake.statusId, status, sizeof status);
        call.status = status;
    }
    g_fakeCalls.push_back(call);

    ScopedFile in(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in)
        return FALSE;
    LARGE_INTEGER size;
    GetFileSizeEx(in.Get(), &size);
    ScopedFile out(CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return FALSE;

    auto report = [&](int64_t done, DWORD reason) {
        LARGE_INTEGER transferred;
        transferred.QuadPart = done;
        if (progress != nullptr)
            progress(size, transferred, size, transferred, 1, reason, in.Get(), out.Get(), data);
        if (g_fake.onReport != nullptr)
            g_fake.onReport(g_fakeReports);
        ++g_fakeReports;
        return !(g_fake.honourCancel && cancel != nullptr && *cancel);
    };
    if (g_fake.reportStart && !report(0, CALLBACK_STREAM_SWITCH)) {
        SetLastError(ERROR_REQUEST_ABORTED);
        return FALSE;
    }
    std::vector<char> buffer;
    int64_t done = 0;
    while (done < size.QuadPart) {
        int64_t part = std::min<int64_t>(g_fake.chunk, size.QuadPart - done);
        if (g_fake.writeData) {
            buffer.resize(static_cast<size_t>(part));
            DWORD read = 0, written = 0;
            if (!ReadFile(in.Get(), buffer.data(), static_cast<DWORD>(part), &read, nullptr) ||
                read != part ||
                !WriteFile(out.Get(), buffer.data(), read, &written, nullptr) || written != read)
                return FALSE;
        }
        done += part;
        if (g_fake.failAfter >= 0 && done >= g_fake.failAfter) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        if (!report(done, CALLBACK_CHUNK_FINISHED)) {
            SetLastError(ERROR_REQUEST_ABORTED);
            return FALSE;
        }
    }
    return TRUE;
}
}  // namespace

FakeCopyRoutine::FakeCopyRoutine(const FakeCopyOptions& options)
{
    g_fake = options;
    g_fakeCalls.clear();
    g_fakeReports = 0;
    m_previous = SetGsCopyFileRoutine(FakeCopyFileEx);
}

FakeCopyRoutine::~FakeCopyRoutine()
{
    SetGsCopyFileRoutine(m_previous);
}

std::vector<FakeCopyCall>& FakeCopyRoutine::Calls()
{
    return g_fakeCalls;
}

int FakeCopyRoutine::Reports()
{
    return g_fakeReports;
}

// ---- windows

namespace {
std::vector<int> g_positions;

LRESULT CALLBACK SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == 0x402 /* PBM_SETPOS */) {
        g_positions.push_back(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        if (OwnerWindow::onApp != nullptr)
            OwnerWindow::onApp(wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Register(const char* name, WNDPROC proc)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    RegisterClassA(&wc);  // a second registration fails harmlessly
}
}  // namespace

ProgressSink::ProgressSink()
{
    Register("GsTestProgressSink", SinkProc);
    m_hwnd = CreateWindowExA(0, "GsTestProgressSink", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    g_positions.clear();
}

ProgressSink::~ProgressSink()
{
    DestroyWindow(m_hwnd);
}

std::vector<int>& ProgressSink::Positions()
{
    return g_positions;
}

void (*OwnerWindow::onApp)(WPARAM) = nullptr;

OwnerWindow::OwnerWindow()
{
    Register("GsTestOwner", OwnerProc);
    m_hwnd = CreateWindowExA(0, "GsTestOwner", "owner", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 200, 20, m_hwnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)),
                    GetModuleHandleA(nullptr), nullptr);
    onApp = nullptr;
}

OwnerWindow::~OwnerWindow()
{
    DestroyWindow(m_hwnd);
    onApp = nullptr;
}

std::string OwnerWindow::Status() const
{
    char text[512] = {};
    GetDlgItemTextA(m_hwnd, kStatusId, text, sizeof text);
    return text;
}

void OwnerWindow::SetStatus(const char* text) const
{
    SetDlgItemTextA(m_hwnd, kStatusId, text);
}

}  // namespace gstest
