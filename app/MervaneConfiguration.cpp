#include "app/MervaneConfiguration.h"

#include "datanode/CXLocalisation.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/TextConfig.h"
#include "foundation/CXPath.h"
#include "foundation/CXSystemCall.h"
#include "streams/CXStreamFile.h"

DNValueRef ConfigTree;

namespace {

// Locale codes compare without letter case, '_' and '-' alike.
bool SameLocaleCode(const CXString& a, const CXString& b)
{
    if (a.length() != b.length())
        return false;
    for (size_t i = 0; i < a.length(); ++i) {
        char x = a.c_str()[i] == '_' ? '-' : a.c_str()[i];
        char y = b.c_str()[i] == '_' ? '-' : b.c_str()[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

DNValueRef ReadConfigurationFile()
{
    CXStreamFile file;
    if (!file.Open(GetDataFolderFilepath(kConfigurationFileName), CXStreamFile::kModeRead))
        return DNAdopt<DNValue>(new DNMemoryValue);
    return TextConfig::Read(file);
}

CXString ConfigString(DNValue* folder, const char* key)
{
    if (folder == nullptr)
        return CXString();
    return folder->Find(DNRawData(key))->GetValue()->GetString();
}

CXString ChooseLocaleCode(const std::vector<CXString>& available, const std::vector<CXString>& matching)
{
    if (available.empty())
        return CXString();
    for (const CXString& match : matching) {
        for (const CXString& code : available) {
            if (SameLocaleCode(code, match))
                return code;
        }
    }
    for (const CXString& code : available) {
        if (code == "en")
            return code;
    }
    return available.front();
}

bool LoadLocales()
{
    ConfigTree = ReadConfigurationFile();
    if (ConfigTree.get() == nullptr || ConfigTree->Count() == 0)
        return false;

    DNValueRef locales = ConfigTree->Find(DNRawData("locales"))->GetValue();
    std::vector<CXString> codes;
    for (DNIteratorRef entry = locales->First(); !entry->AtEnd(); entry->Next())
        codes.push_back(entry->GetKey()->GetString());
    if (codes.empty())
        return true;

    CXString chosen = ChooseLocaleCode(codes, CXSystemCall::ChooseLocale(codes));
    LoadLocalisationTable(locales->Find(DNRawData::FromString(chosen))->GetValue().get());
    return true;
}
