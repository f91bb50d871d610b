// Message routing through GsDialogProc and the dialog table, with real windows under Wine.
#include "app/GsAppFrame.h"
#include "ui/GsDialog.h"
#include "ui/GsDialogTable.h"
#include "test_resource.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TestFrame : public CGsAppFrame {};
TestFrame* g_frame = nullptr;

class FrameEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        g_frame = new TestFrame;
        g_frame->InitModuleInfo(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

constexpr UINT kEndModal = WM_USER + 77;

// Records what reaches it; ends a modal run when asked through a posted message.
template <typename Base>
class Recorder : public Base {
public:
    struct Seen {
        UINT message;
        bool bound;  // whether the object had its window handle when the message came
    };
    std::vector<Seen> seen;
    int initCount = 0;
    int userCount = 0;
    std::vector<UINT> userMessages;
    bool handleUser = true;
    int createdCalls = 0;

    int HandleMessage(CGsMessage& msg) override
    {
        seen.push_back({msg.message, this->m_hwnd != nullptr});
        return Base::HandleMessage(msg);
    }
    int OnInitDialog(CGsMessage& msg) override
    {
        Base::OnInitDialog(msg);
        ++initCount;
        PostMessageA(msg.hwnd, kEndModal, 0, 0);
        return 1;
    }
    int OnUserMessage(CGsMessage& msg) override
    {
        ++userCount;
        userMessages.push_back(msg.message);
        if (msg.message == kEndModal) {
            EndDialog(msg.hwnd, 42);
            return 1;
        }
        return handleUser ? 1 : 0;
    }
    int OnCreated() override
    {
        ++createdCalls;
        return 1;
    }
    int Count(UINT message) const
    {
        int n = 0;
        for (const Seen& s : seen)
            n += s.message == message ? 1 : 0;
        return n;
    }
    using Base::m_hwnd;
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

TEST(DialogRouting, ModalRunDeliversInitDialogOnceAndReturnsEndDialogValue)
{
    ModalRecorder dlg;
    EXPECT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 42);
    EXPECT_EQ(dlg.initCount, 1);
    EXPECT_EQ(dlg.Count(WM_INITDIALOG), 1);
    // Messages before WM_INITDIALOG came through the current entry, unbound.
    ASSERT_FALSE(dlg.seen.empty());
    EXPECT_FALSE(dlg.seen.front().bound);
    EXPECT_FALSE(InTable(&dlg));
    EXPECT_EQ(dlg.GetHwnd(), nullptr);  // unbound by WM_NCDESTROY
}

TEST(DialogRouting, FirstMessagesReachTheDialogRegisteredLast)
{
    ModalRecorder older;
    g_dialogTable.Register(&older);  // registered first, never opened
    ModelessRecorder dlg;
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    EXPECT_EQ(dlg.createdCalls, 1);
    EXPECT_EQ(older.seen.size(), 0u);
    ASSERT_GE(dlg.Count(WM_INITDIALOG), 1);
    for (const auto& s : dlg.seen) {
        if (s.message == WM_INITDIALOG) {
            EXPECT_FALSE(s.bound);
        }
    }
    DestroyWindow(dlg.GetHwnd());
    EXPECT_EQ(dlg.GetHwnd(), nullptr);
    EXPECT_FALSE(InTable(&dlg));
    g_dialogTable.Remove(&older);
}

TEST(DialogRouting, DeclinedMessageIsOfferedAgainToTheCurrentEntry)
{
    ModelessRecorder dlg;
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    HWND hwnd = dlg.GetHwnd();

    dlg.handleUser = false;
    dlg.seen.clear();
    SendMessageA(hwnd, WM_USER + 5, 0, 0);
    EXPECT_EQ(dlg.Count(WM_USER + 5), 2) << "bound lookup, then the same object as current entry";

    dlg.handleUser = true;
    dlg.seen.clear();
    SendMessageA(hwnd, WM_USER + 5, 0, 0);
    EXPECT_EQ(dlg.Count(WM_USER + 5), 1);
    DestroyWindow(hwnd);
}

TEST(DialogRouting, UserMessageRangeIsInclusiveOf0x400And0x7FFF)
{
    ModelessRecorder dlg;
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    HWND hwnd = dlg.GetHwnd();
    dlg.userMessages.clear();
    for (UINT m : {0x3FFu, 0x400u, 0x7FFFu, 0x8000u})
        SendMessageA(hwnd, m, 0, 0);
    EXPECT_EQ(dlg.userMessages, (std::vector<UINT>{0x400u, 0x7FFFu}));
    DestroyWindow(hwnd);
}

TEST(DialogRouting, HandledMessageReturnsRecordResult)
{
    struct ResultDialog : ModelessRecorder {
        int OnUserMessage(CGsMessage& msg) override
        {
            msg.result = 1234;
            return msg.message == WM_USER + 1 ? 1 : 0;
        }
    } dlg;
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    HWND hwnd = dlg.GetHwnd();
    // Handled: the procedure returns the record's result. Not handled: 0 to the platform.
    EXPECT_EQ(GsDialogProc(hwnd, WM_USER + 1, 0, 0), 1234);
    EXPECT_EQ(GsDialogProc(hwnd, WM_USER + 2, 0, 0), 0);
    DestroyWindow(hwnd);
}

TEST(DialogRouting, SystemCloseEndsModalRunWithZeroOtherCommandsAreNotHandled)
{
    struct Closer : ModalRecorder {
        int syscommandResult = -1;
        int OnInitDialog(CGsMessage& msg) override
        {
            CGsDialogSync::OnInitDialog(msg);
            PostMessageA(msg.hwnd, WM_USER + 9, 0, 0);
            return 1;
        }
        int OnUserMessage(CGsMessage& msg) override
        {
            CGsMessage other = msg;
            other.message = WM_SYSCOMMAND;
            other.wParam = SC_CLOSE + 1;  // not exactly SC_CLOSE
            syscommandResult = OnSysCommand(other);
            PostMessageA(msg.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 1;
        }
    } dlg;
    EXPECT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 0);
    EXPECT_EQ(dlg.syscommandResult, 0);
}

TEST(DialogTable, SlotsAreReusedAndTheArrayGrowsOnlyToTheMostAliveAtOnce)
{
    const int before = g_dialogTable.Count();
    ModalRecorder a;
    ASSERT_EQ(a.Open(nullptr, IDD_TEST_PLAIN), 42);
    ASSERT_EQ(a.Open(nullptr, IDD_TEST_PLAIN), 42);
    const int afterTwoRuns = g_dialogTable.Count();
    EXPECT_LE(afterTwoRuns, std::max(before, 1));

    // Three alive at once, then they leave; new registrations take the lowest free entries.
    CGsDialogSync x, y, z;
    g_dialogTable.Register(&x);
    g_dialogTable.Register(&y);
    g_dialogTable.Register(&z);
    const int peak = g_dialogTable.Count();
    EXPECT_GE(peak, 3);
    g_dialogTable.Register(&y);  // already present: nothing changes
    EXPECT_EQ(g_dialogTable.Count(), peak);
    g_dialogTable.Remove(&x);
    g_dialogTable.Remove(&y);
    g_dialogTable.Register(&y);
    EXPECT_EQ(g_dialogTable.Current(), &y);
    int firstFree = -1;
    for (int i = 0; i < g_dialogTable.Count(); ++i) {
        if (g_dialogTable.At(i) == &y) {
            firstFree = i;
            break;
        }
    }
    for (int i = 0; i < firstFree; ++i)
        EXPECT_NE(g_dialogTable.At(i), nullptr) << "entry " << i << " was free but skipped";
    EXPECT_EQ(g_dialogTable.Count(), peak);
    g_dialogTable.Remove(&y);
    g_dialogTable.Remove(&z);
    EXPECT_EQ(g_dialogTable.Current(), nullptr) << "current entry names a left dialog";
    EXPECT_EQ(g_dialogTable.FindByWindow(nullptr), nullptr);
}

TEST(DialogLifetime, FailedModelessCreationLeavesNothingReachable)
{
    auto* dlg = new ModelessRecorder;
    EXPECT_EQ(dlg->Open(nullptr, IDD_TEST_MISSING), 0);
    EXPECT_EQ(dlg->createdCalls, 1) << "OnCreated runs also when creation failed";
    EXPECT_FALSE(InTable(dlg));
    delete dlg;

    // A new window's first messages must not reach the deleted object.
    ModelessRecorder next;
    ASSERT_EQ(next.Open(nullptr, IDD_TEST_PLAIN), 1);
    EXPECT_GE(next.Count(WM_INITDIALOG), 1);
    DestroyWindow(next.GetHwnd());
}

TEST(DialogLifetime, DeletedDialogLeavesTheTableEvenWithItsWindowAlive)
{
    auto* dlg = new ModelessRecorder;
    ASSERT_EQ(dlg->Open(nullptr, IDD_TEST_PLAIN), 1);
    HWND hwnd = dlg->GetHwnd();
    delete dlg;
    EXPECT_FALSE(InTable(dlg));
    // Messages to the orphaned window are declined, not delivered to freed memory.
    EXPECT_EQ(GsDialogProc(hwnd, WM_USER + 1, 0, 0), 0);
    DestroyWindow(hwnd);
}

TEST(DialogLifetime, ModalMissingTemplateReturnsMinusOneAndLeaves)
{
    ModalRecorder dlg;
    EXPECT_EQ(dlg.Open(nullptr, IDD_TEST_MISSING), -1);
    EXPECT_FALSE(InTable(&dlg));
}

TEST(DialogLifetime, NoFrameInstanceMeansNoRegistrationAndZero)
{
    CGsAppFrame* saved = g_pAppFrame;
    g_pAppFrame = nullptr;
    ModalRecorder modal;
    ModelessRecorder modeless;
    EXPECT_EQ(modal.Open(nullptr, IDD_TEST_PLAIN), 0);
    EXPECT_EQ(modeless.Open(nullptr, IDD_TEST_PLAIN), 0);
    g_pAppFrame = saved;
    EXPECT_FALSE(InTable(&modal));
    EXPECT_FALSE(InTable(&modeless));
    EXPECT_TRUE(modal.seen.empty());
}

TEST(DialogAccessors, SetDlgItemTextNeedsAWindow)
{
    ModelessRecorder dlg;
    EXPECT_EQ(dlg.SetDlgItemText(IDC_TEST_EDIT, "x"), 0);
    ASSERT_EQ(dlg.Open(nullptr, IDD_TEST_PLAIN), 1);
    EXPECT_NE(dlg.SetDlgItemText(IDC_TEST_EDIT, "hello"), 0);
    char text[16] = {};
    GetDlgItemTextA(dlg.GetHwnd(), IDC_TEST_EDIT, text, sizeof(text));
    EXPECT_STREQ(text, "hello");
    EXPECT_EQ(dlg.GetDlgItem(IDC_TEST_EDIT), ::GetDlgItem(dlg.GetHwnd(), IDC_TEST_EDIT));
    DestroyWindow(dlg.GetHwnd());
}

TEST(CenterWindow, CentresAndOverhangsEquallyWhenLargerThanTheScreen)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int w, h;
    };
    for (Case c : {Case{200, 100}, Case{cx + 201, cy + 300}}) {
        HWND hwnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 5, 5, c.w, c.h, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(CenterWindowOnScreen(hwnd), 1);
        RECT rc;
        GetWindowRect(hwnd, &rc);
        EXPECT_EQ(rc.left, (cx - c.w) / 2) << c.w;
        EXPECT_EQ(rc.top, (cy - c.h) / 2) << c.h;
        EXPECT_EQ(rc.right - rc.left, c.w);
        if (c.w > cx) {
            EXPECT_LT(rc.left, 0);
        }
        DestroyWindow(hwnd);
    }
}
