// The built-in file chooser (see BuiltInFileChooser.h): one modal window of layer controls with
// its own message loop.

#include "win32/services/BuiltInFileChooser.h"

#include "foundation/CXDebug.h"
#include "win32/controls/ControlCommon.h"
#include "win32/controls/Controls.h"
#include "win32/controls/DropList.h"
#include "win32/gdi/Gdi.h"
#include "win32/user/Paint.h"
#include "win32/services/ChooserFolder.h"
#include "win32/user/Queue.h"

#include <algorithm>

namespace win32 {

namespace {

using services::ChooserEntry;

struct Chooser {
    Chooser(const FileDialogRequest& request, bool folderMode) : request(request), folderMode(folderMode) {}

    const FileDialogRequest& request;
    bool folderMode;
    HWND window = nullptr;
    HWND folderLine = nullptr;
    HWND list = nullptr;
    HWND field = nullptr;
    HWND status = nullptr;
    // The folder shown (host bytes) and its rows.
    std::string folder;
    std::vector<ChooserEntry> entries;
    // The field holds what the selection put there, not what the user typed.
    bool fieldFromSelection = true;
    bool settingField = false;
    bool finished = false;
    // The loop waits in GetMessageW: an end decided meanwhile must wake it.
    bool waiting = false;
    int result = kFileDialogCancelled;
    std::vector<std::string> chosen;
    bool quit = false;
    int quitCode = 0;
};

// The open chooser; one at a time.
Chooser* gChooser = nullptr;

constexpr const char16_t* kChooserClass = u"CXFileChooser";
constexpr int kClientWidth = 520;
constexpr int kClientHeight = 400;
constexpr int kMargin = 10;
constexpr DWORD kChooserStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr COLORREF kStatusColor = RGB(192, 0, 0);
// The path field, inside a frame the chooser draws around it.
constexpr RECT kFieldFrame = {kMargin, 282, kClientWidth - kMargin, 306};

char gChooserModule;

HINSTANCE ChooserInstance()
{
    return reinterpret_cast<HINSTANCE>(&gChooserModule);
}

std::u16string Quoted(const std::u16string& text)
{
    return u"\"" + text + u"\"";
}

void Finish(Chooser& chooser, int result, std::vector<std::string> chosen = {})
{
    if (chooser.finished)
        return;
    chooser.finished = true;
    chooser.result = result;
    chooser.chosen = std::move(chosen);
    if (chooser.waiting)
        PostMessageW(nullptr, WM_NULL, 0, 0);
}

void ShowStatus(Chooser& chooser, const std::u16string& line)
{
    SetWindowTextW(chooser.status, line.c_str());
}

void SetField(Chooser& chooser, const std::u16string& text)
{
    chooser.settingField = true;
    SetWindowTextW(chooser.field, text.c_str());
    chooser.settingField = false;
    chooser.fieldFromSelection = true;
}

bool IsParentRow(const ChooserEntry& entry)
{
    return entry.name == "..";
}

std::string EntryPath(const Chooser& chooser, const ChooserEntry& entry)
{
    return IsParentRow(entry) ? services::ParentHostPath(chooser.folder)
                              : services::JoinHostPath(chooser.folder, entry.name);
}

std::u16string RowText(const ChooserEntry& entry)
{
    if (IsParentRow(entry))
        return u"..";
    std::u16string text = services::DisplayText(entry.name);
    return entry.isFolder ? text + u"/" : text;
}

// Shows folder; a folder that cannot be read keeps the one shown (the first one shows empty).
void Navigate(Chooser& chooser, const std::string& folder)
{
    std::vector<ChooserEntry> entries;
    int error = services::ReadChooserFolder(folder, chooser.request.patterns, chooser.folderMode, entries);
    if (error != 0) {
        CXDebugLog("BuiltInFileChooser> cannot read the folder \"%s\" (errno %d)", folder.c_str(), error);
        if (!chooser.folder.empty()) {
            ShowStatus(chooser, Quoted(services::DisplayText(folder)) + u" cannot be read.");
            return;
        }
        if (folder != "/")
            entries.push_back({"..", true});
    }
    chooser.folder = folder;
    chooser.entries = std::move(entries);
    std::vector<std::u16string> rows;
    for (const ChooserEntry& entry : chooser.entries)
        rows.push_back(RowText(entry));
    controls::SetEmbeddedListRows(chooser.list, std::move(rows));
    SetWindowTextW(chooser.folderLine, services::DisplayText(folder).c_str());
    SetField(chooser, u"");
    ShowStatus(chooser, error != 0 ? Quoted(services::DisplayText(folder)) + u" cannot be read." : u"");
}

const ChooserEntry* EntryAt(const Chooser& chooser, int row)
{
    if (row < 0 || row >= static_cast<int>(chooser.entries.size()))
        return nullptr;
    return &chooser.entries[static_cast<size_t>(row)];
}

// The selection's names go to the field: one name, or several each in quotes.
void SelectionChanged(Chooser& chooser)
{
    std::vector<const ChooserEntry*> named;
    for (int row : controls::EmbeddedListSelection(chooser.list)) {
        const ChooserEntry* entry = EntryAt(chooser, row);
        if (entry != nullptr && !IsParentRow(*entry))
            named.push_back(entry);
    }
    std::u16string text;
    if (named.size() == 1) {
        text = services::DisplayText(named[0]->name);
    } else {
        for (const ChooserEntry* entry : named)
            text += (text.empty() ? u"" : u" ") + Quoted(services::DisplayText(entry->name));
    }
    SetField(chooser, text);
    ShowStatus(chooser, u"");
}

void Picked(Chooser& chooser, int row)
{
    const ChooserEntry* entry = EntryAt(chooser, row);
    if (entry == nullptr)
        return;
    std::string path = EntryPath(chooser, *entry);
    if (entry->isFolder)
        Navigate(chooser, path);
    else if (!chooser.folderMode)
        Finish(chooser, kFileDialogChosen, {path});
}

void AcceptTyped(Chooser& chooser, const std::u16string& typed)
{
    std::string path = services::ResolveHostPath(chooser.folder, services::HostBytes(typed));
    if (services::IsHostFolder(path)) {
        if (chooser.folderMode)
            Finish(chooser, kFileDialogChosen, {path});
        else
            Navigate(chooser, path);
    } else if (!services::IsHostFile(path)) {
        ShowStatus(chooser, Quoted(typed) + u" does not exist.");
    } else if (chooser.folderMode) {
        ShowStatus(chooser, Quoted(typed) + u" is not a folder.");
    } else {
        Finish(chooser, kFileDialogChosen, {path});
    }
}

// OK, or Enter anywhere in the chooser.
void Accept(Chooser& chooser)
{
    if (!chooser.fieldFromSelection) {
        std::u16string typed = controls::WindowText(chooser.field);
        if (!typed.empty()) {
            AcceptTyped(chooser, typed);
            return;
        }
    }
    std::vector<int> rows = controls::EmbeddedListSelection(chooser.list);
    std::vector<std::string> files;
    for (int row : rows) {
        const ChooserEntry* entry = EntryAt(chooser, row);
        if (entry != nullptr && !entry->isFolder)
            files.push_back(EntryPath(chooser, *entry));
    }
    if (!files.empty()) {
        Finish(chooser, kFileDialogChosen, std::move(files));
        return;
    }
    const ChooserEntry* entry = rows.size() == 1 ? EntryAt(chooser, rows[0]) : nullptr;
    if (entry != nullptr && (!chooser.folderMode || IsParentRow(*entry)))
        Navigate(chooser, EntryPath(chooser, *entry));
    else if (entry != nullptr)
        Finish(chooser, kFileDialogChosen, {EntryPath(chooser, *entry)});
    else if (chooser.folderMode && rows.empty())
        Finish(chooser, kFileDialogChosen, {chooser.folder});
}

LRESULT ChooserProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Chooser* chooser = gChooser;
    if (chooser == nullptr || (chooser->window != nullptr && chooser->window != hwnd))
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            Accept(*chooser);
        else if (LOWORD(wParam) == IDCANCEL)
            Finish(*chooser, kFileDialogCancelled);
        else if (LOWORD(wParam) == BuiltInFileChooser::kPathFieldId && HIWORD(wParam) == EN_CHANGE &&
                 !chooser->settingField)
            chooser->fieldFromSelection = false;
        return 0;
    case WM_CLOSE:
        Finish(*chooser, kFileDialogCancelled);
        return 0;
    case WM_DESTROY:
        // The owner's destruction takes the chooser with it.
        Finish(*chooser, kFileDialogCancelled);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (HDC hdc = BeginPaint(hwnd, &paint)) {
            FrameRect(hdc, &kFieldFrame, GetSysColorBrush(COLOR_BTNSHADOW));
            EndPaint(hwnd, &paint);
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        LRESULT brush = DefWindowProcW(hwnd, message, wParam, lParam);
        if (reinterpret_cast<HWND>(lParam) == chooser->status)
            SetTextColor(reinterpret_cast<HDC>(wParam), kStatusColor);
        return brush;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool RegisterChooserClass()
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ChooserProcedure;
    windowClass.hInstance = ChooserInstance();
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_3DFACE + 1));
    windowClass.lpszClassName = kChooserClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The window rectangle: centred over the owner, else on the work area, kept inside the work area.
RECT Placement(HWND owner)
{
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kChooserStyle, FALSE, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT work = {0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT over = work;
    if (owner != nullptr)
        GetWindowRect(owner, &over);
    int x = (over.left + over.right - width) / 2;
    int y = (over.top + over.bottom - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    return {x, y, x + width, y + height};
}

HWND Child(Chooser& chooser, const char16_t* className, const char16_t* title, DWORD style, int id, RECT r)
{
    return CreateWindowExW(0, className, title, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, chooser.window, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                           ChooserInstance(), nullptr);
}

std::u16string DescriptionText(const Chooser& chooser)
{
    if (chooser.folderMode)
        return std::u16string();
    const FileDialogRequest& request = chooser.request;
    return services::DisplayText(!request.description.empty() ? request.description : request.patterns);
}

// The window and its controls, in tab order: the list, the field, OK, Cancel.
bool MakeWindow(Chooser& chooser)
{
    RECT place = Placement(chooser.request.owner);
    std::u16string title = services::DisplayText(chooser.request.title);
    chooser.window = CreateWindowExW(0, kChooserClass, title.c_str(), kChooserStyle, place.left, place.top,
                                     place.right - place.left, place.bottom - place.top, chooser.request.owner,
                                     nullptr, ChooserInstance(), nullptr);
    if (chooser.window == nullptr)
        return false;
    const int right = kClientWidth - kMargin;
    const int buttonsTop = kClientHeight - kMargin - 26;
    chooser.folderLine = Child(chooser, u"STATIC", u"", SS_NOPREFIX, BuiltInFileChooser::kFolderLineId,
                               {kMargin, kMargin, right, kMargin + 18});
    controls::EmbeddedListSetup setup;
    setup.parent = chooser.window;
    setup.id = BuiltInFileChooser::kListId;
    setup.rect = {kMargin, 32, right, 272};
    setup.multiple = chooser.request.multiple && !chooser.folderMode;
    setup.selectionChanged = [](int) {
        if (gChooser != nullptr)
            SelectionChanged(*gChooser);
    };
    setup.picked = [](int row) {
        if (gChooser != nullptr)
            Picked(*gChooser, row);
    };
    chooser.list = controls::CreateEmbeddedList(std::move(setup));
    RECT field = kFieldFrame;
    chooser.field = Child(chooser, u"EDIT", u"", WS_TABSTOP | ES_AUTOHSCROLL, BuiltInFileChooser::kPathFieldId,
                          {field.left + 1, field.top + 1, field.right - 1, field.bottom - 1});
    chooser.status = Child(chooser, u"STATIC", u"", SS_NOPREFIX, BuiltInFileChooser::kStatusLineId,
                           {kMargin, 312, right, 330});
    Child(chooser, u"button", u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
          {right - 170, buttonsTop, right - 90, buttonsTop + 26});
    Child(chooser, u"button", u"Cancel", WS_TABSTOP, IDCANCEL, {right - 80, buttonsTop, right, buttonsTop + 26});
    Child(chooser, u"STATIC", DescriptionText(chooser).c_str(), SS_NOPREFIX, BuiltInFileChooser::kDescriptionId,
          {kMargin, buttonsTop + 4, right - 180, buttonsTop + 22});
    return chooser.list != nullptr && chooser.field != nullptr && chooser.status != nullptr;
}

bool InChooser(const Chooser& chooser, HWND hwnd)
{
    while (hwnd != nullptr && hwnd != chooser.window && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) != 0)
        hwnd = GetParent(hwnd);
    return hwnd != nullptr && hwnd == chooser.window;
}

// Tab and Shift+Tab move the focus through the chooser's controls; the field gets selected whole.
bool TabStep(const Chooser& chooser, const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !InChooser(chooser, msg.hwnd))
        return false;
    HWND focus = GetFocus();
    HWND next = GetNextDlgTabItem(chooser.window, focus == chooser.window ? nullptr : focus,
                                  GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE);
    if (next == nullptr)
        return false;
    if (next == chooser.field)
        SendMessageW(next, EM_SETSEL, 0, -1);
    SetFocus(next);
    return true;
}

void RunLoop(Chooser& chooser)
{
    while (!chooser.finished) {
        MSG msg = {};
        chooser.waiting = true;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        chooser.waiting = false;
        if (got == 0) {
            chooser.quit = true;
            chooser.quitCode = static_cast<int>(msg.wParam);
            Finish(chooser, kFileDialogCancelled);
            break;
        }
        if (got < 0) {
            Finish(chooser, kFileDialogFailed);
            break;
        }
        if (TabStep(chooser, msg))
            continue;
        if (!IsWindow(chooser.window) || !IsDialogMessageW(chooser.window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

int Run(const FileDialogRequest& request, bool folderMode, std::vector<std::string>& paths)
{
    paths.clear();
    if (!IsInitialized() || !core::CheckUIThread("BuiltInFileChooser"))
        return kFileDialogFailed;
    if (gChooser != nullptr) {
        CXDebugLog("BuiltInFileChooser> a file dialog is open already");
        return kFileDialogFailed;
    }
    if (request.owner != nullptr && !IsWindow(request.owner)) {
        CXDebugLog("BuiltInFileChooser> the owner window is gone");
        return kFileDialogFailed;
    }
    controls::RegisterControlClasses();
    if (!RegisterChooserClass())
        return kFileDialogFailed;
    Chooser chooser(request, folderMode);
    gChooser = &chooser;
    bool made = MakeWindow(chooser);
    if (made) {
        Navigate(chooser, services::StartingFolder(request.startFolder));
        ShowWindow(chooser.window, SW_SHOW);
        SetFocus(chooser.field);
        RunLoop(chooser);
    }
    if (IsWindow(chooser.window))
        DestroyWindow(chooser.window);
    gChooser = nullptr;
    if (chooser.quit)
        PostQuitMessage(chooser.quitCode);
    if (!made)
        return kFileDialogFailed;
    if (chooser.result == kFileDialogChosen)
        paths = std::move(chooser.chosen);
    return chooser.result;
}

} // namespace

int BuiltInFileChooser::OpenFiles(const FileDialogRequest& request, std::vector<std::string>& paths)
{
    return Run(request, false, paths);
}

int BuiltInFileChooser::PickFolder(const FileDialogRequest& request, std::string& path)
{
    std::vector<std::string> paths;
    int result = Run(request, true, paths);
    path = result == kFileDialogChosen && !paths.empty() ? paths.front() : std::string();
    return result;
}

} // namespace win32
