#include "foundation/CXCommandLineArguments.h"

#include "foundation/CXDebug.h"

#include <cstring>

const CXCommandLineOption kCXCommandLineOptionTable[] = {
    {"escalationstage", kCXOptionValueLater, "Integer which signals privilege escalation stage."},
    {"target", kCXOptionValueLater, "Configure the GUI with the specified target."},
    {"start", kCXOptionSwitch, "Start the GUI action immediately."},
    {"selfdeleteonexit", kCXOptionSwitch, "Delete the patch tool itself on exit, regardless of success."},
    {"settings", kCXOptionValueLater, "Override the target's saved patch settings with the specified values."},
    {"checkforpatch", kCXOptionSwitch, "Check for a patch and return 0 for no patch or 1 for patch available. Does not show a GUI."},
    {"locale", kCXOptionValueLater, "Override the patcher's locale detection with a specific locale code."},
    {"setstream", kCXOptionSwitch, "Configures the GUI to allow the user to configure the patch stream, but to not actually perform a patch."},
    {"launchtargetonexit", kCXOptionSwitch, "Sets the GUI to launch the specified target on exit."},
    {"uninstall", kCXOptionSwitch, "Starts the GUI in 'uninstall' mode."},
    {"no-desktop-shortcut", kCXOptionSwitch, "Prevents automatic creation of the desktop shortcut following installation."},
    {nullptr, 0, nullptr},
};

namespace {

int32_t KindOf(const CXCommandLineOption* definition)
{
    return definition->flags & kCXOptionKindMask;
}

bool NameIs(const CXCommandLineOption* definition, const CXStringArgument& name)
{
    size_t length = std::strlen(definition->name);
    return length == name.length() && std::memcmp(definition->name, name.data(), length) == 0;
}

} // namespace

void CXCommandLineArguments::SetOptions(const CXCommandLineOption* table)
{
    fEntries.clear();
    fDefinitions.clear();
    if (table == nullptr)
        return;
    for (const CXCommandLineOption* row = table; row->name != nullptr; ++row)
        fDefinitions.push_back(row);
}

const CXCommandLineOption* CXCommandLineArguments::FindOption(const CXStringArgument& name) const
{
    for (const CXCommandLineOption* definition : fDefinitions)
        if (NameIs(definition, name))
            return definition;
    return nullptr;
}

bool CXCommandLineArguments::HasArgument(const CXStringArgument& name) const
{
    for (const Entry& entry : fEntries)
        if (NameIs(entry.definition, name))
            return true;
    return false;
}

CXString CXCommandLineArguments::GetArgument(const CXStringArgument& name, const CXString& defaultValue) const
{
    for (const Entry& entry : fEntries)
        if (NameIs(entry.definition, name))
            return entry.value;
    return defaultValue;
}

bool CXCommandLineArguments::AddEntry(const CXCommandLineOption* definition, const char* argument, CXString value, bool waiting)
{
    if ((definition->flags & kCXOptionRepeatable) == 0) {
        for (const Entry& entry : fEntries) {
            if (entry.definition == definition) {
                CXDebugLog("CXCommandLineArguments::ParseArguments> duplicate value for argument '%s'", argument);
                return false;
            }
        }
    }
    fEntries.push_back({definition, std::move(value), waiting});
    return true;
}

bool CXCommandLineArguments::ParseArguments(int argc, const char* const* argv)
{
    bool result = true;
    size_t fillIndex = fEntries.size();

    for (int i = 1; argv != nullptr && i < argc; ++i) {
        const char* argument = argv[i] != nullptr ? argv[i] : kCXEmptyText;

        if (argument[0] == '-' && argument[1] == '-') {
            const CXCommandLineOption* definition = FindOption(argument + 2);
            if (definition == nullptr) {
                CXDebugLog("CXCommandLineArguments::ParseArguments> unhandled argument '%s'", argument);
                result = false;
                continue;
            }
            CXString value;
            int32_t kind = KindOf(definition);
            if (kind == kCXOptionValueNext) {
                if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    CXDebugLog("CXCommandLineArguments::ParseArguments> missing value for argument '%s'", argument);
                    result = false;
                }
            }
            if (!AddEntry(definition, argument, std::move(value), kind == kCXOptionValueLater))
                result = false;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            const CXCommandLineOption* definition = FindOption(CXStringArgument(argument + 1, 1));
            if (definition == nullptr) {
                CXDebugLog("CXCommandLineArguments::ParseArguments> unhandled argument '%s'", argument);
                result = false;
                continue;
            }
            CXString value(argument + 2);
            int32_t kind = KindOf(definition);
            if (kind == kCXOptionSwitch && !value.IsEmpty()) {
                CXDebugLog("CXCommandLineArguments::ParseArguments> unhandled value in argument '%s'", argument);
                result = false;
            } else if (kind == kCXOptionValueNext && value.IsEmpty()) {
                if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    CXDebugLog("CXCommandLineArguments::ParseArguments> missing value for argument '%s'", argument);
                    result = false;
                }
            }
            // A kind-2 option with its value inline has it already and waits for nothing.
            bool waiting = kind == kCXOptionValueLater && value.IsEmpty();
            if (!AddEntry(definition, argument, std::move(value), waiting))
                result = false;
        } else if (argument[0] == '-') {
            // A lone "-" is ignored.
        } else {
            bool received = false;
            for (size_t e = fillIndex; e < fEntries.size(); ++e) {
                if (fEntries[e].waiting) {
                    fEntries[e].value = argument;
                    fEntries[e].waiting = false;
                    fillIndex = e + 1;
                    received = true;
                    break;
                }
            }
            if (received)
                continue;
            const CXCommandLineOption* catchAll = FindOption(kCXEmptyText);
            if (catchAll == nullptr) {
                CXDebugLog("CXCommandLineArguments::ParseArguments> unhandled argument '%s'", argument);
                result = false;
                continue;
            }
            bool taken = false;
            if ((catchAll->flags & kCXOptionRepeatable) == 0)
                for (const Entry& entry : fEntries)
                    taken = taken || entry.definition == catchAll;
            if (taken)
                result = false;
            else
                fEntries.push_back({catchAll, CXString(argument), false});
        }
    }

    for (size_t e = fillIndex; e < fEntries.size(); ++e) {
        if (fEntries[e].waiting) {
            CXDebugLog("CXCommandLineArguments::ParseArguments> missing value for argument '%s'", fEntries[e].definition->name);
            result = false;
        }
    }
    for (const CXCommandLineOption* definition : fDefinitions) {
        if ((definition->flags & kCXOptionMandatory) == 0)
            continue;
        bool given = false;
        for (const Entry& entry : fEntries)
            given = given || entry.definition == definition;
        if (!given) {
            CXDebugLog("CXCommandLineArguments::ParseArguments> missing mandatory option '%s'", definition->name);
            result = false;
        }
    }
    return result;
}
