// Security descriptors as POSIX mode bits: a small subset of SDDL (allow entries for the owner,
// group and everyone, with read, write, execute and full rights) maps onto rwx bits; nothing else.
#include "platform/Permissions.h"

#include "platform/File.h"

namespace Platform {

namespace {

constexpr uint32_t kRead = 4;
constexpr uint32_t kWrite = 2;
constexpr uint32_t kExecute = 1;
constexpr uint32_t kAll = kRead | kWrite | kExecute;

struct Code {
    const char* text;
    uint32_t value;
};

// Trustee SIDs and the shift of their class's bits in the mode.
constexpr Code kTrustees[] = {
    {"OW", 6}, {"CO", 6}, {"SY", 6}, {"BA", 6}, {"BU", 3}, {"AU", 3}, {"WD", 0},
};
constexpr const char* kOwnerSids[] = {"OW", "CO", "SY", "BA"};
constexpr const char* kGroupSids[] = {"BU", "AU", "SY", "BA"};

constexpr Code kRightCodes[] = {
    {"FA", kAll}, {"GA", kAll}, {"FR", kRead}, {"GR", kRead},
    {"FW", kWrite}, {"GW", kWrite}, {"FX", kExecute}, {"GX", kExecute},
};

constexpr Code kRightMasks[] = {
    {"FILE_ALL_ACCESS", 0x1F01FF}, {"FILE_GENERIC_READ", 0x120089}, {"FILE_GENERIC_WRITE", 0x120116},
    {"FILE_GENERIC_EXECUTE", 0x1200A0}, {"GENERIC_ALL", 0x10000000}, {"GENERIC_READ", 0x80000000},
    {"GENERIC_WRITE", 0x40000000}, {"GENERIC_EXECUTE", 0x20000000},
};
constexpr uint32_t kRightMaskBits[] = {kAll, kRead, kWrite, kExecute, kAll, kRead, kWrite, kExecute};

bool IsOneOf(std::string_view text, const char* const* list, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (text == list[i])
            return true;
    return false;
}

// Consumes a run of two-letter codes, each one of the allowed ones, and reports which were met.
// False when the run holds anything else.
template <size_t N>
bool ParseFlagCodes(std::string_view text, const char* const (&allowed)[N], bool* met = nullptr)
{
    if (text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        std::string_view code = text.substr(i, 2);
        size_t k = 0;
        while (k < N && code != allowed[k])
            ++k;
        if (k == N)
            return false;
        if (met != nullptr)
            met[k] = true;
    }
    return true;
}

bool ParseHexMask(std::string_view text, uint32_t& bits)
{
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    uint32_t mask = 0;
    for (char c : text.substr(2)) {
        int digit = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            return false;
        mask = mask << 4 | static_cast<uint32_t>(digit);
    }
    if (mask == 0)
        return false;
    uint32_t covered = 0;
    bits = 0;
    for (size_t i = 0; i < sizeof kRightMasks / sizeof kRightMasks[0]; ++i) {
        if ((mask & kRightMasks[i].value) == kRightMasks[i].value) {
            covered |= kRightMasks[i].value;
            bits |= kRightMaskBits[i];
        }
    }
    return covered == mask;
}

bool ParseRights(std::string_view text, uint32_t& bits)
{
    bits = 0;
    if (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")
        return ParseHexMask(text, bits);
    if (text.empty() || text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        std::string_view code = text.substr(i, 2);
        bool known = false;
        for (const Code& right : kRightCodes) {
            if (code == right.text) {
                bits |= right.value;
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

// One "A;flags;rights;;;sid" entry (without its parentheses): adds its bits to mode.
bool ParseAce(std::string_view ace, uint32_t& mode)
{
    std::string_view fields[6];
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        size_t end = ace.find(';', start);
        if (count == 6)
            return false; // a seventh field (resource attributes) is outside the subset
        fields[count++] = ace.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    if (count != 6 || fields[0] != "A" || !fields[3].empty() || !fields[4].empty())
        return false;
    static constexpr const char* kAceFlags[] = {"OI", "CI", "NP", "ID", "IO"};
    bool met[5] = {};
    if (!ParseFlagCodes(fields[1], kAceFlags, met))
        return false;
    uint32_t bits;
    if (!ParseRights(fields[2], bits))
        return false;
    const Code* trustee = nullptr;
    for (const Code& candidate : kTrustees)
        if (fields[5] == candidate.text)
            trustee = &candidate;
    if (trustee == nullptr)
        return false;
    if (!met[4]) // an inherit-only entry is only for the children
        mode |= bits << trustee->value;
    return true;
}

} // namespace

bool SddlToMode(std::string_view sddl, uint32_t& mode)
{
    bool seen[4] = {}; // O, G, D, S
    uint32_t result = 0;
    size_t pos = 0;
    while (pos < sddl.size()) {
        if (pos + 2 > sddl.size() || sddl[pos + 1] != ':')
            return false;
        char part = sddl[pos];
        int index = part == 'O' ? 0 : part == 'G' ? 1 : part == 'D' ? 2 : part == 'S' ? 3 : -1;
        if (index < 0 || seen[index])
            return false;
        seen[index] = true;
        pos += 2;
        // The part runs up to the next "X:" that starts a part (never inside an entry).
        size_t end = pos;
        int depth = 0;
        while (end < sddl.size()) {
            char c = sddl[end];
            if (c == '(')
                ++depth;
            else if (c == ')')
                --depth;
            else if (depth == 0 && end + 1 < sddl.size() && sddl[end + 1] == ':' &&
                     (c == 'O' || c == 'G' || c == 'D' || c == 'S'))
                break;
            if (depth < 0 || depth > 1)
                return false;
            ++end;
        }
        std::string_view body = sddl.substr(pos, end - pos);
        pos = end;
        if (index == 0 && !IsOneOf(body, kOwnerSids, 4))
            return false;
        if (index == 1 && !IsOneOf(body, kGroupSids, 4))
            return false;
        if (index < 2)
            continue;
        size_t open = body.find('(');
        std::string_view flags = body.substr(0, open);
        // The ACL flags are one- and two-letter codes: P, AI, AR, in any order.
        for (size_t i = 0; i < flags.size();) {
            if (flags[i] == 'P') {
                ++i;
            } else if (flags.substr(i, 2) == "AI" || flags.substr(i, 2) == "AR") {
                i += 2;
            } else {
                return false;
            }
        }
        if (open == std::string_view::npos)
            continue;
        if (index == 3)
            return false; // audit and label entries cannot be mapped
        std::string_view aces = body.substr(open);
        while (!aces.empty()) {
            if (aces[0] != '(')
                return false;
            size_t close = aces.find(')');
            if (close == std::string_view::npos)
                return false;
            if (!ParseAce(aces.substr(1, close - 1), result))
                return false;
            aces.remove_prefix(close + 1);
        }
    }
    if (!seen[2])
        return false; // no DACL (or a null one) would grant everything to everyone
    mode = result;
    return true;
}

std::string ModeToSddl(uint32_t mode)
{
    static constexpr const char* kSids[] = {"OW", "BU", "WD"};
    std::string text = "O:BAG:BUD:";
    for (int i = 0; i < 3; ++i) {
        uint32_t bits = (mode >> (6 - 3 * i)) & kAll;
        if (bits == 0)
            continue;
        text += "(A;;";
        if (bits == kAll) {
            text += "FA";
        } else {
            if (bits & kRead)
                text += "FR";
            if (bits & kWrite)
                text += "FW";
            if (bits & kExecute)
                text += "FX";
        }
        text += ";;;";
        text += kSids[i];
        text += ')';
    }
    return text;
}

int GetPathMode(const std::string& path, uint32_t& mode)
{
    FileInfo info;
    int error = LinkStatPath(path, info);
    if (error == 0 && info.isLink)
        return ELOOP;
    if (error == 0)
        mode = info.mode;
    return error;
}

int SetPathMode(const std::string& path, uint32_t mode)
{
    return ChangeMode(path, mode & 07777);
}

} // namespace Platform
