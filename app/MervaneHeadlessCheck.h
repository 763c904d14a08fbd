#pragma once

#include "app/MervaneSettings.h"
#include "foundation/CXString.h"

// Exit codes of the headless patch check.
inline constexpr int kCheckNoPatch = 0;
inline constexpr int kCheckPatchAvailable = 1;
inline constexpr int kCheckFailed = 2;
inline constexpr int kCheckAccountProblem = 3;

// Answers whether a patch is available for the installation in TargetPath, as an exit code. The
// build is the MD5 digest of the anchor file in the target (a missing file fails before any
// request). Without a stream id in the settings the account check runs first and stores the
// account's default stream in the settings (in memory only); then the patch query runs. Requests
// go to serviceURL (see WebServiceBaseURL; empty fails) with LocaleCode. Prints nothing and
// saves nothing.
int CheckForPatch(const CXString& serviceURL, const CXString& anchorFile, const CXString& bundleId, PatchSettings& settings);

// The digest of a target's anchor file: 32 lower-case hexadecimal digits, or empty when the file
// cannot be read.
CXString ComputeBuildId(const CXString& targetPath, const CXString& anchorFile);
