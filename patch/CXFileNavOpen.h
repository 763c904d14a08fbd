#pragma once

#include "foundation/CXString.h"

#include <functional>
#include <vector>

// The request record of the open-file or choose-folder dialog. The patch engine builds one, runs
// it and destroys it on the main thread within one call. Exec hands the request to the answer
// provider that the user interface installs (tests install a scripted one); with none installed
// nothing is chosen, as when the user cancels.
class CXFileNavOpen {
public:
    CXString title;                // empty: the default title of the kind of dialog
    std::vector<CXString> filters; // patterns such as "*.bin"; none: all files
    bool chooseFiles = true;
    bool chooseFolders = false;    // folders instead of files; wins when both are set
    bool allowMultiple = false;
    bool keepShortcuts = false;    // shortcut files themselves rather than their targets

    // Stores the path, made canonical, as the start folder, walking up to the nearest parent
    // folder that exists; clears it when no part of the path exists.
    void SetInitialFolder(const CXString& path);
    const CXString& GetInitialFolder() const { return fInitialFolder; }

    // The title the dialog shows: the title, or "Select a Folder" for a folder and "Open" for
    // files when it is empty.
    CXString GetDialogTitle() const;

    // Runs the dialog on the calling (main) thread; returns when a choice was made or cancelled.
    // The paths of an earlier Exec are forgotten first.
    void Exec();
    // The first path selected by the last Exec ('/' form), or empty when nothing was selected.
    CXString GetPath() const;
    // Every path selected by the last Exec ('/' form), in the dialog's order.
    std::vector<CXString> GetPaths() const { return fSelected; }

    // Answers a request with the chosen paths (empty: cancelled). Runs on the main thread. A
    // request with chooseFolders set asks for one folder, any other for files.
    using AnswerProvider = std::function<std::vector<CXString>(const CXFileNavOpen& request)>;
    // Installs the provider for every later Exec; an empty one removes it. Returns the one it
    // replaces.
    static AnswerProvider SetAnswerProvider(AnswerProvider provider);

private:
    CXString fInitialFolder;
    std::vector<CXString> fSelected;
};
