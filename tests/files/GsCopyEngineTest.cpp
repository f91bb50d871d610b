// The copy engine's run with a fake copy routine: positions, status line, pump, stop prompt,
// messages and results.
#include "FileTestUtil.h"

#include "files/GsCopyList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace gstest;

namespace {

const int kRange = 1024;
const char kCopyError[] = "copy file error";
const char kOpenError[] = "file open error";
const UINT kErrorStyle = MB_OK | MB_ICONERROR;
const UINT kPromptStyle = 0x124;  // MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2

class CopyEngine : public testing::Test {
protected:
    // Adds scratch\<name> -> scratch\out\<name> with the given content.
    std::string AddFile(const std::string& name, const std::string& content)
    {
        WriteBytes(dir / name, content);
        list.Add(CGsFileName(dir.Path().c_str(), name.c_str()),
                 CGsFileName(outDir().c_str(), name.c_str()));
        return outDir() + "\\" + name;
    }
    std::string outDir()
    {
        std::string out = dir / "out";
        CreateDirectoryA(out.c_str(), nullptr);
        return out;
    }
    std::string CopyErrorText(const std::string& name)
    {
        return dir / name + "\r\n↓\r\n" + outDir() + "\\" + name + "\r\nファイルをコピーできません";
    }

    ScratchDir dir;
    CGsCopyList list;
    MessageBoxCapture boxes;
    ProgressSink bar;
    OwnerWindow owner;
};

TEST_F(CopyEngine, EmptyListSucceedsWithoutAnySign)
{
    FakeCopyRoutine fake;
    owner.SetStatus("idle");
    EXPECT_EQ(list.CopyAll(owner.Handle(), bar.Handle(), OwnerWindow::kStatusId, kRange), 1);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(ProgressSink::Positions().empty());
    EXPECT_TRUE(FakeCopyRoutine::Calls().empty());
    EXPECT_EQ(owner.Status(), "idle");
}

TEST_F(CopyEngine, EmptyFilesWeighOneByteEach)
{
    FakeCopyOptions options;
    options.reportStart = false;  // as Wine's routine: no reports at all
    FakeCopyRoutine fake(options);
    std::vector<std::string> outs = {AddFile("a", ""), AddFile("b", ""), AddFile("c", "")};
    ASSERT_EQ(list.CopyAll(owner.Handle(), bar.Handle(), OwnerWindow::kStatusId, kRange), 1);
    EXPECT_EQ(ProgressSink::Positions(), (std::vector<int>{341, 682, 1024}));
    EXPECT_EQ(list.GetTotalBytes(), 3);
    for (const std::string& out : outs)
        EXPECT_TRUE(Exists(out) && ReadBytes(out).empty()) << out;
}

TEST_F(CopyEngine, ProgressFollowsBytesOverTheWholeRunAndRestartsOnTheNextRun)
{
    FakeCopyOptions options;
    options.statusOwner = owner.Handle();
    options.statusId = OwnerWindow::kStatusId;
    FakeCopyRoutine fake(options);
    std::string a = RandomBytes(1 << 20, 1), b = RandomBytes(3 << 20, 2);
    std::string outA = AddFile("a.bin", a), outB = AddFile("b.bin", b);
    // Per report: (copied bytes of finished files + bytes of this file) * 1024 / 4 MiB; then
    // one position per finished file.
    const std::vector<int> expected = {0, 256, 256, 256, 512, 768, 1024, 1024};
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1));
        ProgressSink::Positions().clear();
        FakeCopyRoutine::Calls().clear();
        ASSERT_EQ(list.CopyAll(owner.Handle(), bar.Handle(), OwnerWindow::kStatusId, kRange), 1);
        EXPECT_EQ(ProgressSink::Positions(), expected);
        EXPECT_EQ(list.GetCopiedBytes(), 4 << 20);
        ASSERT_EQ(FakeCopyRoutine::Calls().size(), 2u);
        EXPECT_EQ(FakeCopyRoutine::Calls()[0].status, "a.bin をコピーしています...");
        EXPECT_EQ(FakeCopyRoutine::Calls()[1].status, "b.bin をコピーしています...");
        EXPECT_EQ(FakeCopyRoutine::Calls()[0].source, dir / "a.bin");
        EXPECT_EQ(ReadBytes(outA), a);
        EXPECT_EQ(ReadBytes(outB), b);
    }
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(Exists(TempOf(outB)));
}

