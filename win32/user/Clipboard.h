#pragma once

// The clipboard, kept inside the process: blocks of global memory under format numbers.
//
// Every call belongs to the UI thread (ERROR_INVALID_THREAD_ID and the failure value from any
// other). The clipboard is open for one holder at a time and never nested: OpenClipboard while it
// is open fails (ERROR_ACCESS_DENIED) and the data calls keep working for the holder; the holder
// may be no window at all (OpenClipboard(NULL)), which may set data too. GetClipboardData,
// SetClipboardData, EmptyClipboard and EnumClipboardFormats need the clipboard open; without it
// they fail with ERROR_CLIPBOARD_NOT_OPEN. CountClipboardFormats and IsClipboardFormatAvailable do
// not.
//
// Text: CF_UNICODETEXT (UTF-16) and CF_TEXT (UTF-8 here) are each made from the other when only
// one was set. A made format counts in CountClipboardFormats and enumerates after every format
// that was set. A text block ends at its first zero unit (byte for CF_TEXT) or at its size (an odd
// last byte of a UTF-16 block is ignored); undecodable text becomes '?'.
//
// Sharing with other programs goes through the backend, for the text formats only: a session that
// set a text format or emptied the clipboard tells the backend the text it leaves (or that it left
// none) at CloseClipboard, once. GetClipboardData, IsClipboardFormatAvailable, CountClipboardFormats
// and EnumClipboardFormats ask the backend whether another program holds the clipboard since (once
// per open session): then its text (a block the clipboard owns until CloseClipboard, the other
// text format made from it) or no text at all stands in for the layer's own text. Every other
// format stays inside the process.
//
// Emulation limits: no delayed rendering (a null block fails with ERROR_INVALID_PARAMETER), no
// owner or viewer messages, no other synthesized formats. Registered format names live as long as
// the process; the contents are freed at Shutdown.

#include "win32/api/Constants.h"
#include "win32/core/Core.h"
#include "win32/core/GlobalMemory.h"

namespace win32 {

// Opens the clipboard for hwnd (or for no window). FALSE when it is already open (ERROR_ACCESS_DENIED)
// or hwnd is not a window (ERROR_INVALID_WINDOW_HANDLE).
BOOL OpenClipboard(HWND hwnd);
// FALSE (ERROR_CLIPBOARD_NOT_OPEN) when the clipboard is not open; nothing changes.
BOOL CloseClipboard();
// Frees every block the clipboard holds: each handle given to SetClipboardData is stale from now.
BOOL EmptyClipboard();
// Takes the block (a GMEM_MOVEABLE block, which then belongs to the clipboard; the caller frees it
// no more) and answers it; a block set before for the format is freed. Null on failure: not open,
// format 0 or a null block (ERROR_INVALID_PARAMETER), a stale block (ERROR_INVALID_HANDLE).
HANDLE SetClipboardData(UINT format, HANDLE block);
// The clipboard's block of the format (it stays the clipboard's: read it, never free it), made
// from the other text format when needed. Null when not open, or when the format is not on the
// clipboard (last error 0).
HANDLE GetClipboardData(UINT format);
// The formats on the clipboard, made ones included.
int CountClipboardFormats();
// The format after format (0: the first); 0 at the end (last error 0) or when not open.
UINT EnumClipboardFormats(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// A format number from 0xC000 up for a name (the same for names equal but for ASCII case); 0 for a
// null or empty name or one over 255 units (ERROR_INVALID_PARAMETER), or when the numbers run out.
UINT RegisterClipboardFormatW(LPCWSTR name);
// The name in UTF-8.
UINT RegisterClipboardFormatA(LPCSTR name);

} // namespace win32
