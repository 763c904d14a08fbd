#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXTextEncoding.h"
#include "platform/DriveMap.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

std::string Str(const CXStringEditBase& s)
{
    return std::string(s.data(), s.length());
}

TEST(CXPathTest, RootsAndAbsolutePaths)
{
    struct Case {
        const char* path;
        bool absolute;
        bool root;
    };
    const Case cases[] = {
        {"C:/", true, true},     {"C:", false, false},          {"C:/a", true, false},
        {"//", true, true},      {"//h", true, true},           {"//h/", true, true},
        {"//h/s", true, true},   {"//h/s/", true, true},        {"//h/s/x", true, false},
        {"/", false, false},     {"/a", false, false},          {"", false, false},
        {"1:/", false, false},   {"z:/", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAbsolutePath(CXString(c.path)), c.absolute) << c.path;
        EXPECT_EQ(IsRootPath(CXString(c.path)), c.root) << c.path;
    }
}

TEST(CXPathTest, NormalizePath)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:/a/./b/../c/", "C:/a/c"},
        {"a/./b/../c", "a/c"},
        {"a/../../b", "../b"},
        {"../../x", "../../x"},
        {"../x/../..", "../.."},
        {"//host/share/a/../b", "//host/share/b"},
        {"", ""},
        {"C:/", "C:/"},
        {"./a//b/", "a/b"},
        {"//host", "//host"},
        {"/a/b", "a/b"},
        // Nothing climbs above an absolute root, so a root guard cannot be walked around.
        {"C:/..", "C:/"},
        {"C:/../x", "C:/x"},
        {"C:/a/../../b", "C:/b"},
        {"C:/a/../../../b/..", "C:/"},
        {"//host/share/../../x", "//host/share/x"},
        {"//h//", "//h"},
        // A network share root keeps no '/', like a folder left after "..": "C:/a/b/.." is "C:/a".
        {"//h/a/b/..", "//h/a"},
        {"//h/a/b/../", "//h/a"},
        // A relative path stays relative: a drive-like name that did not start it is a name.
        {"a/../C:/x", "./C:/x"},
        {"./C:/x", "./C:/x"},
        {"/C:/x", "./C:/x"},
        {"./C:/x/../..", ""},
        {"./C:/../y", "y"},
        {"C:", "C:"},
    };
    for (const Case& c : cases) {
        CXString path(c.path);
        NormalizePath(path);
        EXPECT_EQ(Str(path), c.expected) << c.path;
        CXString again(path);
        NormalizePath(again);
        EXPECT_EQ(Str(again), c.expected) << "normalised twice: " << c.path;
        CXStringEdit edit(CXString(c.path));
        edit.NormalizePathInPlace();
        EXPECT_EQ(Str(edit), c.expected) << c.path;
        EXPECT_EQ(IsRootPath(path), Str(path) == "C:/" || Str(path) == "//host" || Str(path) == "//h" || Str(path) == "//h/a") << c.path;
    }
}

// Every path of a root form and up to five '/'-joined parts from a small alphabet (the empty part
// makes "//" runs and trailing separators) normalises to a text that normalising leaves as it is,
// on the string and on the builder alike.
TEST(CXPathTest, NormalizePathIsIdempotent)
{
    const char* const roots[] = {"", "/", "//", "//h", "C:", "z:/"};
    const char* const parts[] = {"", ".", "..", "a", "b", "C:", "x\\y"};
    constexpr size_t kParts = std::size(parts);
    std::vector<std::string> unstable;
    for (const char* root : roots) {
        size_t combinations = 1;
        for (size_t count = 0; count <= 5; ++count, combinations *= kParts) {
            for (size_t n = 0; n < combinations; ++n) {
                std::string text = root;
                for (size_t i = 0, rest = n; i < count; ++i, rest /= kParts)
                    text += (i == 0 ? "" : "/") + std::string(parts[rest % kParts]);
                CXString once(text.c_str());
                NormalizePath(once);
                CXString twice(once);
                NormalizePath(twice);
                CXStringEdit edit{CXString(text.c_str())};
                edit.NormalizePathInPlace();
                if (Str(twice) != Str(once) || Str(edit) != Str(once))
                    unstable.push_back("'" + text + "' -> '" + Str(once) + "' -> '" + Str(twice) + "'");
            }
        }
    }
    std::string shown;
    for (size_t i = 0; i < unstable.size() && i < 20; ++i)
        shown += "\n  " + unstable[i];
    EXPECT_TRUE(unstable.empty()) << unstable.size() << " paths change when normalised again:" << shown;
}

