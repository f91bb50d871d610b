// The shipped media that tools/make-medium.sh lays out, run end to end over an installation of
// the old game: the release update.exe must leave the medium's archives, "gssetup.exe packaged"
// what a native merge makes of the old ones (tests/run-in-prefix.sh checks that this is the new
// game). GS_MEDIA holds plain\ and packaged\ (the media), installed\ and merged\.
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
