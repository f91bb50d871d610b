// Three archives made once and explained byte by byte with tools/pak-explain.py, which reads
// them by the format's description alone and shares no code with the program: a plain table, a
// compressed table, and a scrambled one that a merge left with a dead entry. The reader must list
// them exactly and the writer (with the merge, for the third) must make them again byte for
// byte; a reader and writer wrong in the same way pass a round trip, not this.
#include "PakKit.h"

#include <fstream>
#include <iterator>

using namespace pak_kit;

namespace {

Bytes Golden(const char* name)
{
    const std::string here = __FILE__;
    std::ifstream f(here.substr(0, here.find_last_of("/\\") + 1) + "golden/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

const std::string kBytes("\0\1\2\3\4", 5);
const std::vector<E> kScrambled = {{"a.dat", "Quillamet", 1, 10}, {"B.DAT", "abcabcabcabc", 1, 10}, {"c.dat", kBytes, 1, 10}};
const std::vector<E> kUpdate = {{"b.dat", "new-graphics!", 2, 10}, {"A.DAT", "Quillamet", 1, 10}, {"d.dat", "v", 1, 11}};

}  // namespace

TEST(PakGolden, ReaderListsThemExactlyAndWriterMakesThemAgain)
{
    Bytes scrambled = Pak(kScrambled, 0x15A, false, 1);
    ASSERT_EQ(Merge(Pak(kUpdate), scrambled), PakMergeResult::Merged);
    const struct {
        const char* file;
        Bytes made;
        std::string listing;
    } rows[] = {
        {"plain.pak", Pak({{"readme.txt", "Quillamet", 1, 0x01D0000000000001}, {"data\\a.bin", kBytes, 2, 5}}, 0, true),
         "readme.txt=Quillamet/1/130604389193744385 data\\a.bin=" + kBytes + "/2/5 "},
        {"compressed.pak",
         Pak({{"data\\\x95\x5C.dat", "abcabcabcabc", 3, 0x01D5A1B2C3D4E5F6}, {"Scr\\Ev01.bmp", kBytes, 1, 7},
              {"x", "SAVE", 0xFFFFFFFF, ~0ull}}, 0, false, 1),
         "data\\\x95\x5C.dat=abcabcabcabc/3/132189553239057910 Scr\\Ev01.bmp=" + kBytes +
             "/1/7 x=SAVE/4294967295/18446744073709551615 "},
        {"scrambled.pak", scrambled,
         "a.dat=Quillamet/1/10 =abcabcabcabc/1/10 c.dat=" + kBytes + "/1/10 b.dat=new-graphics!/2/10 d.dat=v/1/11 "},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        const Bytes golden = Golden(r.file);
        ASSERT_FALSE(golden.empty());
        PakArchive pak;
        EXPECT_EQ(Listing(golden, pak), r.listing);
        EXPECT_TRUE(golden == r.made) << "the writer no longer makes these bytes";
    }
}
