// gsdemo: clicks through one run of update.exe (or shows gssetup.exe's install menu and
// cancels it, or watches "gssetup packaged" with ARGS) for ./run.sh, asking the script to
// photograph every window it meets. A photo is requested by creating <dir>\<name>.want and is taken
// when <dir>\<name>.done appears (the script runs the screen grabber on the X side).
// With "-" for the folder it takes no photos; with KILL_MS it terminates the program that
// many milliseconds after pressing OK (0: never). "gsdemo --lock FILE MS" holds FILE open without
// sharing for MS milliseconds (tools/reliability.sh).
#include "Driver.h"

#include "base/GsText.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

using namespace e2e;

namespace {

std::string g_shotDir;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Photo(const std::string& name)
{
    if (g_shotDir == "-")
        return;
    Sleep(300);  // let the window finish painting
    std::string want = g_shotDir + "\\" + name + ".want";
    FILE* f = std::fopen(want.c_str(), "wb");
    if (f == nullptr)
        return;
    std::fclose(f);
    for (int i = 0; i < 300 && !Exists(g_shotDir + "\\" + name + ".done"); ++i)
        Sleep(50);
    std::printf("screen: %s\n", name.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--lock") {
        // Another process holding a file without sharing, as a virus scanner or the game would.
        ScopedFile held(CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        std::printf("%s %s\n", held ? "locked" : "cannot lock", argv[2]);
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(std::atol(argv[3])));
        return held ? 0 : 1;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: gsdemo SHOT_DIR|- UPDATE_EXE WORK_DIR [KILL_MS [ARGS]]\n");
        return 2;
    }
    g_shotDir = argv[1];
    Process app;
    if (!app.Start(argv[2], argv[3], argc > 5 ? argv[5] : "")) {
        std::fprintf(stderr, "gsdemo: cannot start %s\n", argv[2]);
        return 2;
    }
    const std::string title = "Quillamet　アップデート１";
    std::set<HWND> seen;
    int shot = 0;
    bool confirmed = false;
    bool failed = false;
    const DWORD killAfter = argc > 4 ? static_cast<DWORD>(std::atol(argv[4])) : 0;
    DWORD confirmedAt = GetTickCount();
    while (app.Running()) {
        // Without a confirmation to press (gssetup packaged) the time runs from the start.
        if (killAfter != 0 && (confirmed || argc > 5) && GetTickCount() - confirmedAt >= killAfter) {
            app.Kill();
            std::printf("killed after %lu ms\n", static_cast<unsigned long>(killAfter));
            break;
        }
        for (HWND w : FindWindows(app.Id(), "#32770", nullptr)) {
            if (!IsVisible(w) || seen.count(w) != 0)
                continue;
            // A top-level caption is read without a message: the packaged update's notice
            // belongs to a thread that pumps none while it merges.
            // Read wide, whatever the system's code page, and held as code page 932.
            wchar_t text[256] = {};
            GetWindowTextW(w, text, ARRAYSIZE(text));
            std::string caption = GsTextToCp932(text);
            if (caption.empty())
                continue;  // going away while the program ends
            char prefix[8];
            std::snprintf(prefix, sizeof(prefix), "%02d-", ++shot);
            if (caption == "インストールしています") {
                // Hold the copy with the bar well on its way and part-way through one of the
                // three archives (not at a boundary between them), so it is seen moving.
                HWND bar = GetDlgItem(w, 1002);
                LRESULT pos = SendMessageA(bar, PBM_GETPOS, 0, 0);
                if (g_shotDir == "-" || pos < 1024 / 6 || pos >= 1024 || pos % (1024 / 3) == 0) {
                    --shot;
                    continue;
                }
                seen.insert(w);
                app.Suspend();
                Photo(std::string(prefix) + "progress");
                app.Resume();
            } else if (caption == "更新中") {
                seen.insert(w);
                Sleep(200);  // its one paint; the merge runs on
                app.Suspend();
                Photo(std::string(prefix) + "notice");
                app.Resume();
            } else if (caption == "インストールメニュー") {
                seen.insert(w);  // gssetup.exe: its initial state, then Cancel
                Photo(std::string(prefix) + "install-menu");
                Press(w, 1001);
            } else if (caption == title) {
                --shot;
                if (!confirmed) {
                    Photo(std::string(prefix) + "confirmation");
                    ++shot;
                    confirmed = true;
                    confirmedAt = GetTickCount();
                    Press(w, 1002);
                } else if (failed && IsWindowEnabled(w)) {
                    seen.insert(w);  // back at the confirmation after a failure: leave
                    Press(w, 1001);
                }
            } else {
                seen.insert(w);
                std::string name = caption == "Setup Info" ? "directx-warning"
                                   : caption == "Update"   ? "completion"
                                                           : "message";
                failed = failed || name == "message";
                std::string text = MessageBoxText(w);
                for (size_t at; (at = text.find_first_of("\r\n")) != std::string::npos;)
                    text.replace(at, text.compare(at, 2, "\r\n") == 0 ? 2 : 1, " ");  // one line per box
                std::printf("box \"%s\": %s\n", caption.c_str(), text.c_str());
                Photo(std::string(prefix) + name);
                Press(w, IDOK);
            }
        }
        Sleep(2);
    }
    DWORD code = app.WaitExit(10000);
    std::printf("exit code: %ld\n", static_cast<long>(static_cast<int>(code)));
    return 0;
}
