// The removal on real files in a temporary folder; the desktop is the Wine prefix's own.
#include "setup/Removal.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A sample of every list: the first and last names, numbered archives, the movie.
const std::vector<std::string> kGame = {"ZUNA.exe", "VoiceA.pak", "Scr01.pak", "Graphic10.pak", "SE10.pak",
                                        "Movie\\ZUNAOP.mpg"};
const std::vector<std::string> kSave = {"SysMsgFlag.dat", "Sysflag.dat", "DATA000.SAV", "DATA199.SAV"};

struct Row {
    std::string install, save;  // under the temporary folder (install: as given when refused)
    int removeSave, saveType;
    std::vector<std::string> extra, kept, gone;  // files made besides the game's; what stays; what goes
    bool refused = false;                        // nothing at all may be deleted
};

std::string Desktop()
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path);
    return path;
}

}  // namespace

TEST(Removal, DeletesListedFilesAndEmptyFoldersOnly)
{
    const std::string root = (fs::temp_directory_path() / "gs-removal").string();
    const std::string in = "P\\KIRO\\Quillamet", save = "D\\KIRO\\Quillamet";
    const Row rows[] = {
        {in, "", 0, 0, {}, {}, {"P"}},  // the parent chosen at install time goes too
        {in + "\\", "", 0, 0, {}, {}, {"P"}},
        {in, "", 0, 0, {in + "\\mine.txt"}, {in + "\\mine.txt"}, {}},
        {in, in, 0, 2, {}, {in + "\\SAVE"}, {}},
        {in, save, 1, 1, {"D\\x"}, {"D\\x"}, {"D\\KIRO", "P"}},
        {in, save, 1, 1, {save + "\\SAVE\\DATA200.SAV"}, {save + "\\SAVE\\DATA200.SAV"}, {"P"}},
        {in, "D\\Quillamet", 1, 3, {"D\\x"}, {"D\\x"}, {"D\\Quillamet", "P"}},
        {"", "", 0, 0, {}, {}, {}, true},
        {"Quillamet", "", 0, 0, {}, {}, {}, true},  // relative, from within P\KIRO
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.install.substr(0, 20) + " " + r.save + " " + std::to_string(r.saveType));
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(root);
        const std::string saveDir = root + "\\" + (r.save.empty() ? save : r.save);
        std::vector<std::string> made = r.extra;
        for (const std::string& name : kGame)
            made.push_back(in + "\\" + name);
        for (const std::string& name : kSave)
            made.push_back(saveDir.substr(root.size() + 1) + "\\SAVE\\" + name);
        for (const std::string& path : made) {
            fs::create_directories(fs::path(root + "\\" + path).parent_path());
            std::ofstream(root + "\\" + path) << 'x';
        }
        std::ofstream(Desktop() + "\\Quillamet.lnk") << 'x';
        if (r.refused)
            fs::current_path(root + "\\P\\KIRO");
        const std::string install = r.refused ? r.install : root + "\\" + r.install;
        const int result = r.removeSave || r.saveType ? RemoveInstallation(install.c_str(), saveDir.c_str(), r.removeSave, r.saveType)
                                                      : RemoveFailedInstall(install.c_str(), saveDir.c_str());
        EXPECT_EQ(result, install.empty() ? 0 : 1);
        EXPECT_EQ(fs::exists(Desktop() + "\\Quillamet.lnk"), r.refused);
        for (const std::string& name : kGame)
            EXPECT_EQ(fs::exists(root + "\\" + in + "\\" + name), r.refused) << name;
        for (const std::string& name : kSave)
            EXPECT_EQ(fs::exists(saveDir + "\\SAVE\\" + name), r.removeSave == 0) << name;
        for (const std::string& path : r.kept)
            EXPECT_TRUE(fs::exists(root + "\\" + path)) << path;
        for (const std::string& path : r.gone)
            EXPECT_FALSE(fs::exists(root + "\\" + path)) << path;
        EXPECT_TRUE(fs::exists(root)) << "nothing above the chosen parent";
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(root);
}

TEST(Removal, CutLastPathPartStepsOverDoubleByteCharacters)
{
    const struct {
        const char *path, *cut;
        int result;
    } rows[] = {
        {"C:\\a\\b", "C:\\a", 1}, {"C:\\a\\", "C:\\a", 1}, {"C:\\x\\\x95\x5C", "C:\\x", 1},  // 表 ends in 0x5C
        {"\\a", "\\a", 0},        {"abc", "abc", 0},
    };
    for (const auto& r : rows) {
        char path[MAX_PATH];
        lstrcpynA(path, r.path, MAX_PATH);
        EXPECT_EQ(CutLastPathPart(path), r.result) << r.path;
        EXPECT_STREQ(path, r.cut);
    }
}
