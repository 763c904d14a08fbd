#include "streams/CXURI.h"

#include "foundation/CXPath.h"
#include "platform/DriveMap.h"
#include "support/ScopedDriveMap.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

CXStringArgument View(const std::string& s)
{
    return CXStringArgument(s.data(), s.size());
}

struct Parts {
    std::string scheme, host;
    int port;
    std::string user, password, path, query;
};

Parts Split(const CXURI& uri)
{
    return {Str(uri.scheme), Str(uri.host), uri.port, Str(uri.user), Str(uri.password), Str(uri.path), Str(uri.query)};
}

bool operator==(const Parts& a, const Parts& b)
{
    return a.scheme == b.scheme && a.host == b.host && a.port == b.port && a.user == b.user &&
           a.password == b.password && a.path == b.path && a.query == b.query;
}

std::ostream& operator<<(std::ostream& out, const Parts& p)
{
    return out << "{" << p.scheme << "|" << p.host << "|" << p.port << "|" << p.user << "|" << p.password << "|"
               << p.path << "|" << p.query << "}";
}

const Parts kEmpty = {"", "", 0, "", "", "", ""};

TEST(CXURITest, Grammar)
{
    struct Case {
        std::string text;
        Parts parts;
    };
    const Case cases[] = {
        {"x://h/p?q=1", {"x", "h", 0, "", "", "p", "q=1"}},
        {"host:8080/x", {"", "host", 8080, "", "", "x", ""}},
        {"file:///C:/dir/f", {"file", "", 0, "", "", "C:/dir/f", ""}},
        {"http://u!pw@h:81", {"http", "h", 81, "u", "pw", "", ""}},
        {"https://u%21!p%40w@h:443/a/b?c=d&e=f", {"https", "h", 443, "u%21", "p%40w", "a/b", "c=d&e=f"}},
        {"localhost", {"", "localhost", 0, "", "", "", ""}},
        {"", kEmpty},
        // Credentials without a password, a password without a user, and no scheme at all.
        {"x://u@h/p", {"x", "h", 0, "u", "", "p", ""}},
        {"x://!p@h", {"x", "h", 0, "", "p", "", ""}},
        {"u@h:1/p", {"", "h", 1, "u", "", "p", ""}},
        // The password runs to the '@', across '/'.
        {"x://a!b/c@d", {"x", "d", 0, "a", "b/c", "", ""}},
        // A colon before digits is the port only for at most five digits ending the host.
        {"h:123456/x", {"h", "123456", 0, "", "", "x", ""}},
        {"h:12ab", {"h", "12ab", 0, "", "", "", ""}},
        {"h:65535", {"", "h", 65535, "", "", "", ""}},
        {"h:0080/", {"", "h", 80, "", "", "", ""}},
        {"XY://h", {"xy", "h", 0, "", "", "", ""}},
        {"Mail:x", {"Mail", "x", 0, "", "", "", ""}},
        {"h:", {"h", "", 0, "", "", "", ""}},
        // After a scheme a colon starts the port, also with no digits after it.
        {"x://h:/p", {"x", "h", 0, "", "", "p", ""}},
        {"x://u@h:/p", {"x", "h", 0, "u", "", "p", ""}},
        {"x://h:", {"x", "h", 0, "", "", "", ""}},
        {"x://a://b", {"x", "a", 0, "", "", "/b", ""}},
        // Path and query: the first '?' splits, and nothing is decoded.
        {"/p?q", {"", "", 0, "", "", "p", "q"}},
        {"x://h/a%20b?x?y=1+2", {"x", "h", 0, "", "", "a%20b", "x?y=1+2"}},
        {"x://h/?", {"x", "h", 0, "", "", "", ""}},
        {"x://h?q", {"x", "h?q", 0, "", "", "", ""}},
        {std::string("x://h/p?q\0junk", 14), {"x", "h", 0, "", "", "p", "q"}},
        {std::string("x://h:8\0x", 9), {"x", "h", 8, "", "", "", ""}},
    };
    for (const Case& c : cases) {
        CXDebugCapture capture;
        CXURI uri(View(c.text));
        EXPECT_EQ(Split(uri), c.parts) << c.text;
        EXPECT_TRUE(capture.Lines().empty()) << c.text;
    }
}

