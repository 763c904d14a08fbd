#pragma once

#include "datanode/DNValue.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"

// Settings trees kept by label under one root and saved as TextConfig text to the settings file.
// Without a root the settings are not open and nothing can be saved.
class CXApplicationSettings : public DynamicReferenceCount {
public:
    CXApplicationSettings() = default;
    // Settings open on the root, saved to the file at the path (empty: kept in memory only).
    CXApplicationSettings(const CXString& path, const DNValueRef& root) : fPath(path), fRoot(root) {}

    // Stores the tree under the label (the label's entry is replaced, or appended), then writes
    // the whole root to the settings file, created afresh, when there is a path. Without open
    // settings it logs the label and changes nothing. A file that cannot be opened or written
    // is logged with its result.
    void SetSettingsByLabel(const CXString& label, const DNValueRef& tree);

    const CXString& GetPath() const { return fPath; }
    const DNValueRef& GetRoot() const { return fRoot; }

private:
    CXString fPath;
    DNValueRef fRoot;
};
