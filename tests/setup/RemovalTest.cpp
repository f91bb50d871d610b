// The removal on real files in a temporary folder; the desktop is the Wine prefix's own.
#include "setup/Removal.h"
#include "system/GsSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(Removal, DeletesListedFilesAndEmptyFoldersOnly)
{
    const std::string root = (fs::temp_directory_path() / "gs-removal").string() + "\\", in = "P\\KIRO\\Quillamet",
                      save = "D\\KIRO\\Quillamet", lnk = std::getenv("USERPROFILE") + std::string("\\Desktop\\Quillamet.lnk");
    // A sample of every list: first and last names, numbered archives, the movie, save slots.
    const char* const game[] = {"ZUNA.exe", "VoiceA.pak", "Scr01.pak", "Graphic10.pak", "SE10.pak", "Movie\\ZUNAOP.mpg"};
    const char* const saves[] = {"SysMsgFlag.dat", "Sysflag.dat", "DATA000.SAV", "DATA199.SAV"};
    const struct {
        std::string install, save;  // install: under root unless refused
        int removeSave, saveType;
        std::vector<std::string> extra, after;  // files made besides the game's; what stays ("-": goes)
        bool refused;                           // nothing at all may be deleted
    } rows[] = {
        {in, save, 0, 0, {}, {"-P"}, false},  // the parent chosen at install time goes too
        {in + "\\", save, 0, 0, {}, {"-P"}, false},
        {in, save, 0, 0, {in + "\\mine.txt"}, {in + "\\mine.txt"}, false},
        {in, in, 0, 2, {}, {in + "\\SAVE"}, false},
        {in, save, 1, 1, {"D\\x"}, {"D\\x", "-D\\KIRO", "-P"}, false},
        {in, save, 1, 1, {save + "\\SAVE\\DATA200.SAV"}, {save + "\\SAVE\\DATA200.SAV", "-P"}, false},
        {in, "D\\Quillamet", 1, 3, {"D\\x"}, {"D\\x", "-D\\Quillamet", "-P"}, false},
        {"", save, 0, 0, {}, {}, true},
        {"Quillamet", save, 0, 0, {}, {}, true},  // relative, from within P\KIRO
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.install + " " + r.save + " " + std::to_string(r.saveType));
        fs::current_path(fs::temp_directory_path()), fs::remove_all(root);
        std::vector<std::string> made = r.extra;
        for (const char* name : game) made.push_back(in + "\\" + name);
        for (const char* name : saves) made.push_back(r.save + "\\SAVE\\" + name);
        for (const std::string& path : made) {
            fs::create_directories(fs::path(root + path).parent_path());
            std::ofstream(root + path) << 'x';
        }
        std::ofstream(lnk) << 'x';
        const std::string install = r.refused ? r.install : root + r.install, saveDir = root + r.save;
        fs::current_path(r.refused ? root + "P\\KIRO" : root);
        EXPECT_EQ(RemoveInstallation(install.c_str(), saveDir.c_str(), r.removeSave, r.saveType), 1);
        EXPECT_EQ(fs::exists(lnk), r.refused);
        for (const char* name : game) EXPECT_EQ(fs::exists(root + in + "\\" + name), r.refused) << name;
        for (const char* name : saves) EXPECT_EQ(fs::exists(saveDir + "\\SAVE\\" + name), r.removeSave == 0) << name;
        for (const std::string& path : r.after)
            EXPECT_EQ(fs::exists(root + path.substr(path[0] == '-')), path[0] != '-') << path;
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(root);
}

// A failed install takes back only what it made: files and shortcut that were not there before,
// and the folders it created; a re-install's files and an empty parent that existed stay.
TEST(Removal, FailedInstallRemovesOnlyWhatTheRunMade)
{
    const fs::path root = fs::temp_directory_path() / "gs-failed";
    const std::string parent = root.string() + "\\P", install = parent + "\\KIRO\\Quillamet",
                      lnk = std::getenv("USERPROFILE") + std::string("\\Desktop\\Quillamet.lnk");
    for (bool reinstall : {false, true}) {
        SCOPED_TRACE(reinstall ? "over an installed game" : "into an empty parent");
        fs::remove_all(root), fs::remove(lnk);
        fs::create_directories(reinstall ? install + "\\Movie" : parent);
        if (reinstall)
            for (const std::string& had : {install + "\\ZUNA.exe", install + "\\Scr01.pak", install + "\\Movie\\ZUNAOP.mpg", lnk})
                std::ofstream(had) << 'x';
        CGsSystem system;
        CInstallTrail trail;
        EXPECT_EQ(0, RemoveFailedInstall(install.c_str(), trail)) << "not begun";
        ASSERT_EQ(1, trail.Begin(system, install.c_str()));
        ASSERT_TRUE(fs::is_directory(install));
        for (const std::string& made : {install + "\\Scr01.pak", install + "\\Graphic01.pak", lnk})  // what the run made
            std::ofstream(made) << "new";
        EXPECT_EQ(0, RemoveFailedInstall((install + "\\x").c_str(), trail)) << "another folder";
        EXPECT_TRUE(fs::exists(install + "\\Graphic01.pak"));
        EXPECT_EQ(1, RemoveFailedInstall((install + "\\").c_str(), trail));
        EXPECT_FALSE(fs::exists(install + "\\Graphic01.pak"));
        for (const std::string& had : {install + "\\Scr01.pak", install + "\\ZUNA.exe", install + "\\Movie\\ZUNAOP.mpg", lnk, install, parent + "\\KIRO"})
            EXPECT_EQ(reinstall, fs::exists(had)) << had;
        EXPECT_TRUE(fs::is_directory(parent)) << "existed before, even empty";
    }
    fs::remove_all(root);
    fs::remove(lnk);
}

TEST(Removal, CutLastPathPartStepsOverDoubleByteCharacters)
{
    for (auto [path, cut] : {std::pair<std::string, std::string>{"C:\\a\\b", "C:\\a"}, {"C:\\x\\\x95\x5C", "C:\\x"},  // 表
                             {"\\a", ""}, {"abc", ""}}) {
        std::string buffer = path;
        EXPECT_EQ(CutLastPathPart(&buffer[0]), cut.empty() ? 0 : 1) << path;
        EXPECT_EQ(buffer.c_str(), cut.empty() ? path : cut);
    }
}