TEST_F(CopyEngine, NullProgressBarAndOwnerStillCopy)
{
    FakeCopyRoutine fake;
    std::string content = RandomBytes(3 << 20, 3);
    std::string out = AddFile("x.bin", content);
    ASSERT_EQ(list.CopyAll(nullptr, nullptr, OwnerWindow::kStatusId, kRange), 1);
    EXPECT_TRUE(ProgressSink::Positions().empty());
    EXPECT_EQ(ReadBytes(out), content);
}

TEST_F(CopyEngine, MissingSourceIsNamedAndNothingIsCopied)
{
    FakeCopyRoutine fake;
    std::string outA = AddFile("a.bin", "aaaa");
    list.Add(CGsFileName(dir.Path().c_str(), "missing.pak"), CGsFileName(outDir().c_str(), "missing.pak"));
    AddFile("c.bin", "cccc");
    EXPECT_EQ(list.CopyAll(owner.Handle(), bar.Handle(), OwnerWindow::kStatusId, kRange), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].owner, owner.Handle());
    EXPECT_EQ(boxes.boxes[0].text, "missing.pak");
    EXPECT_EQ(boxes.boxes[0].caption, kOpenError);
    EXPECT_EQ(boxes.boxes[0].style, kErrorStyle);
    EXPECT_TRUE(FakeCopyRoutine::Calls().empty());
    EXPECT_FALSE(Exists(outA));

    // Without an owner nobody is told, and still nothing is copied.
    boxes.boxes.clear();
    EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, kRange), 0);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(FakeCopyRoutine::Calls().empty());
}

TEST_F(CopyEngine, CopyFailureNamesBothPathsAndEndsTheRun)
{
    FakeCopyOptions options;
    options.failAfter = 2 << 20;
    FakeCopyRoutine fake(options);
    std::string small = AddFile("a.bin", "small");
    std::string old = RandomBytes(1000, 4);
    WriteBytes(outDir() + "\\b.bin", old);
    std::string outB = AddFile("b.bin", RandomBytes(3 << 20, 5));
    std::string outC = AddFile("c.bin", "c");
    for (HWND who : {owner.Handle(), static_cast<HWND>(nullptr)}) {
        boxes.boxes.clear();
        FakeCopyRoutine::Calls().clear();
        EXPECT_EQ(list.CopyAll(who, nullptr, OwnerWindow::kStatusId, kRange), 0);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        // Shown without an owner too; it names the real destination, never the temporary one.
        EXPECT_EQ(boxes.boxes[0].owner, who);
        EXPECT_EQ(boxes.boxes[0].text, CopyErrorText("b.bin"));
        EXPECT_EQ(boxes.boxes[0].caption, kCopyError);
        EXPECT_EQ(boxes.boxes[0].style, kErrorStyle);
        EXPECT_EQ(FakeCopyRoutine::Calls().size(), 2u);  // c.bin is not attempted
        EXPECT_EQ(ReadBytes(small), "small");             // finished files stay
        EXPECT_EQ(ReadBytes(outB), old);                  // the old file is whole
        EXPECT_FALSE(Exists(TempOf(outB)));
        EXPECT_FALSE(Exists(outC));
    }
}

// The stop prompt: a request made by the owner's handler during the copy reaches the engine
// through the pump; No goes on and can be asked again, Yes stops without an error box.
CGsCopyList* g_list = nullptr;
HWND g_owner = nullptr;
std::vector<int> g_requestReports;

