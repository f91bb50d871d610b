// The copy engine's run with a fake copy routine: positions, status line, pump, stop prompt,
// messages and results.
#include "FileTestUtil.h"

using namespace gstest;

namespace {

const int kRange = 1024;
const UINT kErrorStyle = MB_OK | MB_ICONERROR, kPromptStyle = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
CGsCopyList* g_list = nullptr;
HWND g_bar = nullptr;

class CopyEngine : public testing::Test {
protected:
    void SetUp() override
    {
        out = dir / "out";
        CreateDirectoryA(out.c_str(), nullptr);
        g_list = &list;
        g_bar = bar.Handle();
    }
    // Adds scratch\<name> -> scratch\out\<name> with the given content; returns the destination.
    std::string AddFile(const std::string& name, const std::string& content, bool create = true)
    {
        if (create)
            WriteBytes(dir / name, content);
        list.Add(CGsFileName(dir.Path().c_str(), name.c_str()), CGsFileName(out.c_str(), name.c_str()));
        return out + "\\" + name;
    }
    int Run(HWND who) { return list.CopyAll(who, bar.Handle(), TestWindow::kStatusId, kRange); }
    void ExpectBox(size_t i, HWND who, const std::string& text, const std::string& caption, UINT style)
    {
        ASSERT_LT(i, boxes.boxes.size());
        const ShownBox& b = boxes.boxes[i];
        EXPECT_TRUE(b.owner == who && b.text == text && b.caption == caption && b.style == style)
            << "box " << i << ": " << b.text << " / " << b.caption << " / " << b.style;
    }

    ScratchDir dir;
    std::string out;
    CGsCopyList list;
    MessageBoxCapture boxes;
    TestWindow bar, owner;
};

TEST_F(CopyEngine, EmptyListSucceedsSilentlyAndEmptyFilesWeighOneByteEach)
{
    FakeCopyOptions options;
    options.reportStart = false;  // as Wine's routine: no reports at all
    FakeCopyRoutine fake(options);
    EXPECT_EQ(Run(owner.Handle()), 1);
    EXPECT_TRUE(boxes.boxes.empty() && TestWindow::positions.empty() && FakeCopyRoutine::calls == 0);
    std::vector<std::string> outs = {AddFile("a", ""), AddFile("b", ""), AddFile("c", "")};
    ASSERT_EQ(Run(owner.Handle()), 1);
    EXPECT_EQ(TestWindow::positions, (std::vector<int>{341, 682, 1024}));
    for (const std::string& o : outs)
        EXPECT_TRUE(Exists(o)) << o;
}

TEST_F(CopyEngine, ProgressFollowsBytesOverTheWholeRunAndRestartsOnTheNextRun)
{
    FakeCopyRoutine fake;
    std::string a = RandomBytes(1 << 20, 1), b = RandomBytes(3 << 20, 2);
    std::string outA = AddFile("a.bin", a), outB = AddFile("b.bin", b);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        TestWindow::positions.clear();
        ASSERT_EQ(Run(owner.Handle()), 1);
        // Per 1 MiB report: 1024 * (bytes of finished files + of this one) / 4 MiB, then one
        // position per finished file.
        EXPECT_EQ(TestWindow::positions, (std::vector<int>{0, 256, 256, 256, 512, 768, 1024, 1024}));
        EXPECT_EQ(owner.Status(), "b.bin をコピーしています...");
        EXPECT_TRUE(ReadBytes(outA) == a && ReadBytes(outB) == b);
    }
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(Exists(TempOf(outB)));
}

