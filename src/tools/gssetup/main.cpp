// gssetup: the framework's own setup program. It opens the install menu with no parent and
// exits with the menu's result: 0 cancelled, 1 installed (-1 when the menu cannot be shown).
// The install copies from the ZUNA folder beside the program.
// "gssetup packaged" runs the packaged update instead, with no owner window, and exits with
// its result: 1 when the merge ran, 0 when a check refused it.
// Like the update, it runs once at a time and never beside the update: a start while either
// runs leaves silently with exit code 0.
#include "app/GsAppFrame.h"
#include "app/GsDualBoot.h"
#include "res/resource.h"
#include "update/SetupDialog.h"

#include <memory>

namespace {

class CSetupAppFrame : public CGsAppFrame {
public:
    int Run(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd) override
    {
        InitModuleInfo(instance, prevInstance, cmdLine, showCmd);
        CGsDualBoot guards[2];  // held until Run returns
        if (!GsTakeProgramNames(instance, guards))
            return 0;
        auto setup = std::make_unique<CSetupDialog>();
        if (cmdLine != nullptr && lstrcmpiA(cmdLine, "packaged") == 0)
            return setup->RunPackagedUpdate(nullptr);
        return setup->Open(nullptr, IDD_SETUP);
    }
};

CSetupAppFrame s_appFrame;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int showCmd)
{
    return GsRunAppFrame(instance, prevInstance, cmdLine, showCmd);
}
