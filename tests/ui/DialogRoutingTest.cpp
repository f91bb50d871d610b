// Message routing through GsDialogProc and the dialog table, with real windows under Wine.
#include "app/GsAppFrame.h"
#include "ui/GsDialog.h"
#include "ui/GsDialogTable.h"
#include "test_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class FrameEnvironment : public ::testing::Environment {
    void SetUp() override { (new CGsAppFrame)->InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, 0); }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

constexpr UINT kEndModal = WM_USER + 77;

// Records what reaches it (and whether it was bound then); a modal run ends through a posted
// message, with EndDialog(42) or through the system menu's close command.
template <typename Base>
class Recorder : public Base {
public:
    std::vector<std::pair<UINT, bool>> seen;
    std::vector<UINT> user;
    bool handleUser = true, closeBySysCommand = false;
    int createdCalls = 0, otherSysCommand = -1;

    int HandleMessage(CGsMessage& msg) override
    {
        seen.push_back({msg.message, this->m_hwnd != nullptr});
        return Base::HandleMessage(msg);
    }
    int OnInitDialog(CGsMessage& msg) override
    {
        Base::OnInitDialog(msg);
        PostMessageA(msg.hwnd, kEndModal, 0, 0);
        return 1;
    }
    int OnUserMessage(CGsMessage& msg) override
    {
        user.push_back(msg.message);
        msg.result = 1234;
        if (msg.message != kEndModal)
            return handleUser ? 1 : 0;
        if (!closeBySysCommand) {
            EndDialog(msg.hwnd, 42);
            return 1;
        }
        CGsMessage other = msg;
        other.message = WM_SYSCOMMAND;
        other.wParam = SC_CLOSE + 1;  // not exactly SC_CLOSE: not handled
        otherSysCommand = this->OnSysCommand(other);
        PostMessageA(msg.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 1;
    }
    int OnCreated() override { return ++createdCalls; }
    int Count(UINT message) const
    {
        int n = 0;
        for (const auto& s : seen)
            n += s.first == message ? 1 : 0;
        return n;
    }
};
using ModalRecorder = Recorder<CGsDialogSync>;
using ModelessRecorder = Recorder<CGsDialog>;

bool InTable(const CGsDialog* d)
{
    for (int i = 0; i < g_dialogTable.Count(); ++i) {
        if (g_dialogTable.At(i) == d)
            return true;
    }
    return false;
}

}  // namespace

TEST(DialogRouting, ModalRunGetsInitDialogOnceUnboundAndEndsWithItsValue)
{
    ModalRecorder dlg;
    EXPECT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 42);
    EXPECT_EQ(dlg.Count(WM_INITDIALOG), 1);
    ASSERT_FALSE(dlg.seen.empty());
    EXPECT_FALSE(dlg.seen.front().second) << "messages before WM_INITDIALOG come through the current entry";
    EXPECT_FALSE(InTable(&dlg));
    EXPECT_EQ(dlg.GetHwnd(), nullptr);  // unbound by WM_NCDESTROY

    // The close command ends a modal run with 0; other system commands are not handled.
    dlg.closeBySysCommand = true;
    EXPECT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 0);
    EXPECT_EQ(dlg.otherSysCommand, 0);
}

TEST(DialogRouting, FirstMessagesReachTheDialogRegisteredLast)
{
    ModalRecorder older;
    g_dialogTable.Register(&older);  // registered first, never opened
    ModelessRecorder dlg;
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    EXPECT_EQ(dlg.createdCalls, 1);
    EXPECT_TRUE(older.seen.empty());
    EXPECT_GE(dlg.Count(WM_INITDIALOG), 1);
    for (const auto& s : dlg.seen)
        EXPECT_TRUE(s.first != WM_INITDIALOG || !s.second);
    DestroyWindow(dlg.GetHwnd());
    EXPECT_EQ(dlg.GetHwnd(), nullptr);
    EXPECT_FALSE(InTable(&dlg));
    g_dialogTable.Remove(&older);
}

TEST(DialogRouting, DeclinedMessagesAreOfferedToTheCurrentEntryAndUserRangeIsInclusive)
{
    ModelessRecorder dlg;
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    HWND hwnd = dlg.GetHwnd();
    for (bool handle : {false, true}) {
        dlg.handleUser = handle;
        dlg.seen.clear();
        // Handled: the record's result goes back; declined: 0 to the platform.
        EXPECT_EQ(GsDialogProc(hwnd, WM_USER + 5, 0, 0), handle ? 1234 : 0);
        EXPECT_EQ(dlg.Count(WM_USER + 5), handle ? 1 : 2) << "bound lookup, then the same object as current entry";
    }
    dlg.user.clear();
    for (UINT m : {0x3FFu, 0x400u, 0x7FFFu, 0x8000u})
        SendMessageA(hwnd, m, 0, 0);
    EXPECT_EQ(dlg.user, (std::vector<UINT>{0x400u, 0x7FFFu}));
    DestroyWindow(hwnd);
}

