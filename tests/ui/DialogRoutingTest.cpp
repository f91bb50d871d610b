// Message routing through GsDialogProc and the dialog table, with real windows under Wine.
#include "app/GsAppFrame.h"
#include "ui/GsDialog.h"
#include "ui/GsDialogTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kPlain = 201, kMissing = 299;  // ui_test.rc
constexpr UINT kEnd = WM_USER + 77;

class FrameEnvironment : public ::testing::Environment {
    void SetUp() override { (new CGsAppFrame)->InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

// Records what reaches it and whether it was bound then. A run ends at the message posted from
// WM_INITDIALOG: with EndDialog(42), through the close command, or by a handler throwing.
template <typename Base>
struct Recorder : Base {
    std::vector<std::pair<UINT, bool>> seen;
    std::vector<UINT> user;
    int handleUser = 1, created = 0, endBy = 0;
    int HandleMessage(CGsMessage& m) override { return seen.push_back({m.message, !!this->m_hwnd}), Base::HandleMessage(m); }
    int OnInitDialog(CGsMessage& m) override { return Base::OnInitDialog(m), PostMessageA(m.hwnd, kEnd, 0, 0), 1; }
    int OnCreated() override { return ++created; }
    int OnUserMessage(CGsMessage& m) override
    {
        if (user.push_back(m.message), m.result = 1234; m.message != kEnd) return handleUser;
        if (endBy == 2) {
            // Work cut short with the parent disabled. The second end request only keeps a run
            // that the throw did not end from waiting forever.
            endBy = 0, EnableWindow(this->m_parent, FALSE), PostMessageA(m.hwnd, kEnd, 0, 0);
            throw std::runtime_error("from a handler");
        }
        endBy == 1 ? PostMessageA(m.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) : EndDialog(m.hwnd, 42);
        return 1;
    }
    int Count(UINT m) const { return int(std::count_if(seen.begin(), seen.end(), [m](auto& s) { return s.first == m; })); }
};
bool InTable(const void* dialog)
{
    for (int i = 0; i < g_dialogTable.Count(); ++i)
        if (g_dialogTable.At(i) == dialog) return true;
    return false;
}
using Modal = Recorder<CGsDialogSync>;
using Modeless = Recorder<CGsDialog>;

}  // namespace

TEST(DialogRouting, FirstMessagesReachTheDialogRegisteredLastThenOnlyItsBoundObject)
{
    Modal older, modal;
    g_dialogTable.Register(&older);  // registered first, never opened
    for (int endBy : {0, 1, 2}) {
        modal.endBy = endBy, modal.seen.clear();
        if (endBy == 2) {
            HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
            EXPECT_THROW(modal.Open(parent, kPlain), std::runtime_error) << "raised again after the loop";
            EXPECT_EQ(modal.Count(kEnd), 1) << "the run went on after its handler threw";
            EXPECT_TRUE(IsWindowEnabled(parent));
            DestroyWindow(parent);
        } else
            EXPECT_EQ(modal.Open(nullptr, kPlain), endBy == 0 ? 42 : 0);
        EXPECT_EQ(modal.Count(WM_INITDIALOG), 1);
        EXPECT_FALSE(modal.seen.front().second) << "messages before WM_INITDIALOG come through the current entry";
        EXPECT_FALSE(InTable(&modal));
        EXPECT_EQ(modal.GetHwnd(), nullptr);  // unbound by WM_NCDESTROY
    }
    CGsMessage other{&modal, nullptr, WM_SYSCOMMAND, SC_CLOSE + 1, 0, 0};
    EXPECT_EQ(modal.OnSysCommand(other), 0) << "only exactly SC_CLOSE is handled";
    EXPECT_TRUE(older.seen.empty());
    g_dialogTable.Remove(&older);

    Modeless dlg;
    ASSERT_EQ(dlg.Open(nullptr, kPlain), 1);
    EXPECT_EQ(dlg.created, 1);
    for (int handle : {0, 1}) {
        dlg.handleUser = handle, dlg.seen.clear();
        // Handled: the record's result goes back; declined: offered to the current entry, then 0.
        EXPECT_EQ(GsDialogProc(dlg.GetHwnd(), WM_USER + 5, 0, 0), handle ? 1234 : 0);
        EXPECT_EQ(dlg.Count(WM_USER + 5), 2 - handle);
    }
    dlg.user.clear();
    for (UINT m : {0x3FFu, 0x400u, 0x7FFFu, 0x8000u}) SendMessageA(dlg.GetHwnd(), m, 0, 0);
    EXPECT_EQ(dlg.user, (std::vector<UINT>{0x400u, 0x7FFFu}));
    DestroyWindow(dlg.GetHwnd());
    EXPECT_FALSE(dlg.GetHwnd() || InTable(&dlg));
}

TEST(DialogLifetime, FailedOrDeletedDialogsLeaveNothingReachable)
{
    auto* dlg = new Modeless;
    EXPECT_EQ(dlg->Open(nullptr, kMissing) * 10 + dlg->created, 1) << "OnCreated runs also when creation failed";
    EXPECT_FALSE(InTable(dlg));
    delete dlg;
    dlg = new Modeless;  // a new window's first messages must not reach the deleted object
    ASSERT_EQ(dlg->Open(nullptr, kPlain), 1);
    EXPECT_GE(dlg->Count(WM_INITDIALOG), 1);
    HWND hwnd = dlg->GetHwnd();
    delete dlg;  // with its window alive: messages to the orphan are declined
    ASSERT_FALSE(InTable(dlg)) << "a deleted dialog is still reachable";
    EXPECT_EQ(GsDialogProc(hwnd, WM_USER + 1, 0, 0), 0);
    DestroyWindow(hwnd);

    Modal modal;
    EXPECT_EQ(modal.Open(nullptr, kMissing), -1);
    EXPECT_FALSE(InTable(&modal));
    CGsAppFrame* saved = std::exchange(g_pAppFrame, nullptr);  // without a frame nothing is registered or opened
    Modeless modeless;
    EXPECT_EQ(modal.Open(nullptr, kPlain) + modeless.Open(nullptr, kPlain), 0);
    g_pAppFrame = saved;
    EXPECT_FALSE(InTable(&modal) || InTable(&modeless));
    EXPECT_TRUE(modal.seen.empty());
}

TEST(DialogTable, RegisteringTwiceAndRemovingKeepTheCurrentEntryRight)
{
    const int before = g_dialogTable.Count();
    Modal a;
    ASSERT_EQ(a.Open(nullptr, kPlain) + a.Open(nullptr, kPlain), 84);
    EXPECT_LE(g_dialogTable.Count(), std::max(before, 1)) << "a freed entry was not reused";
    CGsDialogSync y, z;
    for (CGsDialog* d : {&y, &z, &y}) g_dialogTable.Register(d);
    EXPECT_EQ(g_dialogTable.Current(), &z) << "registering y again changes nothing";
    EXPECT_EQ(g_dialogTable.FindByWindow(nullptr), nullptr) << "unopened dialogs have no window";
    for (CGsDialog* d : {&y, &z}) g_dialogTable.Remove(d);
    EXPECT_EQ(g_dialogTable.Current(), nullptr) << "current entry names a left dialog";
}

TEST(CenterWindow, CentresAndOverhangsEquallyWhenLargerThanTheScreen)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    for (SIZE c : {SIZE{200, 100}, SIZE{cx + 201, cy + 300}}) {
        HWND hwnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 5, 5, c.cx, c.cy, nullptr, nullptr, nullptr, nullptr);
        RECT rc;
        EXPECT_EQ(CenterWindowOnScreen(hwnd) + GetWindowRect(hwnd, &rc), 2);
        EXPECT_EQ(std::vector<LONG>({rc.left, rc.top, rc.right - rc.left}),
                  std::vector<LONG>({(cx - c.cx) / 2, (cy - c.cy) / 2, c.cx}));
        DestroyWindow(hwnd);
    }
}
