// The packaged update end to end: the real gssetup.exe run as "gssetup packaged" over an
// installation whose archives need the update, watched from outside; and the merge on a full
// drive (E:, an 8 MiB tmpfs).
#include "Driver.h"
#include "pack/PakFile.h"
#include "ui/GsMessageBox.h"
#include "update/InstallDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace e2e;

namespace {

const char* const kArchives[] = {"Scr01.pak", "Graphic01.pak", "Voice01.pak"};
const char kMerged[] = "=5/1 b.dat=3/1 A.DAT=*/0 c.dat=5/0 flags 2 | ";
const char kOld[] = "a.dat=5/1 b.dat=3/1 flags 0 | ";
const DWORD kWait = 60000;

std::string Read(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// Old: a.dat 5 bytes and b.dat 3 bytes, version 1. Update: A.DAT of bigSize, version 2, and c.dat.
void MakePak(const std::string& path, bool update, size_t bigSize)
{
    CPakMemory bytes[2];
    bytes[0].bytes.assign(update ? bigSize : 5, 'a');
    bytes[1].bytes.assign(update ? 5 : 3, 'b');
    std::vector<PakNewEntry> list = {{update ? "A.DAT" : "a.dat", update ? 2u : 1u, 0, &bytes[0], 0, uint32_t(bytes[0].bytes.size())},
                                     {update ? "c.dat" : "b.dat", 1, 0, &bytes[1], 0, uint32_t(bytes[1].bytes.size())}};
    CPakFile out;
    ASSERT_TRUE(out.Open(path.c_str(), CPakFile::kCreate) && WritePak(out, nullptr, 0, 0x1234, list, false, nullptr)) << path;
}

long long Ext()
{
    DWORD value = 0, size = sizeof(value);
    return RegGetValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Ext", RRF_RT_REG_DWORD, nullptr, &value, &size) ==
                   ERROR_SUCCESS ? value : -1;
}

class PackagedE2E : public testing::Test {
protected:
    // An installation in gameRoot with Ext 1; the update medium (gssetup.exe and ZUNA) in root.
    void Arrange(const std::string& root, size_t bigSize, const char* damaged = nullptr, std::string gameRoot = "")
    {
        gameRoot = gameRoot.empty() ? root : gameRoot;
        game_ = gameRoot + "\\game";
        disc_ = root + "\\disc";
        for (const std::string& dir : {root, gameRoot, game_, disc_, disc_ + "\\ZUNA"})
            CreateDirectoryA(dir.c_str(), nullptr);
        for (const char* name : kArchives) {
            MakePak(game_ + "\\" + name, false, 0);
            MakePak(disc_ + "\\ZUNA\\" + name, true, bigSize);
            if (damaged != nullptr && std::string(name) == damaged)
                std::ofstream(disc_ + "\\ZUNA\\" + name, std::ios::binary) << std::string(100, 'x');
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KIRO");
        RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Path", REG_SZ, game_.c_str(), DWORD(game_.size() + 1));
        const DWORD one = 1;
        RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\KIRO\\ZUNA", "Ext", REG_DWORD, &one, sizeof one);
        const std::string update = std::getenv("GS_UPDATE_EXE") ? std::getenv("GS_UPDATE_EXE") : "";
        ASSERT_FALSE(update.empty()) << "run through tests/e2e/run-e2e.sh";
        ASSERT_TRUE(CopyFileA((update.substr(0, update.rfind('\\')) + "\\gssetup.exe").c_str(), (disc_ + "\\gssetup.exe").c_str(), FALSE));
    }
    // Per archive: name=size/version of every entry (a big size as *), and the flags.
    std::string Listings()
    {
        std::string out;
        for (const char* name : kArchives) {
            CPakFile file;
            PakArchive pak;
            if (!file.Open((game_ + "\\" + name).c_str(), CPakFile::kRead) || !ReadPak(file, pak, &out))
                return out;
            for (uint32_t i = 0, size; i < pak.Count(); ++i)
                out += std::string(reinterpret_cast<const char*>(pak.Entry(i))) + "=" +
                       ((size = PakGet32(pak.Entry(i), PAK_SIZE)) > 100 ? "*" : std::to_string(size)) + "/" +
                       std::to_string(PakGet32(pak.Entry(i), PAK_VERSION)) + " ";
            out += "flags " + std::to_string(pak.Get(PAK_FLAGS)) + " | ";
        }
        return out;
    }
    std::string Bytes() { return Read(game_ + "\\Scr01.pak") + Read(game_ + "\\Graphic01.pak") + Read(game_ + "\\Voice01.pak"); }
    bool Start() { return setup_.Start(disc_ + "\\gssetup.exe", disc_, "packaged"); }
    HWND Box() { return WaitWindow(setup_.Id(), "#32770", "更新チェック", kWait); }
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

    std::string game_, disc_;
    Process setup_;
};

std::vector<std::string> g_boxes;
int RecordBox(HWND, const char* text, const char* caption, UINT)
{
    g_boxes.push_back(std::string(caption) + "|" + text);
    return IDOK;
}

}  // namespace

TEST_F(PackagedE2E, MergesAllThreeUnderTheNoticeOnce)
{
    Arrange("C:\\gs-packaged", 8u << 20);
    ASSERT_TRUE(Start());
    bool seen = false;
    while (!seen && setup_.Running())
        seen = NoticeShown();
    EXPECT_TRUE(seen) << "no notice during the merge";
    EXPECT_EQ(setup_.WaitExit(kWait), 1u);
    EXPECT_EQ(Listings(), std::string(kMerged) + kMerged + kMerged);
    EXPECT_EQ(Ext(), 3);
    const std::string once = Bytes();
    ASSERT_TRUE(Start());
    EXPECT_EQ(setup_.WaitExit(kWait), 1u);
    EXPECT_TRUE(Bytes() == once) << "the second run changed an archive";
}

TEST_F(PackagedE2E, ADamagedArchiveIsNamedAndTheOthersStillMerge)
{
    Arrange("C:\\gs-damaged", 1000, "Graphic01.pak");
    ASSERT_TRUE(Start());
    HWND box = Box();
    EXPECT_EQ(MessageBoxText(box), disc_ + "\\ZUNA\\Graphic01.pak\nファイルが開けません");
    EXPECT_TRUE(NoticeShown());
    Press(box, IDOK);
    // The next box has the same caption and may come sooner than a caption poll sees a gap.
    for (DWORD waited = 0; IsWindow(box) && waited < kWait; waited += 10)
        Sleep(10);
    EXPECT_EQ(MessageBoxText(box = Box()), "ファイルの更新に失敗しました");
    EXPECT_FALSE(NoticeShown()) << "the notice outlived the merge";
    Press(box, IDOK);
    EXPECT_EQ(setup_.WaitExit(kWait), 1u);
    EXPECT_EQ(Listings(), std::string(kMerged) + kOld + kMerged);
    EXPECT_EQ(Ext(), 1);
}

// The progress dialog's merge in this process, the install folder on an 8 MiB drive.
TEST_F(PackagedE2E, AFullDriveLeavesTheArchiveAsItWas)
{
    const char* small = std::getenv("GS_E2E_SMALL_DRIVE");
    if (small == nullptr)
        GTEST_SKIP() << "no small drive (needs root for a tmpfs)";
    Arrange("C:\\gs-full", 1000, nullptr, std::string(small) + "\\pk");
    MakePak(disc_ + "\\ZUNA\\Voice01.pak", true, 9u << 20);  // more than the drive holds
    const std::string voice = Read(game_ + "\\Voice01.pak");
    const GsMessageBoxFn previous = SetGsMessageBoxHandler(RecordBox);
    CInstallDialog dialog;
    EXPECT_EQ(dialog.ApplyPackagedUpdate(nullptr, game_.c_str(), (disc_ + "\\ZUNA").c_str(), 3, 0, 0, 2), 1);
    SetGsMessageBoxHandler(previous);
    EXPECT_EQ(g_boxes, std::vector<std::string>{"更新チェック|ファイルの更新に失敗しました"});
    EXPECT_TRUE(Read(game_ + "\\Voice01.pak") == voice) << "the archive changed";
    EXPECT_EQ(Listings(), std::string(kMerged) + kMerged + kOld);
    EXPECT_EQ(Ext(), 1);
}

TEST(PackagedMerge, AnOverLongPathIsRefusedWithTheOpenMessage)
{
    const std::string path = "C:\\" + std::string(300, 'x') + "\\Scr01.pak";
    g_boxes.clear();
    const GsMessageBoxFn previous = SetGsMessageBoxHandler(RecordBox);
    EXPECT_EQ(CInstallDialog().MergeArchive(path.c_str(), "C:\\Scr01.pak", 0, 2, 2), 0);
    SetGsMessageBoxHandler(previous);
    EXPECT_EQ(g_boxes, std::vector<std::string>{"更新チェック|" + path + "\nファイルが開けません"});
}
