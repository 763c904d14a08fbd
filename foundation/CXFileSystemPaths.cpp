// Conversions between program paths and host paths, and the executable's own paths.
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXHostError.h"
#include "foundation/CXTextEncoding.h"
#include "platform/DriveMap.h"
#include "platform/Process.h"

#include <string>

CXString CXFileSystem::ToNativePath(const CXString& path)
{
    if (path.IsEmpty())
        return CXString();
    std::string host;
    if (!Platform::ProgramToHostPath(std::string_view(path.c_str(), path.length()), host)) {
        CXDebugLog("CXFileSystem::ToNativePath> no host form for '%s'", path.c_str());
        return CXString();
    }
    return CXString(host.data(), host.size());
}

CXString CXFileSystem::FromNativePath(const CXStringArgument& nativePath)
{
    std::string program;
    if (!Platform::HostToProgramPath(std::string_view(nativePath.data(), nativePath.length()), program)) {
        CXDebugLog("CXFileSystem::FromNativePath> no program form for '%s'", CXString(nativePath).c_str());
        return CXString();
    }
    return CXString(program.data(), program.size());
}

CXString CXFileSystem::ToNativePathW(const CXString& path)
{
    CXString native = ToNativePath(path);
    return ConvertUTF8ToUTF16(native.c_str(), native.length());
}

CXString CXFileSystem::FromNativePathW(const char16_t* nativePath)
{
    return FromNativePath(ConvertUTF16ToUTF8(CXString::FromUTF16CString(nativePath)));
}

CXString CXFileSystem::GetExecutablePath()
{
    std::string host = Platform::ExecutablePath();
    if (host.empty())
        return CXString();
    return FromNativePath(CXStringArgument(host.data(), host.size()));
}

CXResultCode CXFileSystem::SetCurrentDirectory(const CXString& path)
{
    CXString native = ToNativePath(path);
    if (native.IsEmpty())
        return kCXNotFound;
    int error = Platform::ChangeDirectory(std::string(native.c_str(), native.length()));
    return CXResultFromHostError(error);
}
