// The shipped media that tools/make-medium.sh lays out, run end to end over an installation of
// the old game: the release update.exe must leave the medium's archives, "gssetup.exe packaged"
// what a native merge makes of the old ones (tests/run-in-prefix.sh checks that this is the new
// game). GS_MEDIA holds plain\ and packaged\ (the media), installed\ and merged\. Each medium is
// first run with Graphic01.pak cut short, then with one byte of it changed: SHA256SUMS stops it.
#include "E2E.h"

#include <gtest/gtest.h>

using namespace e2e;

TEST(MediumE2E, UpdateAndPackagedUpdateFromMadeMediaInstallTheNewGame)
{
    const char* media = std::getenv("GS_MEDIA");
    if (media == nullptr)
        GTEST_SKIP() << "needs tests/run-in-prefix.sh";
    for (const std::string kind : {"plain", "packaged"}) {
        SCOPED_TRACE(kind);
        const bool plain = kind == "plain";
        const std::string game = "C:\\gs-e2e\\medium-" + kind, medium = media + ("\\" + kind);
        SHCreateDirectoryExA(nullptr, game.c_str(), nullptr);
        for (const char* name : kArchives)
            ASSERT_TRUE(CopyFileA((media + std::string("\\installed\\") + name).c_str(), (game + "\\" + name).c_str(), FALSE));
        Record(game, 1);
        for (const bool cut : {true, false}) {
            SCOPED_TRACE(cut ? "cut short" : "one byte changed");
            const std::string damaged = game + (cut ? "-cut" : "-changed"), victim = "\\ZUNA\\Graphic01.pak";
            for (const char* file : {plain ? "\\update.exe" : "\\gssetup.exe", "\\SHA256SUMS", "\\ZUNA\\Scr01.pak", "\\ZUNA\\Voice01.pak"})
                ASSERT_TRUE(Write(damaged + file, Read(medium + file)));
            std::string bytes = Read(medium + victim);
            cut ? bytes.resize(bytes.size() / 2) : void(bytes[bytes.size() / 2] ^= 0x10);
            ASSERT_TRUE(Write(damaged + victim, bytes));
            Process bad;
            ASSERT_TRUE(plain ? bad.Start(damaged + "\\update.exe", damaged) : bad.Start(damaged + "\\gssetup.exe", damaged, "packaged"));
            if (plain) Press(WaitWindow(bad.Id(), "#32770", "Quillamet　アップデート１", kWait), 1002);
            EXPECT_EQ(AnswerBox(bad.Id(), "file check error", kWait), damaged + victim + "\r\nファイルが壊れています (SHA256SUMS と一致しません)");
            HWND back = plain ? WaitWindow(bad.Id(), "#32770", "Quillamet　アップデート１", kWait) : nullptr;
            for (DWORD t = 0; back != nullptr && !IsWindowEnabled(back) && t < kWait; t += 10) Sleep(10);  // the copy's dialog ends first
            if (plain) Press(back, 1001);  // Cancel
            else EXPECT_EQ(AnswerBox(bad.Id(), "更新チェック", kWait), "ファイルの更新に失敗しました");
            EXPECT_EQ(bad.WaitExit(kWait), plain ? 0u : 1u);
            bad.Kill();
            EXPECT_EQ(Read(game + "\\Graphic01.pak"), Read(media + std::string("\\installed\\Graphic01.pak")));
            for (const char* name : kArchives) {
                const std::string now = Read(game + "\\" + name);
                EXPECT_TRUE(now == Read(media + std::string("\\installed\\") + name) ||
                            now == Read(std::string(media) + (plain ? "\\plain\\ZUNA\\" : "\\merged\\") + name)) << name;
            }
            EXPECT_EQ(Ext(), 1);
        }
        Process app;
        ASSERT_TRUE(plain ? app.Start(medium + "\\update.exe", medium) : app.Start(medium + "\\gssetup.exe", medium, "packaged"));
        if (plain) {
            Press(WaitWindow(app.Id(), "#32770", "Quillamet　アップデート１", kWait), 1002);  // OK
            EXPECT_EQ(AnswerBox(app.Id(), "Update", kWait), "アップデート完了しました");
        }
        EXPECT_EQ(app.WaitExit(kWait), plain ? 0u : 1u);
        app.Kill();
        for (const char* name : kArchives)
            EXPECT_TRUE(Read(game + "\\" + name) == Read(std::string(media) + (plain ? "\\plain\\ZUNA\\" : "\\merged\\") + name)) << name;
        EXPECT_EQ(Ext(), 3);
    }
}

// Wine shows no elevation prompt, so the built programs' manifests are read: Windows asks an
// administrator once and runs a standard user as himself, where the install record lives.
TEST(Manifest, BothProgramsAskForTheHighestAvailableLevel)
{
    for (const char* name : {"update.exe", "gssetup.exe"}) {
        HMODULE m = LoadLibraryExA(Bin(name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HRSRC r = m != nullptr ? FindResourceA(m, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)) : nullptr;  // RT_MANIFEST
        ASSERT_NE(r, nullptr) << name;
        const std::string xml(static_cast<const char*>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
        EXPECT_NE(xml.find("<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>"), std::string::npos) << name;
        FreeLibrary(m);
    }
}
