#include "foundation/CXSystemCall.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPercentEncoding.h"
#include "foundation/CXStringEdit.h"
#include "platform/Environment.h"

#include <algorithm>

namespace {

// The "ll-CC" or "lll-CC" form of an available code, or empty when its length fits neither.
CXString NormaliseLocaleCode(const CXString& code)
{
    const char* c = code.c_str();
    if (code.length() == 5)
        return CXString::FromFormat("%c%c-%c%c", c[0], c[1], c[3], c[4]);
    if (code.length() == 6)
        return CXString::FromFormat("%c%c%c-%c%c", c[0], c[1], c[2], c[4], c[5]);
    return CXString();
}

// True when a normalised code is of the bare language: "de-DE" of "de", but "dsb-DE" not.
bool IsOfLanguage(const CXString& code, const CXString& language)
{
    size_t n = language.length();
    return n < code.length() && code.c_str()[n] == '-' && CXStringArgument(code.c_str(), n).CompareNoCase(language, true) == 0;
}

// The first normalised code a preferred language names: for a full name ("de-AT") the code equal
// to it without regard to case, for a bare language ("de") the first code of that language.
const CXString* MatchingCode(const std::vector<CXString>& codes, const CXString& language)
{
    if (language.IsEmpty())
        return nullptr;
    bool bare = CXStringArgument(language).FindCharacter('-') < 0;
    for (const CXString& code : codes) {
        if (bare ? IsOfLanguage(code, language) : code.EqualsNoCase(language))
            return &code;
    }
    return nullptr;
}

bool IsWordSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A drive-letter program path: "X:/..." or "X:" alone.
bool HasDriveLetter(const CXString& text)
{
    char letter = text[int64_t(0)];
    bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    return isLetter && text[int64_t(1)] == ':' && (text.length() == 2 || text[int64_t(2)] == '/');
}

} // namespace

std::vector<CXString> CXSystemCall::ChooseLocale(const std::vector<CXString>& availableCodes)
{
    std::vector<CXString> normalised;
    for (const CXString& code : availableCodes) {
        CXString form = NormaliseLocaleCode(code);
        if (!form.IsEmpty())
            normalised.push_back(form);
    }

    std::vector<CXString> chosen;
    for (const CXString& language : GetPreferredUILanguages()) {
        const CXString* code = MatchingCode(normalised, language);
        if (code != nullptr && std::find(chosen.begin(), chosen.end(), *code) == chosen.end())
            chosen.push_back(*code);
    }
    return chosen;
}

CXResultCode CXSystemCall::SplitArguments(const CXStringArgument& text, std::vector<CXString>& words)
{
    words.clear();
    const char* s = text.data();
    size_t n = text.length();
    CXStringEdit word;
    bool inWord = false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (IsWordSeparator(c)) {
            if (inWord)
                words.emplace_back(word);
            word.Clear();
            inWord = false;
            continue;
        }
        inWord = true;
        bool appended = true;
        if (c == '\'') {
            size_t close = i + 1;
            while (close < n && s[close] != '\'')
                ++close;
            if (close == n) {
                words.clear();
                return kCXBadParameter;
            }
            appended = word.Append(s + i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            size_t j = i + 1;
            for (; j < n && s[j] != '"'; ++j) {
                char d = s[j];
                if (d == '\\' && j + 1 < n && (s[j + 1] == '$' || s[j + 1] == '`' || s[j + 1] == '"' || s[j + 1] == '\\' || s[j + 1] == '\n'))
                    d = s[++j];
                appended = appended && word.AppendCharacter(d);
            }
            if (j == n) {
                words.clear();
                return kCXBadParameter;
            }
            i = j;
        } else if (c == '\\' && i + 1 < n) {
            appended = word.AppendCharacter(s[++i]);
        } else {
            appended = word.AppendCharacter(c);
        }
        if (!appended) {
            words.clear();
            return kCXNoResources;
        }
    }
    if (inWord)
        words.emplace_back(word);
    return kCXOK;
}

CXResultCode CXSystemCall::LaunchExternalProcess(const CXString& program, const CXString& arguments, const CXString& folder)
{
    if (program.IsEmpty())
        return kCXBadParameter;
    std::vector<CXString> words;
    CXResultCode split = SplitArguments(arguments, words);
    if (split != kCXOK) {
        CXDebugLog("CXSystemCall::LaunchExternalProcess> Cannot split the arguments '%s'", arguments.c_str());
        return split;
    }
    CXString nativeProgram = CXFileSystem::ToNativePath(program);
    if (nativeProgram.IsEmpty())
        return kCXNotFound;
    CXString nativeFolder;
    if (!folder.IsEmpty()) {
        nativeFolder = CXFileSystem::ToNativePath(folder);
        if (nativeFolder.IsEmpty())
            return kCXNotFound;
    }
    return StartHostProgram("CXSystemCall::LaunchExternalProcess", nativeProgram, words, nativeFolder);
}

CXResultCode CXSystemCall::OpenDocument(const char* text)
{
    if (text == nullptr || text[0] == 0)
        return kCXBadParameter;
    CXString document = CXPercentDecode(text, true);
    if (document.IsEmpty())
        return kCXNoResources; // a non-empty text decodes to at least one byte
    if (HasDriveLetter(document)) {
        document = CXFileSystem::ToNativePath(document);
        if (document.IsEmpty())
            return kCXNotFound;
    }
    std::string opener = Platform::GetEnv("CX_OPEN_COMMAND");
    if (opener.empty())
        opener = "xdg-open";
    return StartHostProgram("CXSystemCall::OpenDocument", CXString(opener.c_str(), opener.size()), {document}, CXString());
}
