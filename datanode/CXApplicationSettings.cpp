#include "datanode/CXApplicationSettings.h"

#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "streams/CXStreamFile.h"

void CXApplicationSettings::SetSettingsByLabel(const CXString& label, const DNValueRef& tree)
{
    if (!fRoot) {
        CXDebugLog("CXApplicationSettings::SetSettingsByLabel> can't save settings '%s' while settings are not open",
                   label.c_str());
        return;
    }
    fRoot->SetChild(DNRawData::FromString(label), tree);
    if (fPath.IsEmpty())
        return;

    CXStreamFile file;
    if (!file.Open(fPath, CXStreamFile::kModeWrite | CXStreamFile::kModeCreate | CXStreamFile::kModeTruncate)) {
        CXDebugLog("CXApplicationSettings::SetSettingsByLabel> can't open '%s' (%d)", fPath.c_str(),
                   static_cast<int>(file.GetResult()));
        return;
    }
    CXResultCode written = TextConfig::Write(fRoot.get(), file, 0);
    CXResultCode closed = file.Close();
    CXResultCode result = written != kCXOK ? written : closed;
    if (result != kCXOK)
        CXDebugLog("CXApplicationSettings::SetSettingsByLabel> can't write '%s' (%d)", fPath.c_str(), static_cast<int>(result));
}
