#pragma once

// The default file dialog service: a modal chooser window made of the layer's own controls.
//
// The chooser is a top-level window owned by the request's owner (whose enabled state it leaves to
// the caller) and runs its own message loop until the user has chosen or cancelled. It shows the
// current folder, a list of its entries, a path field, a status line and OK and Cancel. The list
// holds ".." (except at "/"), the folders (always, so one can walk into them; shown with a trailing
// '/') and, for files, the files matching the request's patterns without ASCII case. A click
// selects a row (its name goes to the field), Ctrl+click adds rows when several files may be
// chosen, a double click walks into a folder or chooses a file. OK chooses the selected files, or
// walks into the selected folder; in folder mode it chooses the selected folder, or the current one
// when none is selected. A typed path (absolute, or relative to the current folder) is taken
// instead when the user edited the field: an existing file is chosen, an existing folder walked
// into (or chosen in folder mode), anything else keeps the chooser open with a line saying so.
// Names keep their host bytes: shown through UTF-8 (U+FFFD for bytes that are not), chosen as the
// very bytes the folder holds.
//
// Cancelled: Cancel, Escape, closing the window, the owner's destruction, and WM_QUIT (posted again
// once the chooser is gone). Failed: a second request while one is open, a dead owner, a layer that
// is not up. The loop dispatches messages of every window and runs nothing above the layer.
//
// Emulation limits: no shortcut resolving (a link is returned as the path it was listed at), no
// scroll bar on the list (the wheel and keys scroll it), no Shift+click ranges.

#include "win32/services/FileDialogs.h"

namespace win32 {

class BuiltInFileChooser : public FileDialogService {
public:
    // The ids of the chooser's controls.
    enum : int {
        kFolderLineId = 0x470,
        kListId = 0x471,
        kPathFieldId = 0x472,
        kStatusLineId = 0x473,
        kDescriptionId = 0x474,
        // OK and Cancel are IDOK and IDCANCEL.
    };

    int OpenFiles(const FileDialogRequest& request, std::vector<std::string>& paths) override;
    int PickFolder(const FileDialogRequest& request, std::string& path) override;
};

} // namespace win32
