// SHA-256 against FIPS 180's examples, with and without the processor's SHA instructions and fed
// in uneven pieces; the SHA256SUMS reader against what sha256sum writes and what it must refuse.
#include "base/GsSha256.h"
#include "files/GsSumList.h"

#include <gtest/gtest.h>

TEST(GsSha256, StandardVectorsWithAndWithoutShaInstructionsInUnevenPieces)
{
    const std::pair<std::string, const char*> vectors[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}};
    for (bool sha : {false, true}) {
        GsSha256 hash(sha);
        for (const auto& v : vectors) {
            for (size_t at = 0, piece = 1; at < v.first.size(); at += piece, piece = piece * 3 % 1000 + 1)
                hash.Update(v.first.data() + at, std::min(piece, v.first.size() - at));
            EXPECT_EQ(GsDigestHex(hash.Final()), v.second) << sha << " " << v.first.size();
        }
    }
    GsDigest d;
    EXPECT_TRUE(GsParseDigestHex(vectors[0].second, 64, &d) && GsDigestHex(d) == vectors[0].second);
}

TEST(GsSumList, ReadsSha256sumOutputAndRefusesBadLinesUnknownNamesAndSecondEntries)
{
    const std::string a(64, 'a'), b = "0123456789ABCDEF" + std::string(48, 'b');
    const std::vector<std::string> known = {"update.exe", "ZUNA/Scr01.pak", "ZUNA/Voice01.pak"};
    const struct {
        std::string text;
        GsSumError error;
        size_t line;
    } rows[] = {
        {a + "  update.exe\n" + b + " *zuna\\scr01.PAK\r\n", GsSumError::kNone, 3},
        {"", GsSumError::kNone, 1},
        {a + "  update.exe\n\n", GsSumError::kBadLine, 2},
        {a.substr(1) + "   update.exe", GsSumError::kBadLine, 1},
        {a + " update.exe", GsSumError::kBadLine, 1},
        {a.substr(1) + "g  update.exe", GsSumError::kBadLine, 1},
        {"\\" + a + "  ZUNA/Scr\\\\01.pak", GsSumError::kBadLine, 1},
        {a + "  ZUNA/Graphic01.pak", GsSumError::kUnknownName, 1},
        {a + "  ./update.exe", GsSumError::kUnknownName, 1},
        {a + "  ZUNA/Voice01.pak\n" + b + "  zuna\\VOICE01.pak\n", GsSumError::kDuplicate, 2},
    };
    for (const auto& row : rows) {
        GsSumList list;
        size_t line = 0;
        EXPECT_EQ(list.Parse(row.text, known, &line), row.error) << row.text;
        EXPECT_EQ(line, row.line) << row.text;
    }
    GsSumList list;
    size_t line;
    ASSERT_EQ(list.Parse(rows[0].text, known, &line), GsSumError::kNone);
    EXPECT_EQ(GsDigestHex(*list.Find("ZUNA\\Scr01.pak")), "0123456789abcdef" + std::string(48, 'b'));
    EXPECT_TRUE(list.Find("update.exe") != nullptr && list.Find("ZUNA/Voice01.pak") == nullptr);
}