TEST(CXURITest, MalformedAddressesLeaveEveryPartEmpty)
{
    const char* const cases[] = {
        "x://a!b",            // '!' with no '@' after it
        "x://h:80x",          // the port followed by something other than '/'
        "x://u@h:80?q",       //
        "x://h:12ab",         // after a scheme, no second scheme
        "h:65536/x",          // ports above 65535
        "h:99999",            //
        "x://h:70000/p",      //
        "x://u@h:1234567/p",  // more than five digits
        "x://h:000080",       //
        "x://u@h@e/p",        // a second '@'
        "x://u!p@h@e",        //
    };
    for (const char* text : cases) {
        CXDebugCapture capture;
        CXURI uri(text);
        EXPECT_EQ(Split(uri), kEmpty) << text;
        EXPECT_EQ(capture.Lines().size(), 1u) << text;
        EXPECT_EQ(capture.Count(std::string("CXURI> bad URI format '") + text + "'"), 1u) << text;
    }
}

TEST(CXURITest, ConstructedFromAStringAndCopied)
{
    CXString text("http://u!p@h:81/a?b");
    CXURI uri(text);
    EXPECT_EQ(Split(uri), (Parts{"http", "h", 81, "u", "p", "a", "b"}));

    CXURI copy;
    copy = uri;
    EXPECT_EQ(Split(copy), Split(uri));
    EXPECT_EQ(copy.host.GetPayloadAddress(), uri.host.GetPayloadAddress());

    CXDebugCapture capture;
    copy = CXURI(CXString("x://a!b"));
    EXPECT_EQ(Split(copy), kEmpty);
    EXPECT_EQ(capture.Count("CXURI> bad URI format 'x://a!b'"), 1u);
}

TEST(CXURITest, TextFormAndRequestTarget)
{
    struct Case {
        const char* text;
        const char* written;
        const char* target;
        bool readsBack = true; // the text form parses to the same parts
    };
    const Case cases[] = {
        {"x://h/p?q=1", "x://h/p?q=1", "/p?q=1"},
        {"http://u!pw@h:81/a/b?c", "http://u!pw@h:81/a/b?c", "/a/b?c"},
        {"x://u@h", "x://u@h", "/"},
        {"host:8080/x", "host:8080/x", "/x"},
        {"file:///C:/d/f", "file:///C:/d/f", "/C:/d/f"},
        {"x://h/?q", "x://h/?q", "/?q"},
        {"x://h/a%20b?v=1+2", "x://h/a%20b?v=1+2", "/a%20b?v=1+2"},
        {"XY://h/", "xy://h", "/"},
        {"Mail:x", "Mail://x", "/", false},
        {"x://!p@h", "x://h", "/", false},
        {"", "", "/"},
    };
    for (const Case& c : cases) {
        CXURI uri(c.text);
        CXString written = uri.ToString();
        EXPECT_EQ(Str(written), c.written) << c.text;
        EXPECT_EQ(Str(uri.GetRequestTarget()), c.target) << c.text;
        if (c.readsBack) {
            EXPECT_EQ(Split(CXURI(written)), Split(uri)) << c.text;
        }
    }
    EXPECT_TRUE(CXURI().ToString().IsEmpty());

    CXURI secret("https://user!p+ss@h/data.bin");
    EXPECT_EQ(Str(secret.ToLogString()), "https://user!***@h/data.bin");
    EXPECT_EQ(Str(CXURI::Decode(secret.password)), "p+ss");

    // The web service takes the account password as the "p" parameter: every "p=" value is
    // masked, and nothing else is.
    struct MaskCase {
        const char* text;
        const char* expected;
    };
    const MaskCase maskCases[] = {
        {"https://h/s.php?u=al&p=se%26cret&loc=US", "https://h/s.php?u=al&p=***&loc=US"},
        {"https://h/s.php?p=x", "https://h/s.php?p=***"},
        {"https://h/s.php?p=", "https://h/s.php?p=***"},
        {"https://h/s.php?u=a&p=1&p=2", "https://h/s.php?u=a&p=***&p=***"},
        {"https://h/s.php?up=1&pp=2&p", "https://h/s.php?up=1&pp=2&p"},
        {"https://u!pw@h/s.php?u=a&&p=z&", "https://u!***@h/s.php?u=a&&p=***&"},
    };
    for (const MaskCase& c : maskCases) {
        CXURI address(c.text);
        EXPECT_EQ(Str(address.ToLogString()), c.expected) << c.text;
        EXPECT_EQ(Str(address.ToString()), c.text);
    }
}