TEST(CXPathTest, LeafParentAndSplit)
{
    struct Case {
        const char* path;
        const char* leaf;
        const char* parent;
        const char* splitRest;
    };
    const Case cases[] = {
        {"a/b/c", "c", "a/b", "a/b"},
        {"C:/a/b", "b", "C:/a", "C:/a"},
        {"C:/b", "b", "C:", "C:/"},
        {"C:/x", "x", "C:", "C:/"},
        {"/x", "x", "/", ""},
        {"x", "x", "", ""},
        {"ab/", "", "ab", "ab"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        CXString path(c.path);
        EXPECT_EQ(Str(GetPathLeafName(path)), c.leaf) << c.path;
        EXPECT_EQ(Str(GetParentPath(path)), c.parent) << c.path;
        EXPECT_EQ(Str(SplitPathLeafName(path)), c.leaf) << c.path;
        EXPECT_EQ(Str(path), c.splitRest) << c.path;
    }
}

TEST(CXPathTest, AppendComponent)
{
    struct Case {
        const char* path;
        const char* component;
        const char* expected;
    };
    const Case cases[] = {
        {"a", "b", "a/b"}, {"a/", "b", "a/b"}, {"a", "/b", "a/b"}, {"a", "//b", "a//b"},
        {"", "/x", "x"},   {"a", "", "a/"},    {"C:/", "x", "C:/x"},
    };
    for (const Case& c : cases) {
        CXString path(c.path);
        AppendPathComponent(path, c.component);
        EXPECT_EQ(Str(path), c.expected) << c.path << " + " << c.component;
    }
}

TEST(CXPathTest, Extensions)
{
    struct Case {
        const char* path;
        const char* extension;
        const char* withExtension;
        const char* current;
    };
    const Case cases[] = {
        {"a/.profile", "txt", "a/.profile.txt", ""},
        {".profile", "txt", ".txt", ""},
        {"x.tar.gz", ".zip", "x.tar.zip", "gz"},
        {"a.b/c", "txt", "a.b/c.txt", ""},
        {"A/B.TXT", "", "A/B", "txt"},
        {"readme", "md", "readme.md", ""},
    };
    for (const Case& c : cases) {
        CXString path(c.path);
        EXPECT_EQ(Str(GetPathExtension(path)), c.current) << c.path;
        SetPathExtension(path, c.extension);
        EXPECT_EQ(Str(path), c.withExtension) << c.path;
    }
    EXPECT_TRUE(IsShortcutPath(CXString("x/Game.LNK")));
    EXPECT_TRUE(IsShortcutPath(CXString(".lnk")));
    EXPECT_FALSE(IsShortcutPath(CXString("lnk")));
    EXPECT_FALSE(IsShortcutPath(CXString("a.lnkx")));
}

TEST(CXPathTest, RelativeAndInside)
{
    struct Relative {
        const char* path;
        const char* base;
        const char* expected;
    };
    const Relative relatives[] = {
        {"C:/a/b/c", "C:/a", "b/c"}, {"C:/a/b/c", "C:/A", ""}, {"C:/a/b/c", "C:/a/", "b/c"},
        {"C:/a", "C:/a", ""},        {"x/y", "", "x/y"},       {"", "C:/a", ""},
    };
    for (const Relative& c : relatives)
        EXPECT_EQ(Str(GetRelativePath(CXString(c.path), CXString(c.base))), c.expected) << c.path << " vs " << c.base;

    struct Inside {
        const char* path;
        const char* folder;
        bool inside;
    };
    const Inside insides[] = {
        {"C:/a", "C:/a", false}, {"C:/ab", "C:/a", false}, {"C:/a/b", "C:/a/", true},
        {"C:/a/b", "C:/a", true}, {"C:/a/", "C:/a", false}, {"C:/x", "C:/", true},
    };
    for (const Inside& c : insides)
        EXPECT_EQ(IsPathInsideFolder(CXString(c.path), CXString(c.folder)), c.inside) << c.path << " in " << c.folder;

    CXString slashes("C:/a//");
    StripTrailingSlashes(slashes);
    EXPECT_EQ(Str(slashes), "C:/a");
    CXString root("C:/");
    StripTrailingSlashes(root);
    EXPECT_EQ(Str(root), "C:");
}

TEST(CXPathTest, FileURLs)
{
    EXPECT_EQ(Str(PathToFileURL(CXString("C:/a b"))), "file:///C%3a/a%20b");
    EXPECT_EQ(Str(PathToFileURL(CXString("//host/s/x"))), "file://host/s/x");
    EXPECT_EQ(Str(PathToFileURL(CXString("C:/d\xC3\xA9j\xC3\xA0/~x_y-z.1"))), "file:///C%3a/d%c3%a9j%c3%a0/~x_y-z.1");
    EXPECT_TRUE(PathToFileURL(CXString("docs/a")).IsEmpty());
}

TEST(CXPathTest, SafeFileNames)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"con.txt", "_con.txt"}, {"a/b:c", "a_b_c"}, {".profile", "_profile"}, {"name.", "name._"},
        {"", "Untitled"},        {"LPT1", "_LPT1"},  {"LPT10", "LPT10"},       {"..", "_._"},
        {"\xC3\xA9t\xC3\xA9", "__t__"},              {"a*b?c|d\"e<f>g\\h", "a_b_c_d_e_f_g_h"},
        {"aux.c", "_aux.c"},     {"Com1.tar.gz", "_Com1.tar.gz"},             {"NUL.", "_NUL._"},
        {"COM0", "COM0"},        {"CONX", "CONX"},   {"CON ", "CON "},         {"lpt9", "_lpt9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(MakeSafeFileName(c.text)), c.expected) << c.text;
}

