// The native label: its text, alignment and colours given to a "STATIC" window.

#include "toolkit/UIStaticTextControl.h"

#include "foundation/CXTextEncoding.h"
#include "foundation/CXTextParsing.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIDivider.h"
#include "toolkit/UIPanorama.h"
#include "win32/user/User.h"

using namespace win32;

namespace {

constexpr DWORD kLabelStyle = WS_CHILD | SS_NOPREFIX;
// The style's two alignment bits.
constexpr DWORD kAlignmentBits = SS_CENTER | SS_RIGHT;

DWORD AlignmentStyle(int32_t alignment)
{
    if (alignment == RazaFont::kAlignCenter)
        return SS_CENTER;
    if (alignment == RazaFont::kAlignRight)
        return SS_RIGHT;
    return SS_LEFT;
}

CXString WindowText(const CXString& text)
{
    return ConvertLineEndings(text, "\r\n");
}

} // namespace

void UIStaticTextControl::CreateNativeWindow()
{
    (void)CreateControlWindow(0, u"STATIC", kLabelStyle | AlignmentStyle(GetFont().GetAlignment()), WindowText(fText));
}

void UIStaticTextControl::SetText(const CXString& text)
{
    if (text.length() == fText.length() && text == fText)
        return;
    fText = text;
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    const CXString crlf = WindowText(fText);
    const CXString units = ConvertUTF8ToUTF16(crlf.c_str(), crlf.length());
    SetWindowTextW(handle, UTF16Units(units));
}

void UIStaticTextControl::ApplyFont()
{
    if (HWND handle = GetLiveNativeHandle()) {
        const auto style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
        const DWORD aligned = (style & ~kAlignmentBits) | AlignmentStyle(GetFont().GetAlignment());
        if (aligned != style)
            SetWindowLongW(handle, GWL_STYLE, static_cast<LONG>(aligned));
        InvalidateAll();
    }
    CXUIControl::ApplyFont();
}

CXColor UIStaticTextControl::BackgroundColor()
{
    // A divider drawn without a window of its own holds the label through an adapter.
    const UIElement* parent = GetParent();
    while (parent != nullptr && parent->IsAdapter())
        parent = parent->GetParent();
    const CXColor* parentColor = nullptr;
    if (const auto* panorama = dynamic_cast<const UIPanorama*>(parent))
        parentColor = &panorama->GetColor();
    else if (const auto* divider = dynamic_cast<const UIDivider*>(parent))
        parentColor = &divider->GetColor();
    if (parentColor != nullptr && parentColor->alpha > 0.0f)
        return *parentColor;
    return GetAppearance()->GetColor();
}

LRESULT UIStaticTextControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND handle = GetLiveNativeHandle();
    if (message == WM_CTLCOLORSTATIC && handle != nullptr && reinterpret_cast<HWND>(lParam) == handle)
        return AnswerControlColors(reinterpret_cast<HDC>(wParam), GetFont().GetColor(), BackgroundColor());
    return CXUIControl::HandleNativeMessage(message, wParam, lParam);
}