TEST(CXURITest, EncodeAndDecode)
{
    struct EncodeCase {
        std::string text;
        const char* keep;
        const char* expected;
    };
    const EncodeCase encodeCases[] = {
        {"a b/c", "/", "a%20b/c"},
        {"a b/c", "", "a%20b%2fc"},
        {"AZaz09-._~", "", "AZaz09-._~"},
        {"x+y=z&\xC3\xA9", "+=", "x+y=z%26%c3%a9"},
        {"\xC3\xA9", "\xC3", "\xC3%a9"},
        {std::string("ab\0cd", 5), "", "ab"},
        {"", "/", ""},
    };
    for (const EncodeCase& c : encodeCases)
        EXPECT_EQ(Str(CXURI::Encode(View(c.text), c.keep)), c.expected) << c.text;
    EXPECT_TRUE(CXURI::Encode("", "").IsEmpty());

    struct DecodeCase {
        std::string text;
        std::string expected;
    };
    const DecodeCase decodeCases[] = {
        {"a+b%41", "a+bA"}, // '+' is a character of paths and passwords
        {"%4", "%4"},
        {"100%", "100%"},
        {"%zz%4g%", "%zz%4g%"},
        {"%%41", "%A"},
        {"%2F%2f%c3%A9", "//\xC3\xA9"},
        {"a%00b", std::string("a\0b", 3)},
        {std::string("a\0%41", 5), "a"},
        {std::string("%4\0" "1", 4), "%4"},
        {"", ""},
    };
    for (const DecodeCase& c : decodeCases)
        EXPECT_EQ(Str(CXURI::Decode(View(c.text))), c.expected) << c.text;
    // A '%' whose digits lie beyond the end of the view is not decoded.
    EXPECT_EQ(Str(CXURI::Decode(CXStringArgument("%41", 2))), "%4");
    EXPECT_TRUE(CXURI::Decode("").IsEmpty());

    // What is encoded decodes back, a '+' included.
    const std::string text = "a b+c/%\xC3\xA9";
    EXPECT_EQ(Str(CXURI::Decode(CXURI::Encode(View(text), ""))), text);
}

// Every test starts from a known drive map: Z: is '/', C: a scratch folder, nothing else mapped.
class CXURILocalPathTest : public testing::Test {
protected:
    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch / "c"};
};

TEST_F(CXURILocalPathTest, DriveNetworkAndHostPaths)
{
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"file:///C:/dir/f", "C:/dir/f"},
        {"FILE:///c|/x", "c:/x"},
        {"File:///C%3a/a%20b", "C:/a b"},
        {"file:///C:/c++/x", "C:/c++/x"},
        {"file://srv/share/a%20b", "//srv/share/a b"},
        {"file://srv", "//srv/"},
        {"file://///srv/share/x", "//srv/share/x"},
        {"file:///%2f%2fsrv/s", "//srv/s"},
        // Host paths: the leading '/' given back and the drive map applied.
        {"file:///opt/a%20b/c+d", "Z:/opt/a b/c+d"},
        {"file:/opt/x", "Z:/opt/x"},
        {"file://" + fScratch.Path() + "/c/dir/f", "C:/dir/f"},
        // Not local paths.
        {"http://h/C:/x", ""},
        {"files:///C:/x", ""},
        {"file:///C:x", ""},
        {"file:///C|x", ""},
        {"file:///C%7c/x", ""},
        {"file:///C", "Z:/C"},
        {"file:///", ""},
        {"file:", ""},
        {"file:////srv/share", ""},
        {"file:///C:/a%00.exe", ""},
        {"file://srv/a%00b", ""},
        {"file:///opt/a%00b", ""},
    };
    for (const Case& c : cases) {
        CXDebugCapture capture;
        EXPECT_EQ(Str(CXURI(View(c.text)).GetLocalFilePath()), c.expected) << c.text;
    }
}

TEST_F(CXURILocalPathTest, HostPathUnderNoMappedRoot)
{
    ScopedEnv unmapZ("CX_DRIVE_Z", "");
    Platform::ReloadDriveMap();
    CXDebugCapture capture;
    EXPECT_TRUE(CXURI("file:///opt/x").GetLocalFilePath().IsEmpty());
    EXPECT_EQ(capture.Count("CXFileSystem::FromNativePath> no program form for '/opt/x'"), 1u);
}

TEST(CXURITest, FileAddressesOfPathsReadBack)
{
    const char* const paths[] = {"C:/a b+c/%d\xC3\xA9j\xC3\xA0.txt", "//host/share/x y", "D:/"};
    for (const char* path : paths) {
        CXString url = PathToFileURL(CXString(path));
        EXPECT_EQ(Str(CXURI(url).GetLocalFilePath()), path) << Str(url);
    }
}

} // namespace