TEST_F(CopyEngine, MissingSourceIsNamedAndNothingIsCopied)
{
    FakeCopyRoutine fake;
    std::string outA = AddFile("a.bin", "aaaa");
    AddFile("missing.pak", "", false);
    AddFile("c.bin", "cccc");
    EXPECT_EQ(Run(owner.Handle()), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    ExpectBox(0, owner.Handle(), "missing.pak", "file open error", kErrorStyle);
    EXPECT_EQ(FakeCopyRoutine::calls, 0);
    EXPECT_FALSE(Exists(outA));
    // Without an owner nobody is told.
    EXPECT_EQ(Run(nullptr), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(CopyEngine, CopyFailureNamesBothPathsAndEndsTheRun)
{
    FakeCopyOptions options;
    options.failAfter = 2 << 20;
    FakeCopyRoutine fake(options);
    std::string small = AddFile("a.bin", "small"), old = RandomBytes(1000, 4);
    WriteBytes(out + "\\b.bin", old);
    std::string outB = AddFile("b.bin", RandomBytes(3 << 20, 5)), outC = AddFile("c.bin", "c");
    for (HWND who : {owner.Handle(), HWND(nullptr)}) {
        boxes.boxes.clear();
        FakeCopyRoutine::calls = 0;
        EXPECT_EQ(Run(who), 0);
        // Shown without an owner too; it names the real destination, never the temporary one.
        EXPECT_EQ(boxes.boxes.size(), 1u);
        ExpectBox(0, who, dir / "b.bin" + "\r\n↓\r\n" + outB + "\r\nファイルをコピーできません", "copy file error",
                  kErrorStyle);
        EXPECT_EQ(FakeCopyRoutine::calls, 2);  // c.bin is not attempted
        EXPECT_EQ(ReadBytes(small), "small");    // finished files stay
        EXPECT_TRUE(ReadBytes(outB) == old);
        EXPECT_FALSE(Exists(TempOf(outB)) || Exists(outC));
    }
}

// Requests reach the engine through its pump: they are posted to the bar, not the owner.
void RequestFromHandler(WPARAM custom)
{
    g_list->RequestAbort(custom ? "本当に止めますか" : nullptr, custom ? "確認" : nullptr);
}

TEST_F(CopyEngine, StopPromptNoGoesOnYesStopsAndKeepsTheOldFile)
{
    FakeCopyOptions options;
    // After the first prompt (answered No) a second request comes with the caller's text.
    options.onReport = [](int report) {
        if (report == 0)
            PostMessageA(g_bar, WM_APP, 1, 0);
    };
    FakeCopyRoutine fake(options);
    TestWindow::onApp = RequestFromHandler;
    std::string old = RandomBytes(5000, 6);
    WriteBytes(out + "\\a.bin", old);
    std::string outA = AddFile("a.bin", RandomBytes(6 << 20, 7)), outB = AddFile("b.bin", "b");
    boxes.answers = {IDNO, IDYES};
    PostMessageA(bar.Handle(), WM_APP, 0, 0);

    EXPECT_EQ(Run(owner.Handle()), 0);
    EXPECT_EQ(boxes.boxes.size(), 2u);  // no error box after the stop
    ExpectBox(0, owner.Handle(), "中止しますか？", "ファイルコピー", kPromptStyle);
    ExpectBox(1, owner.Handle(), "本当に止めますか", "確認", kPromptStyle);
    EXPECT_EQ(FakeCopyRoutine::reports, 2);  // stopped at the report that asked
    EXPECT_TRUE(ReadBytes(outA) == old);
    EXPECT_FALSE(Exists(TempOf(outA)) || Exists(outB));
}

TEST_F(CopyEngine, StopAnsweredAtTheLastReportOfACompletedCopyStillKeepsTheOldFile)
{
    // Wine's routine ignores the cancel flag and finishes; the player's Yes must still win.
    // Without an owner the pump still dispatches every window's messages.
    FakeCopyOptions options;
    options.honourCancel = false;
    options.onReport = [](int report) {
        if (report == 1)
            PostMessageA(g_bar, WM_APP, 0, 0);  // shown at report 2, the last one
    };
    FakeCopyRoutine fake(options);
    TestWindow::onApp = RequestFromHandler;
    WriteBytes(out + "\\a.bin", "old contents");
    std::string outA = AddFile("a.bin", RandomBytes(2 << 20, 8));
    list.RequestAbort(nullptr, nullptr);  // made before the run: cleared, never shown
    boxes.answers = {IDYES};
    EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, kRange), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    ExpectBox(0, nullptr, "中止しますか？", "ファイルコピー", kPromptStyle);
    EXPECT_EQ(FakeCopyRoutine::reports, 3);
    EXPECT_EQ(ReadBytes(outA), "old contents");
    EXPECT_FALSE(Exists(TempOf(outA)));
}

}  // namespace