TEST(CXPathTest, PathEditingOnTheBuilder)
{
    CXStringEdit a(CXString("a//b"));
    EXPECT_EQ(Str(a.PopFirstPathComponent()), "a");
    EXPECT_EQ(Str(a), "b");
    CXStringEdit b(CXString("/a"));
    EXPECT_EQ(Str(b.PopFirstPathComponent()), "/");
    EXPECT_EQ(Str(b), "a");
    CXStringEdit c(CXString("C:/"));
    c.RemoveTrailingSlashes();
    EXPECT_EQ(Str(c), "C:");
    CXStringEdit d(CXString("//host"));
    EXPECT_EQ(Str(d.GetPathRoot()), "//host");
    EXPECT_TRUE(d.IsEmpty());
    CXStringEdit e(CXString("//host/share/x"));
    EXPECT_EQ(Str(e.GetPathRoot()), "//host");
    EXPECT_EQ(Str(e), "share/x");
    CXStringEdit f(CXString("C:/a/b"));
    EXPECT_EQ(Str(f.PopLastPathComponent()), "b");
    EXPECT_EQ(Str(f), "C:/a");
    EXPECT_EQ(Str(f.PopLastPathComponent()), "a");
    EXPECT_EQ(Str(f), "C:/");
}

class CXNativePathTest : public testing::Test {
protected:
    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
};

TEST_F(CXNativePathTest, RoundTrips)
{
    const char* paths[] = {"C:/Games/Product/x.dat", "C:/", "Z:/usr/lib", "relative/part", "C:/with space/\xC3\xA9"};
    for (const char* p : paths) {
        CXString program(p);
        CXString native = CXFileSystem::ToNativePath(program);
        EXPECT_FALSE(native.IsEmpty()) << p;
        EXPECT_EQ(Str(CXFileSystem::FromNativePath(native)), p);
    }
    EXPECT_EQ(Str(CXFileSystem::ToNativePath(CXString("C:/a/b"))), fScratch.Path() + "/a/b");
    EXPECT_EQ(Str(CXFileSystem::FromNativePath("\\\\?\\unc\\srv\\share\\a")), "//srv/share/a");
    EXPECT_EQ(Str(CXFileSystem::FromNativePath("\\\\?\\C:\\a")), "C:/a");
    CXString wide = CXFileSystem::ToNativePathW(CXString("C:/\xC3\xA9"));
    EXPECT_EQ(Str(CXFileSystem::FromNativePathW(UTF16Units(wide))), "C:/\xC3\xA9");
}

