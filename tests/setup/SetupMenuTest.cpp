// The install menu's space decision, with the free-space query steered.
#include "update/SetupDialog.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

ULONGLONG g_freeBytes = 0;
BOOL g_queryWorks = TRUE;
BOOL WINAPI FakeDiskFree(LPCSTR, PULARGE_INTEGER available, PULARGE_INTEGER, PULARGE_INTEGER totalFree)
{
    available->QuadPart = totalFree->QuadPart = g_freeBytes;
    return g_queryWorks;
}

class SteeredSetup : public CSetupDialog {
public:
    explicit SteeredSetup(const GsSystemPlatform& platform) { m_system = CGsSystem(platform); }
};

}  // namespace

TEST(SetupMenu, HasEnoughSpaceOnlyWithKnownRoomForTheInstallSize)
{
    GsSystemPlatform platform = GsRealSystemPlatform();
    platform.findDiskFreeEx = [] { return GsSystemPlatform::DiskFreeExFn(FakeDiskFree); };
    SteeredSetup setup(platform);  // TYPE-A: 1800 MB
    const ULONGLONG need = 1800ull * 1048576;
    for (auto [freeBytes, works, enough] : {std::tuple{need, TRUE, 1}, {need - 1, TRUE, 0}, {need << 12, TRUE, 1}, {need, FALSE, 0}}) {
        g_freeBytes = freeBytes, g_queryWorks = works;
        EXPECT_EQ(setup.HasEnoughSpace("D:\\Games\\KIRO\\Quillamet"), enough) << freeBytes << " " << works;
    }
}