void RequestFromHandler(WPARAM custom)
{
    g_requestReports.push_back(FakeCopyRoutine::Reports());
    if (custom)
        g_list->RequestAbort("本当に止めますか", "確認");
    else
        g_list->RequestAbort(nullptr, nullptr);
}

TEST_F(CopyEngine, StopPromptNoGoesOnYesStopsAndKeepsTheOldFile)
{
    FakeCopyRoutine fake;
    g_list = &list;
    g_owner = owner.Handle();
    g_requestReports.clear();
    OwnerWindow::onApp = RequestFromHandler;
    std::string old = RandomBytes(5000, 6);
    WriteBytes(outDir() + "\\a.bin", old);
    std::string outA = AddFile("a.bin", RandomBytes(6 << 20, 7));
    std::string outB = AddFile("b.bin", "b");
    boxes.answers = {IDNO, IDYES};
    // The No answer posts a second request with the caller's own text; only the pump can
    // deliver it.
    boxes.hook = [] {
        if (g_requestReports.size() == 1)
            PostMessageA(g_owner, WM_APP, 1, 0);
    };
    PostMessageA(owner.Handle(), WM_APP, 0, 0);

    EXPECT_EQ(list.CopyAll(owner.Handle(), bar.Handle(), OwnerWindow::kStatusId, kRange), 0);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, "中止しますか？");
    EXPECT_EQ(boxes.boxes[0].caption, "ファイルコピー");
    EXPECT_EQ(boxes.boxes[0].style, kPromptStyle);
    EXPECT_EQ(boxes.boxes[0].owner, owner.Handle());
    EXPECT_EQ(boxes.boxes[1].text, "本当に止めますか");
    EXPECT_EQ(boxes.boxes[1].caption, "確認");
    // The first request came at the first report, the second one report later.
    EXPECT_EQ(g_requestReports, (std::vector<int>{0, 1}));
    EXPECT_EQ(list.GetCancelFlag(), TRUE);
    EXPECT_EQ(FakeCopyRoutine::Calls().size(), 1u);
    EXPECT_EQ(ReadBytes(outA), old);
    EXPECT_FALSE(Exists(TempOf(outA)));
    EXPECT_FALSE(Exists(outB));
}

TEST_F(CopyEngine, StopAnsweredAtTheLastReportOfACompletedCopyStillKeepsTheOldFile)
{
    // Wine's routine ignores the cancel flag and finishes; the player's Yes must still win.
    FakeCopyOptions options;
    options.honourCancel = false;
    options.onReport = [](int report) {
        if (report == 1)
            g_list->RequestAbort(nullptr, nullptr);  // shown at report 2, the last one
    };
    FakeCopyRoutine fake(options);
    g_list = &list;
    std::string old = "old contents";
    WriteBytes(outDir() + "\\a.bin", old);
    std::string outA = AddFile("a.bin", RandomBytes(2 << 20, 8));
    // A request made before the run is cleared by the measuring pass and never shown.
    list.RequestAbort(nullptr, nullptr);
    boxes.answers = {IDYES};
    EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, kRange), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].owner, nullptr);
    EXPECT_EQ(FakeCopyRoutine::Reports(), 3);
    EXPECT_EQ(ReadBytes(outA), old);
    EXPECT_FALSE(Exists(TempOf(outA)));
}

TEST_F(CopyEngine, PumpDispatchesEveryWindowsMessagesWithoutAnOwner)
{
    FakeCopyRoutine fake;
    g_requestReports.clear();
    OwnerWindow::onApp = [](WPARAM) { g_requestReports.push_back(FakeCopyRoutine::Reports()); };
    AddFile("a.bin", RandomBytes(2 << 20, 9));
    PostMessageA(owner.Handle(), WM_APP, 0, 0);
    EXPECT_EQ(list.CopyAll(nullptr, nullptr, 0, kRange), 1);
    EXPECT_EQ(g_requestReports, (std::vector<int>{0}));
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
