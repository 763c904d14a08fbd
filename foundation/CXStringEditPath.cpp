// Path editing on the string builder.
#include "foundation/CXStringEdit.h"

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDotDot(const CXStringEditBase& part)
{
    return part.length() == 2 && part.data()[0] == '.' && part.data()[1] == '.';
}

bool IsDriveName(const CXStringEditBase& part)
{
    return part.length() == 2 && IsAsciiLetter(part.data()[0]) && part.data()[1] == ':';
}

} // namespace

bool CXStringEditBase::IsAbsolutePath() const
{
    if (fLength >= 3 && IsAsciiLetter(fData[0]) && fData[1] == ':' && fData[2] == '/')
        return true;
    return fLength >= 2 && fData[0] == '/' && fData[1] == '/';
}

bool CXStringEditBase::IsRootPath() const
{
    if (fLength == 3 && IsAsciiLetter(fData[0]) && fData[1] == ':' && fData[2] == '/')
        return true;
    if (fLength < 2 || fData[0] != '/' || fData[1] != '/')
        return false;
    size_t pos = 2;
    while (pos < fLength && fData[pos] != '/')
        ++pos; // host
    if (pos >= fLength - 1)
        return true; // "//host" or "//host/"
    ++pos;
    while (pos < fLength && fData[pos] != '/')
        ++pos; // share
    return pos >= fLength - 1; // "//host/share" or "//host/share/"
}

CXStringEdit CXStringEditBase::GetPathRoot()
{
    CXStringEdit root;
    if (fLength >= 3 && IsAsciiLetter(fData[0]) && fData[1] == ':' && fData[2] == '/') {
        root.Assign(fData, 3);
        Erase(0, 3);
    } else if (fLength >= 2 && fData[0] == '/' && fData[1] == '/') {
        size_t end = 2;
        while (end < fLength && fData[end] != '/')
            ++end;
        root.Assign(fData, end);
        Erase(0, end < fLength ? end + 1 : end);
    }
    return root;
}

CXStringEdit CXStringEditBase::PopFirstPathComponent()
{
    CXStringEdit component;
    if (fLength == 0)
        return component;
    size_t end;
    if (fData[0] == '/') {
        component.Assign("/", 1);
        end = 0;
    } else {
        end = 0;
        while (end < fLength && fData[end] != '/')
            ++end;
        component.Assign(fData, end);
    }
    while (end < fLength && fData[end] == '/')
        ++end;
    Erase(0, end);
    return component;
}

CXStringEdit CXStringEditBase::PopLastPathComponent()
{
    CXStringEdit component;
    if (fLength == 0)
        return component;
    size_t stop = fLength - 1;
    while (stop > 0 && fData[stop] != '/')
        --stop;
    size_t start = fData[stop] == '/' ? stop + 1 : stop;
    component.Assign(fData + start, fLength - start);
    fLength = start;
    if (fLength != 0 && fData[fLength - 1] == '/' && !IsRootPath())
        --fLength;
    return component;
}

bool CXStringEditBase::AppendPathComponent(const CXStringArgument& component)
{
    CXStringArgument part = component;
    if (!part.IsEmpty() && part.data()[0] == '/')
        part += 1;
    if (fLength != 0 && fData[fLength - 1] != '/' && !AppendCharacter('/'))
        return false;
    return Append(part);
}

void CXStringEditBase::RemoveTrailingSlashes()
{
    while (fLength != 0 && fData[fLength - 1] == '/')
        --fLength;
}

void CXStringEditBase::NormalizePathInPlace()
{
    CXStringEdit rest(CXStringArgument(*this));
    if (rest.length() != fLength)
        return; // no memory for the copy: leave the path as it is
    CXStringEdit result;
    bool absolute = rest.IsAbsolutePath();
    if (absolute)
        result = rest.GetPathRoot();
    bool first = true;
    while (!rest.IsEmpty()) {
        CXStringEdit part = rest.PopFirstPathComponent();
        bool startsPath = first;
        first = false;
        // "." and the empty part a leading '/' leaves behind name nothing.
        if (part.length() == 1 && (part.data()[0] == '.' || part.data()[0] == '/'))
            continue;
        if (IsDotDot(part)) {
            if (result.IsEmpty() || result.IsRootPath()) {
                // Nothing climbs above an absolute root; a relative path keeps its leading "..".
                if (!absolute)
                    (void)result.AppendPathComponent(part);
                continue;
            }
            CXStringEdit removed = result.PopLastPathComponent();
            if (IsDotDot(removed))
                (void)result.AppendPathComponent("../..");
            else if (result.length() == 1 && result.data()[0] == '.')
                result.Assign("", 0); // the "./" that kept a drive-like name relative
            else if (result.length() > 3 && result.data()[result.length() - 1] == '/')
                result.SetLength(result.length() - 1); // a share root "//h/s/" is written "//h/s"
            continue;
        }
        // A relative path stays relative: a drive-like name that did not start the path is an
        // ordinary name and keeps a "./" before it, so "a/../C:/x" is "./C:/x", never the drive
        // path "C:/x". ("X:" at the start names a drive's current folder and stays as it is.)
        if (!absolute && !startsPath && result.IsEmpty() && IsDriveName(part))
            (void)result.Append(".");
        (void)result.AppendPathComponent(part);
    }
    Assign(result.data(), result.length());
}