TEST_F(CXNativePathTest, NoHostFormIsLoggedAndEmpty)
{
    CXDebugCapture capture;
    EXPECT_TRUE(CXFileSystem::ToNativePath(CXString("C:/../etc/passwd")).IsEmpty());
    EXPECT_TRUE(CXFileSystem::ToNativePath(CXString("//srv/share/x")).IsEmpty());
    // The host would stop reading the path at a NUL: "C:/notes.txt" is not what was named.
    for (const std::string& nul : {std::string("C:/notes.txt\0.lnk", 17), std::string("rel\0ative", 9), std::string("\0", 1)})
        EXPECT_TRUE(CXFileSystem::ToNativePath(CXString(nul.data(), nul.size())).IsEmpty()) << nul;
    EXPECT_EQ(capture.Count("CXFileSystem::ToNativePath> no host form for 'C:/../etc/passwd'"), 1u);
    EXPECT_EQ(capture.Count("CXFileSystem::ToNativePath> no host form for '//srv/share/x'"), 1u);
    EXPECT_EQ(CXFileSystem::SetCurrentDirectory(CXString("Q:/nowhere")), kCXNotFound);
}

TEST(CXPathTest, BuildFoldersAreSteppedOutOf)
{
    struct Case {
        const char* executable;
        const char* folder;
    };
    const Case cases[] = {
        {"D:/src/x/Build/MSVS/Release/app.exe", "D:/src/x"},
        {"D:/x/build/msvs/build/x64/Final/app.exe", "D:/x"},
        {"D:/x/build/msvs-win32-x86/Debug/app.exe", "D:/x"},
        {"D:/x/mybuild/msvs/Debug/app.exe", "D:/x"},
        {"D:/apps/app.exe", "D:/apps"},
        {"msvs/Debug/app.exe", "msvs/Debug"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(GetApplicationFolderOf(CXString(c.executable))), c.folder) << c.executable;
}

TEST_F(CXNativePathTest, ExecutableAndApplicationFolder)
{
    CXString exe = CXFileSystem::GetExecutablePath();
    ASSERT_TRUE(IsAbsolutePath(exe)) << Str(exe);
    EXPECT_EQ(Str(GetPathLeafName(exe)), "CXPathTest");
    EXPECT_EQ(GetApplicationFolder(), GetParentPath(exe));

    std::filesystem::create_directories(fScratch / "app/data");
    ScopedEnv folder("CX_APP_FOLDER", fScratch / "app/");
    EXPECT_EQ(Str(GetApplicationFolder()), "C:/app");
    std::string before = std::filesystem::current_path().string();
    EXPECT_EQ(SetApplicationFolderCurrent(), kCXOK);
    EXPECT_EQ(std::filesystem::current_path().string(), fScratch / "app");
    std::filesystem::current_path(before);
    EXPECT_EQ(CXFileSystem::SetCurrentDirectory(CXString("C:/missing")), kCXNotFound);
}

TEST_F(CXNativePathTest, DataFolderFollowsTheApplicationFolder)
{
    ScopedEnv folder("CX_APP_FOLDER", fScratch / "app");
    EXPECT_EQ(Str(GetDataFolderFilepath("openssl.crt")), "C:/app/data/openssl.crt");
    EXPECT_EQ(Str(GetDataFolderFilepath("spinner-anim/spinner3.bmp")), "C:/app/data/spinner-anim/spinner3.bmp");
    EXPECT_EQ(Str(GetDataFolderFilepath(nullptr)), "C:/app/data");
    EXPECT_EQ(Str(GetDataFolderFilepath("")), "C:/app/data");
    CXString parent = GetDataFolderFilepath("..");
    NormalizePath(parent);
    EXPECT_EQ(Str(parent), "C:/app");
    EXPECT_EQ(Str(CXFileSystem::ToNativePath(GetDataFolderFilepath("x.txt"))), fScratch / "app/data/x.txt");
}

} // namespace
