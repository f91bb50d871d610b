// The shipped media that tools/make-medium.sh lays out, run end to end: the release update.exe
// over an installation of the old game, and "gssetup.exe packaged" over another. Afterwards
// every installed archive holds exactly the new game's files. tests/run-in-prefix.sh makes both
// media from two generated game trees and passes GS_MEDIA: plain\ and packaged\ (the media),
// old\ (the installed archives) and new\ (the new game's archives).
#include "E2E.h"
#include "pack/PakFile.h"

#include <gtest/gtest.h>

#include <map>

using namespace e2e;

namespace {

// Every live entry as name=bytes, in name order: what the game reads from the archive.
std::string Files(const std::string& path)
{
    CPakFile file;
    PakArchive pak;
    std::string problem;
    if (!file.Open(path.c_str(), CPakFile::kRead) || !ReadPak(file, pak, &problem))
        return path + ": " + problem;
    std::map<std::string, std::string> files;
    for (uint32_t i = 0; i < pak.Count(); ++i) {
        const unsigned char* e = pak.Entry(i);
        std::string data(PakGet32(e, PAK_SIZE), '\0');
        if (e[0] != 0 && file.ReadAt(pak.Get(PAK_DATA_BASE) + uint64_t{PakGet32(e, PAK_OFFSET)}, &data[0], data.size()))
            files[reinterpret_cast<const char*>(e)] = data;
    }
    std::string out;
    for (const auto& [name, data] : files)
        out += name + "=" + data + ";";
    return out;
}

}  // namespace

TEST(MediumE2E, UpdateAndPackagedUpdateFromMadeMediaInstallTheNewGame)
{
    const char* media = std::getenv("GS_MEDIA");
    if (media == nullptr)
        GTEST_SKIP() << "needs tests/run-in-prefix.sh";
    for (const std::string kind : {"plain", "packaged"}) {
        SCOPED_TRACE(kind);
        const std::string game = "C:\\gs-e2e\\medium-" + kind, medium = media + ("\\" + kind);
        for (const char* name : kArchives) {
            SHCreateDirectoryExA(nullptr, game.c_str(), nullptr);
            ASSERT_TRUE(CopyFileA((media + std::string("\\old\\") + name).c_str(), (game + "\\" + name).c_str(), FALSE));
        }
        Record(game, 1);
        Process app;
        ASSERT_TRUE(kind == "plain" ? app.Start(medium + "\\update.exe", medium)
                                    : app.Start(medium + "\\gssetup.exe", medium, "packaged"));
        if (kind == "plain") {
            Press(WaitWindow(app.Id(), "#32770", "Quillamet　アップデート１", kWait), 1002);  // OK
            EXPECT_EQ(AnswerBox(app.Id(), "Update", kWait), "アップデート完了しました");
        }
        EXPECT_EQ(app.WaitExit(kWait), kind == "plain" ? 0u : 1u);
        app.Kill();
        for (const char* name : kArchives)
            EXPECT_EQ(Files(game + "\\" + name), Files(media + std::string("\\new\\") + name)) << name;
        EXPECT_EQ(Ext(), 3);
    }
}
