// The packaged update end to end: the real gssetup.exe run as "gssetup packaged" over an
// installation whose archives need the update, watched from outside; and the merge in this
// process where the program refuses earlier (a full drive, an over-long path).
#include "../pack/PakKit.h"
#include "E2E.h"
#include "pack/PakFile.h"
#include "base/GsText.h"
#include "ui/GsMessageBox.h"
#include "update/InstallDialog.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const char kMerged[] = "=5/1 b.dat=3/1 A.DAT=*/2 c.dat=5/1 flags 2 | ";
const char kOld[] = "a.dat=5/1 b.dat=3/1 flags 0 | ";
const char kFailed[] = "ファイルの更新に失敗しました";

// Old: a.dat 5 bytes and b.dat 3 bytes, version 1. Update: A.DAT of bigSize, version 2, and c.dat.
void MakePak(const std::string& path, bool update, size_t bigSize)
{
    const pak_kit::Bytes pak = update ? pak_kit::Pak({{"A.DAT", std::string(bigSize, 'a'), 2, 0}, {"c.dat", "bbbbb", 1, 0}}, 0x1234)
                                      : pak_kit::Pak({{"a.dat", "aaaaa", 1, 0}, {"b.dat", "bbb", 1, 0}}, 0x1234);
    ASSERT_TRUE(Write(path, std::string(pak.begin(), pak.end()))) << path;
}

std::vector<std::string> g_boxes;

class PackagedE2E : public testing::Test {
protected:
    // An installation in gameRoot with Ext 1; the update medium (gssetup.exe and ZUNA) in root.
    void Arrange(const std::string& root, size_t bigSize, const std::string& gameRoot)
    {
        game_ = gameRoot + "\\game";
        disc_ = root + "\\disc";
        for (const char* name : kArchives) {
            MakePak(game_ + "\\" + name, false, 0);
            MakePak(disc_ + "\\ZUNA\\" + name, true, bigSize);
        }
        Record(game_, 1);
        ASSERT_TRUE(CopyFileA(Bin("gssetup.exe").c_str(), (disc_ + "\\gssetup.exe").c_str(), FALSE));
    }
    // Per archive: name=size/version of every entry (a big size as *), and the flags.
    std::string Listings()
    {
        std::string out;
        for (const char* name : kArchives) {
            CPakFile file;
            PakArchive pak;
            if (!file.Open((game_ + "\\" + name).c_str(), CPakFile::kRead) || !ReadPak(file, pak, &out)) return out;
            for (uint32_t i = 0, size; i < pak.Count(); ++i)
                out += std::string(reinterpret_cast<const char*>(pak.Entry(i))) + "=" +
                       ((size = PakGet32(pak.Entry(i), PAK_SIZE)) > 100 ? "*" : std::to_string(size)) + "/" +
                       std::to_string(PakGet32(pak.Entry(i), PAK_VERSION)) + " ";
            out += "flags " + std::to_string(pak.Get(PAK_FLAGS)) + " | ";
        }
        return out;
    }
    // The notice's thread pumps no messages while it merges, so its caption is read the way
    // GetWindowTextA reads another process's top-level window: without a message.
    bool NoticeShown()
    {
        for (HWND w : FindWindows(setup_.Id(), "#32770", nullptr)) {
            char caption[64] = {};
            if (IsVisible(w) && GetWindowTextA(w, caption, sizeof caption) > 0 && std::string(caption) == "更新中")
                return true;
        }
        return false;
    }
    // One run: the notice shows while the archives merge; these 更新チェック boxes follow in
    // turn, each beside the notice but the last failure, which is told once it has gone.
    void Run(const std::vector<std::string>& boxes)
    {
        ASSERT_TRUE(setup_.Start(disc_ + "\\gssetup.exe", disc_, "packaged"));
        bool seen = false;
        for (DWORD start = GetTickCount(); !seen && setup_.Running() && GetTickCount() - start < kWait;)
            seen = NoticeShown();
        EXPECT_TRUE(seen) << "no notice during the merge";
        for (const std::string& text : boxes) {
            HWND box = WaitWindow(setup_.Id(), "#32770", "更新チェック", kWait);
            EXPECT_EQ(MessageBoxText(box), text);
            EXPECT_EQ(NoticeShown(), text != kFailed);
            Press(box, IDOK);
            for (int i = 0; i < 6000 && IsWindow(box); ++i)  // the next box may follow at once
                Sleep(10);
        }
        EXPECT_EQ(setup_.WaitExit(kWait), 1u);
    }

    std::string game_, disc_;
    Process setup_;
};

// A damaged update archive is named and stays unmerged while the others merge, with Ext as it
// was; once repaired, the next run merges it too and records the update.
TEST_F(PackagedE2E, DamagedThenRepaired)
{
    Arrange("C:\\gs-packaged", 8u << 20, "C:\\gs-packaged");
    const std::string damaged = disc_ + "\\ZUNA\\Graphic01.pak", graphic = Read(damaged);
    ASSERT_TRUE(Write(damaged, std::string(100, 'x')));
    Run({damaged + "\nファイルが開けません", kFailed});
    EXPECT_EQ(Listings(), std::string(kMerged) + kOld + kMerged);
    EXPECT_EQ(Ext(), 1);
    ASSERT_TRUE(Write(damaged, graphic));
    Run({});
    EXPECT_EQ(Listings(), std::string(kMerged) + kMerged + kMerged);
    EXPECT_EQ(Ext(), 3);
}

// The progress dialog's merge in this process, the install folder on the 8 MiB drive E:.
TEST_F(PackagedE2E, AFullDriveLeavesTheArchiveAsItWas)
{
    Arrange("C:\\gs-full", 1000, "E:\\pk");
    MakePak(disc_ + "\\ZUNA\\Voice01.pak", true, 9u << 20);  // more than the drive holds
    const std::string voice = Read(game_ + "\\Voice01.pak");
    const GsMessageBoxFn previous = SetGsMessageBoxHandler([](HWND, const wchar_t* text, const wchar_t* caption, UINT) {
        g_boxes.push_back(GsTextToCp932(caption) + "|" + GsTextToCp932(text));
        return IDOK;
    });
    EXPECT_EQ(CInstallDialog().ApplyPackagedUpdate(nullptr, game_.c_str(), (disc_ + "\\ZUNA").c_str(), 3, 0, 0, 2), 1);
    const std::string path = "C:\\" + std::string(300, 'x') + "\\Scr01.pak";  // refused, never cut
    EXPECT_EQ(CInstallDialog().MergeArchive(path.c_str(), "C:\\Scr01.pak", 0, 2, 2), 0);
    SetGsMessageBoxHandler(previous);
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"更新チェック|ファイルの更新に失敗しました",
                                                 "更新チェック|" + path + "\nファイルが開けません"}));
    EXPECT_TRUE(Read(game_ + "\\Voice01.pak") == voice) << "the archive changed";
    EXPECT_EQ(Listings(), std::string(kMerged) + kMerged + kOld);
    EXPECT_EQ(Ext(), 1);
}

}  // namespace