TEST(DialogTable, SlotsAreReusedAndTheArrayGrowsOnlyToTheMostAliveAtOnce)
{
    const int before = g_dialogTable.Count();
    ModalRecorder a;
    ASSERT_EQ(a.Open(nullptr, IDD_TEST_PLAIN), 42);
    ASSERT_EQ(a.Open(nullptr, IDD_TEST_PLAIN), 42);
    EXPECT_LE(g_dialogTable.Count(), std::max(before, 1));

    // Three alive at once, then they leave; new registrations take the lowest free entries.
    CGsDialogSync x, y, z;
    for (CGsDialog* d : {&x, &y, &z, &y})  // registering y again changes nothing
        g_dialogTable.Register(d);
    const int peak = g_dialogTable.Count();
    EXPECT_GE(peak, 3);
    g_dialogTable.Remove(&x);
    g_dialogTable.Remove(&y);
    g_dialogTable.Register(&y);
    EXPECT_EQ(g_dialogTable.Current(), &y);
    for (int i = 0; g_dialogTable.At(i) != &y; ++i)
        EXPECT_NE(g_dialogTable.At(i), nullptr) << "entry " << i << " was free but skipped";
    EXPECT_EQ(g_dialogTable.Count(), peak);
    g_dialogTable.Remove(&y);
    g_dialogTable.Remove(&z);
    EXPECT_EQ(g_dialogTable.Current(), nullptr) << "current entry names a left dialog";
    EXPECT_EQ(g_dialogTable.FindByWindow(nullptr), nullptr);
}

TEST(DialogLifetime, FailedOrDeletedDialogsLeaveNothingReachable)
{
    auto* dlg = new ModelessRecorder;
    EXPECT_EQ(dlg->Open(nullptr, IDD_TEST_MISSING), 0);
    EXPECT_EQ(dlg->createdCalls, 1) << "OnCreated runs also when creation failed";
    EXPECT_FALSE(InTable(dlg));
    delete dlg;
    // A new window's first messages must not reach the deleted object.
    dlg = new ModelessRecorder;
    ASSERT_EQ(dlg->Open(nullptr, IDD_TEST_PLAIN), 1);
    EXPECT_GE(dlg->Count(WM_INITDIALOG), 1);
    // Deleted with its window alive: messages to the orphan are declined, not delivered.
    HWND hwnd = dlg->GetHwnd();
    delete dlg;
    EXPECT_FALSE(InTable(dlg));
    EXPECT_EQ(GsDialogProc(hwnd, WM_USER + 1, 0, 0), 0);
    DestroyWindow(hwnd);

    ModalRecorder modal;
    EXPECT_EQ(modal.Open(nullptr, IDD_TEST_MISSING), -1);
    EXPECT_FALSE(InTable(&modal));

    // Without a frame nothing is registered or opened.
    CGsAppFrame* saved = g_pAppFrame;
    g_pAppFrame = nullptr;
    ModelessRecorder modeless;
    EXPECT_EQ(modal.Open(nullptr, IDD_TEST_PLAIN) + modeless.Open(nullptr, IDD_TEST_PLAIN), 0);
    g_pAppFrame = saved;
    EXPECT_FALSE(InTable(&modal) || InTable(&modeless));
    EXPECT_TRUE(modal.seen.empty());
}

TEST(DialogAccessors, SetDlgItemTextNeedsAWindow)
{
    ModelessRecorder dlg;
    EXPECT_EQ(dlg.SetDlgItemText(IDC_TEST_EDIT, "x"), 0);
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    EXPECT_NE(dlg.SetDlgItemText(IDC_TEST_EDIT, "hello"), 0);
    char text[16] = {};
    GetWindowTextA(dlg.GetDlgItem(IDC_TEST_EDIT), text, sizeof(text));
    EXPECT_STREQ(text, "hello");
    DestroyWindow(dlg.GetHwnd());
}

TEST(CenterWindow, CentresAndOverhangsEquallyWhenLargerThanTheScreen)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    for (SIZE c : {SIZE{200, 100}, SIZE{cx + 201, cy + 300}}) {
        HWND hwnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 5, 5, c.cx, c.cy, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(CenterWindowOnScreen(hwnd), 1);
        RECT rc;
        GetWindowRect(hwnd, &rc);
        EXPECT_EQ(rc.left, (cx - c.cx) / 2) << c.cx;
        EXPECT_EQ(rc.top, (cy - c.cy) / 2) << c.cy;
        EXPECT_EQ(rc.right - rc.left, c.cx);
        EXPECT_TRUE(c.cx < cx || rc.left < 0);
        DestroyWindow(hwnd);
    }
}
