// Shell links as freedesktop desktop entries. The program names a shortcut by its ".lnk" path; the
// file behind it is the same path with ".desktop" in place of ".lnk" (menus and file managers read
// only ".desktop" names), holding a [Desktop Entry] that starts the target. Icon indexes, hot
// keys, show commands and link resolution do not exist.
#include "platform/Shortcut.h"

#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/File.h"

#include <cerrno>
#include <cstring>

namespace Platform {

namespace {

constexpr size_t kMaxShortcutBytes = 1024 * 1024;
constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#`()";

// True when text is UTF-8 (no overlong forms, surrogates or values past U+10FFFF) holding no
// control character but tab, newline and carriage return.
bool IsCarriableText(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
                return false;
            ++i;
            continue;
        }
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (length == 0 || c > 0xF4 || i + length > text.size())
            return false;
        uint32_t code = c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// The string-value escapes: back-slash, newline, tab, carriage return, and a leading space (which
// a reader would trim).
std::string EscapeValue(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == ' ' && i == 0)
            out += "\\s";
        else
            out += c;
    }
    return out;
}

// One Exec argument: quoted when empty or holding a reserved character, with '"', '`', '$' and
// '\' escaped inside the quotes; '%' doubled everywhere.
std::string QuoteArgument(std::string_view argument)
{
    bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
    std::string out;
    if (quote)
        out += '"';
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    if (quote)
        out += '"';
    return out;
}

std::string DefaultName(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = leaf.rfind('.');
    return dot != std::string::npos && dot > 0 ? leaf.substr(0, dot) : leaf;
}

std::string UnescapeValue(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        char next = value[++i];
        switch (next) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: // not a string escape: kept as written
            out += '\\';
            out += next;
        }
    }
    return out;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The keys of the [Desktop Entry] group of a desktop entry's text.
void ParseDesktopEntry(const std::string& text, std::map<std::string, std::string>& keys)
{
    bool inEntry = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        size_t equals = line.find('=');
        if (!inEntry || equals == std::string_view::npos)
            continue;
        std::string_view key = TrimBlanks(line.substr(0, equals));
        if (key.empty())
            continue;
        keys[std::string(key)] = UnescapeValue(TrimBlanks(line.substr(equals + 1)));
    }
}

} // namespace

bool FormatShortcut(const std::string& path, const ShortcutEntry& entry, std::string& text)
{
    text.clear();
    const std::string name = entry.name.empty() ? DefaultName(path) : entry.name;
    if (entry.target.empty())
        return false;
    for (const std::string* value : {&name, &entry.target, &entry.workingDirectory, &entry.icon, &entry.comment})
        if (!IsCarriableText(*value))
            return false;
    std::string exec = QuoteArgument(entry.target);
    for (const std::string& argument : entry.arguments) {
        if (!IsCarriableText(argument))
            return false;
        exec += ' ';
        exec += QuoteArgument(argument);
    }
    text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + EscapeValue(name) + "\n";
    text += "Exec=" + EscapeValue(exec) + "\n";
    if (!entry.workingDirectory.empty())
        text += "Path=" + EscapeValue(entry.workingDirectory) + "\n";
    if (!entry.icon.empty())
        text += "Icon=" + EscapeValue(entry.icon) + "\n";
    if (!entry.comment.empty())
        text += "Comment=" + EscapeValue(entry.comment) + "\n";
    return true;
}

std::string ShortcutFilePath(const std::string& path)
{
    size_t length = path.size();
    if (length < 4 || path[length - 4] != '.')
        return path;
    for (size_t i = 1; i < 4; ++i)
        if ((path[length - 4 + i] | 0x20) != "lnk"[i - 1])
            return path;
    return path.substr(0, length - 4) + ".desktop";
}

bool ShortcutExists(const std::string& path)
{
    FileInfo info;
    int error = LinkStatPath(ShortcutFilePath(path), info);
    return error != ENOENT && error != ENOTDIR;
}

int WriteShortcut(const std::string& path, const ShortcutEntry& entry)
{
    std::string text;
    if (!FormatShortcut(path, entry, text))
        return EINVAL;
    const std::string file = ShortcutFilePath(path);
    InvokingUser user;
    if (PkexecInvokingUser(user))
        return WriteFileAtomically(file, text, 0755, user.uid, user.gid);
    return WriteFileAtomically(file, text, 0755);
}

int DeleteShortcut(const std::string& path)
{
    const std::string file = ShortcutFilePath(path);
    int error = UnlinkPath(file);
    if (error == ENOENT)
        error = 0;
    if (file == path)
        return error;
    int legacyError = UnlinkPath(path);
    return error != 0 || legacyError == ENOENT ? error : legacyError;
}

int ReadShortcut(const std::string& path, std::map<std::string, std::string>& keys)
{
    keys.clear();
    int fd;
    int error = OpenFile(ShortcutFilePath(path), kOpenRead | kOpenNoFollow | kOpenNonBlock, 0, fd);
    if (error != 0)
        return error;
    FileInfo info;
    error = StatFile(fd, info);
    if (error == 0 && !info.isFile)
        error = EINVAL;
    std::string text;
    if (error == 0)
        error = ReadWholeFile(fd, kMaxShortcutBytes, text);
    int closeError = CloseFile(fd);
    if (error == 0)
        error = closeError;
    if (error != 0)
        return error;
    ParseDesktopEntry(text, keys);
    return 0;
}

bool SplitExecLine(std::string_view exec, std::vector<std::string>& arguments)
{
    arguments.clear();
    size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ') {
            ++i;
            continue;
        }
        std::string argument;
        bool quoted = exec[i] == '"';
        if (quoted) {
            for (++i;; ++i) {
                if (i >= exec.size())
                    return false;
                char c = exec[i];
                if (c == '"')
                    break;
                if (c == '\\') {
                    if (i + 1 >= exec.size() || std::strchr("\"`$\\", exec[i + 1]) == nullptr)
                        return false;
                    c = exec[++i];
                } else if (c == '%') {
                    if (i + 1 >= exec.size() || exec[i + 1] != '%')
                        return false;
                    ++i;
                }
                argument += c;
            }
            ++i;
            if (i < exec.size() && exec[i] != ' ')
                return false;
        } else {
            for (; i < exec.size() && exec[i] != ' '; ++i) {
                char c = exec[i];
                if (std::strchr(kReserved, c) != nullptr)
                    return false;
                if (c == '%') {
                    if (i + 1 >= exec.size() || exec[i + 1] != '%')
                        return false;
                    ++i;
                }
                argument += c;
            }
        }
        arguments.push_back(std::move(argument));
    }
    return true;
}

} // namespace Platform
