// patch-builder: makes a patch from an old and a new folder tree.
//
//   patch-builder --old DIR --new DIR --out DIR [--operations FILE] [--volume-size BYTES]
//                 [--block-size BYTES] [--control NAME] [--data NAME] [--fault KIND]
//
// Without --operations the operations come from comparing the two trees. With it, FILE is a
// control-file-like text whose "patch-operations" entries give "command", "source-filepath",
// "destination-filepath", "destination-permissions" and "flags"; checksums, efforts and data
// come from the trees. KIND is one of wrong-size, wrong-checksum, truncated-record, bad-command,
// newer-version, path-escape.

#include "PatchBuilder.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: patch-builder --old DIR --new DIR --out DIR [--operations FILE] [--volume-size BYTES]\n"
                 "                     [--block-size BYTES] [--control NAME] [--data NAME] [--fault KIND]\n");
    return 2;
}

bool ReadOperations(const std::string& path, std::vector<PatchBuilder::Operation>& operations)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(root, text.data(), text.size());
    std::vector<PatchOperation> parsed;
    if (!ParsePatchOperations(root.get(), parsed))
        return false;
    for (const PatchOperation& entry : parsed) {
        PatchBuilder::Operation operation;
        operation.command = entry.command;
        operation.source = std::string(entry.sourceFilepath.c_str(), entry.sourceFilepath.length());
        operation.destination = std::string(entry.destinationFilepath.c_str(), entry.destinationFilepath.length());
        operation.permissions = std::string(entry.destinationPermissions.c_str(), entry.destinationPermissions.length());
        operation.flags = entry.flags;
        operations.push_back(operation);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    CXDebugSetBreakEnabled(false);
    DNInitBuiltInTranslators();
    PatchBuilder::Options options;
    std::string operationsFile;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        std::string value = argv[++i];
        if (option == "--old")
            options.oldRoot = value;
        else if (option == "--new")
            options.newRoot = value;
        else if (option == "--out")
            options.outputFolder = value;
        else if (option == "--operations")
            operationsFile = value;
        else if (option == "--volume-size")
            options.volumeSize = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--block-size")
            options.blockSize = std::strtoull(value.c_str(), nullptr, 10);
        else if (option == "--control")
            options.controlName = value;
        else if (option == "--data")
            options.dataName = value;
        else if (option == "--fault") {
            if (!PatchBuilder::ParseFault(value, options.fault))
                return Usage();
        } else
            return Usage();
    }
    if (options.oldRoot.empty() || options.newRoot.empty() || options.outputFolder.empty())
        return Usage();

    std::vector<PatchBuilder::Operation> operations;
    std::string error;
    if (!operationsFile.empty()) {
        if (!ReadOperations(operationsFile, operations)) {
            std::fprintf(stderr, "patch-builder: cannot read operations from %s\n", operationsFile.c_str());
            return 1;
        }
    } else if (!PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error)) {
        std::fprintf(stderr, "patch-builder: %s\n", error.c_str());
        return 1;
    }
    if (!PatchBuilder::Build(options, operations, error)) {
        std::fprintf(stderr, "patch-builder: %s\n", error.c_str());
        return 1;
    }
    std::printf("%zu operations written to %s\n", operations.size(), options.outputFolder.c_str());
    return 0;
}
