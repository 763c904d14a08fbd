// demo-kit: writes the data folder of a fresh installation of the demo product.
//
//   demo-kit --out DATAFOLDER [--installation-folder-name NAME] [--window-name TITLE]
//            [--installation-id ID] [--bundle-id ID] [--display-name NAME] [--control NAME]
//            [--data NAME]
//
// The patch files named by --control and --data (default "patch.txt" and "patch.bin") are not
// written: the patch builder makes them, from an empty folder to the product's files.

#include "DemoKit.h"

#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"

#include <cstdio>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: demo-kit --out DATAFOLDER [--installation-folder-name NAME] [--window-name TITLE]\n"
                         "                [--installation-id ID] [--bundle-id ID] [--display-name NAME]\n"
                         "                [--control NAME] [--data NAME]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    CXDebugSetBreakEnabled(false);
    DNInitBuiltInTranslators();
    demokit::Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        std::string value = argv[++i];
        if (option == "--out")
            options.out = value;
        else if (option == "--installation-folder-name")
            options.installationFolderName = value;
        else if (option == "--window-name")
            options.windowName = value;
        else if (option == "--installation-id")
            options.installationId = value;
        else if (option == "--bundle-id")
            options.applicationBundleId = value;
        else if (option == "--display-name")
            options.displayName = value;
        else if (option == "--control")
            options.patchControlFile = value;
        else if (option == "--data")
            options.patchDataFile = value;
        else
            return Usage();
    }
    if (options.out.empty())
        return Usage();
    std::string problem;
    if (!demokit::WriteDataFolder(options, &problem)) {
        std::fprintf(stderr, "demo-kit: %s\n", problem.c_str());
        return 1;
    }
    std::printf("demo data written to %s\n", options.out.c_str());
    return 0;
}
