// The desktop's language list and shell launch on Linux: languages from LANGUAGE, then LC_ALL,
// LC_MESSAGES or LANG; programs started by fork and exec as the invoking user (no shell verbs).
#include "foundation/CXSystemCall.h"

#include "foundation/CXDebug.h"
#include "platform/Environment.h"
#include "platform/Launch.h"

#include <cerrno>
#include <string>

namespace {

// "de_DE.UTF-8" and "de_DE@euro" become "de-DE"; "de" stays "de". Empty for the C locale, which
// names no language.
std::string LanguageName(const std::string& value)
{
    std::string name;
    for (char c : value) {
        if (c == '.' || c == '@')
            break;
        name.push_back(c == '_' ? '-' : c);
    }
    if (name == "C" || name == "POSIX")
        return std::string();
    return name;
}

// The locale messages are shown in: LC_ALL overrides LC_MESSAGES, which overrides LANG.
std::string MessagesLocale()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string value = Platform::GetEnv(variable);
        if (!value.empty())
            return value;
    }
    return std::string();
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A bare language ("de") with the territory of the messages locale's name when that names the
// same language ("de" and "de-AT" give "de-AT"); empty otherwise.
std::string WithMessagesTerritory(const std::string& language, const std::string& messages)
{
    size_t dash = messages.find('-');
    if (language.empty() || dash != language.size() || dash + 1 == messages.size())
        return std::string();
    for (size_t i = 0; i < dash; ++i) {
        if (AsciiLower(messages[i]) != AsciiLower(language[i]))
            return std::string();
    }
    return language + messages.substr(dash);
}

} // namespace

std::vector<CXString> CXSystemCall::GetPreferredUILanguages()
{
    std::vector<CXString> languages;
    auto add = [&](const std::string& name) {
        if (!name.empty())
            languages.emplace_back(name.c_str(), name.size());
    };

    std::string messages = LanguageName(MessagesLocale());
    std::string list = Platform::GetEnv("LANGUAGE");
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string name = LanguageName(list.substr(start, end - start));
        // A bare language prefers the territory the user's locale names for it, then any.
        if (name.find('-') == std::string::npos)
            add(WithMessagesTerritory(name, messages));
        add(name);
        start = end + 1;
    }
    add(messages);
    return languages;
}

CXResultCode CXSystemCall::StartHostProgram(const char* caller, const CXString& nativeProgram, const std::vector<CXString>& words,
                                            const CXString& nativeFolder)
{
    std::vector<std::string> arguments;
    arguments.reserve(words.size());
    for (const CXString& word : words)
        arguments.emplace_back(word.c_str(), word.length());
    int error = Platform::LaunchDetached(std::string(nativeProgram.c_str(), nativeProgram.length()), arguments,
                                         std::string(nativeFolder.c_str(), nativeFolder.length()));
    switch (error) {
    case 0:
        return kCXOK;
    case Platform::kLaunchNoInvokingUser:
        CXDebugLog("%s> Running as root for no known user; '%s' not started", caller, nativeProgram.c_str());
        return kCXAccessDenied;
    case ENOENT:
    case ENOTDIR:
        return kCXNotFound;
    case EACCES:
    case EPERM:
        return kCXAccessDenied;
    case ENOEXEC:
        return kCXBadFormat;
    default:
        CXDebugLog("%s> Failed with error %d", caller, error);
        return kCXSystemError;
    }
}
