// The installer's entry point: framework start-up, the command line (which ends the process for
// the headless patch check), the configuration and the localised texts.

#include "app/MervaneConfiguration.h"
#include "app/MervaneOptions.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXCrashHandler.h"
#include "foundation/CXDebug.h"
#include "foundation/CXPath.h"
#include "foundation/CXRandom.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"

int main(int argc, char** argv)
{
    SeedRandom();
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();

    (void)ParseCommandLine(argc, argv);

    (void)SetApplicationFolderCurrent();
    DNInitBuiltInTranslators();
    InstallCrashHandler();
    (void)LoadLocales();

    CXDebugLog("main> the windowed installer is not built yet; only --checkforpatch and --settings run");

    CXTaskHost::ExitCurrentThreadTaskHost();
    CXThread::CXShutdown();
    return 2;
}
