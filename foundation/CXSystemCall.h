#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <vector>

// Work handed to the desktop: the interface language, starting programs and opening documents.
// Programs and documents are started with the rights of the user at the desktop, never with this
// process's elevated ones.
class CXSystemCall {
public:
    // The available locale codes that match the user's preferred interface languages, in the
    // order of those languages, each code once. Each available code is normalised first: five
    // characters become "ll-CC" (the third character, whatever it is, turns into '-'), six become
    // "lll-CC", and any other length is dropped; letter case is kept. A full preferred name
    // ("de-AT") matches the first normalised code equal to it without regard to case; a bare
    // language ("de") the first normalised code of that language, in the available order.
    // Empty when no language is known or none matches.
    // The preferred languages are the entries of LANGUAGE ("de:en"), then the locale messages are
    // shown in (LC_ALL, else LC_MESSAGES, else LANG), each cut to its "ll-CC" form ("de_DE.UTF-8"
    // and "de_DE@euro" give "de-DE", "de" stays "de"); "C" and "POSIX" name no language. A bare
    // language in LANGUAGE comes first with the territory of that locale when the locale names
    // the same language ("de" with LANG=de_AT.UTF-8 is "de-AT", then "de").
    static std::vector<CXString> ChooseLocale(const std::vector<CXString>& availableCodes);

    // Starts a program with the argument text split into words (SplitArguments) and folder as its
    // working folder (empty: this process's current one); program and folder are program paths.
    // Does not wait for the program. Returns kCXOK once it runs; kCXBadParameter for an empty
    // program or unbalanced quotes; kCXNotFound when the program or the folder does not exist (or
    // has no host form); kCXAccessDenied when it may not be run, or when this process runs as root
    // with no known invoking user (nothing is started as root; logged); kCXBadFormat when the file
    // is no program; any other failure is logged "CXSystemCall::LaunchExternalProcess> Failed with
    // error %d" with the host's error number and gives kCXSystemError.
    static CXResultCode LaunchExternalProcess(const CXString& program, const CXString& arguments, const CXString& folder);

    // Opens a document or URL with the program the desktop associates with it (xdg-open, or the
    // program named by CX_OPEN_COMMAND), as the user at the desktop. The text is percent-decoded,
    // '+' becoming a space; a decoded program path with a drive letter ("C:/...") is passed in its
    // host form, anything else (a URL, a host path) as it is. Does not wait for the opener.
    // Returns kCXBadParameter for a null or empty text, otherwise the result of starting the
    // opener as for LaunchExternalProcess (its failures logged "CXSystemCall::OpenDocument> ...").
    static CXResultCode OpenDocument(const char* text);

    // Splits argument text into words the way a POSIX shell splits plain words, without any
    // expansion ($, `, *, ~ are ordinary characters):
    // - unquoted spaces, tabs and line breaks separate words;
    // - '...' keeps everything up to the next ' as it is;
    // - "..." keeps everything up to the next unescaped "; inside, a backslash before $ ` " \ or a
    //   line break stands for that character, and any other backslash is kept;
    // - outside quotes a backslash stands for the character after it (a backslash at the very end
    //   is kept);
    // - quotes join the word they touch ("a"'b'c is one word) and "" or '' makes an empty word.
    // Returns kCXBadParameter (words left empty) when a quote is not closed.
    static CXResultCode SplitArguments(const CXStringArgument& text, std::vector<CXString>& words);

private:
    // Host side (CXSystemCallLinux.cpp).
    // The user's preferred interface language names, full ("de-DE") or bare ("de"), best first;
    // empty when none known.
    static std::vector<CXString> GetPreferredUILanguages();
    // Starts a host program with words as arguments in a host folder; caller names the operation
    // in log lines.
    static CXResultCode StartHostProgram(const char* caller, const CXString& nativeProgram, const std::vector<CXString>& words,
                                         const CXString& nativeFolder);
};
