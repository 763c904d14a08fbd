#include "patch/PatchJournal.h"

#include "foundation/CXPath.h"
#include "foundation/CXStringEdit.h"
#include "patch/PatchTargetFolder.h"
#include "streams/CXStreamFile.h"

#include <string>
#include <string_view>

namespace {

constexpr const char* kHeader = "patch-journal 1";
// The release line that carries the patch id: no data file name holds a space.
constexpr std::string_view kPatchIdPrefix = "patch-id ";
// A journal is a list of paths; anything near this size is not one.
constexpr uint64_t kMaximumJournalSize = 256ull << 20;

void AppendToken(std::string& line, const CXString& text)
{
    line += ' ';
    line += std::to_string(text.length());
    line += ':';
    line.append(text.c_str(), text.length());
}

enum class Parse { kCut, kBad, kGood };

// Reads " <length>:<bytes>" at offset. kCut when the text ends first (the crash cut the line).
Parse ReadToken(std::string_view text, size_t& offset, CXString& token)
{
    if (offset >= text.size())
        return Parse::kCut;
    if (text[offset] != ' ')
        return Parse::kBad;
    ++offset;
    size_t length = 0;
    size_t digits = 0;
    while (offset < text.size() && text[offset] >= '0' && text[offset] <= '9') {
        if (++digits > 10)
            return Parse::kBad;
        length = length * 10 + static_cast<size_t>(text[offset] - '0');
        ++offset;
    }
    if (offset >= text.size())
        return Parse::kCut;
    if (digits == 0 || text[offset] != ':')
        return Parse::kBad;
    ++offset;
    if (length > text.size() - offset)
        return Parse::kCut;
    token = CXString(text.data() + offset, length);
    offset += length;
    return Parse::kGood;
}

// The line feed that ends a line.
Parse ReadLineEnd(std::string_view text, size_t& offset)
{
    if (offset >= text.size())
        return Parse::kCut;
    if (text[offset] != '\n')
        return Parse::kBad;
    ++offset;
    return Parse::kGood;
}

} // namespace

CXString PatchJournal::TemporaryFolderFor(const PatchTargetFolder& target)
{
    CXString folder = target.GetRoot();
    AppendPathComponent(folder, kTemporaryFolderName);
    return folder;
}

CXString PatchJournal::PathFor(const PatchTargetFolder& target)
{
    CXString path = TemporaryFolderFor(target);
    AppendPathComponent(path, kFileName);
    return path;
}

void PatchJournal::PlanPath(const CXString& relative, bool isFolder)
{
    if (relative.IsEmpty())
        return;
    for (const PlanEntry& entry : fPlan) {
        if (entry.relative == relative)
            return;
    }
    CXString parent = GetParentPath(relative);
    if (!parent.IsEmpty() && parent != relative)
        PlanPath(parent, true);
    CXString absolute = fTarget.GetRoot();
    AppendPathComponent(absolute, relative);
    PlanEntry entry;
    entry.relative = relative;
    entry.isFolder = isFolder;
    entry.existedBefore = fTarget.Exists(absolute);
    fPlan.push_back(entry);
}

CXResultCode PatchJournal::WritePlan()
{
    CXString folder = TemporaryFolderFor(fTarget);
    CXResultCode result = fTarget.MakeDirectory(folder);
    if (result != kCXOK && result != kCXAlreadyExists)
        return result;
    std::string text = kHeader;
    text += '\n';
    if (!fPatchId.IsEmpty()) {
        std::string id(kPatchIdPrefix);
        id.append(fPatchId.c_str(), fPatchId.length());
        text += "data-released";
        AppendToken(text, CXString(id.data(), id.size()));
        text += '\n';
    }
    for (const PlanEntry& entry : fPlan) {
        text += "plan ";
        text += entry.existedBefore ? 'e' : 'n';
        text += entry.isFolder ? 'd' : 'f';
        AppendToken(text, entry.relative);
        text += '\n';
    }
    CXStreamFile stream;
    result = fTarget.Open(PathFor(fTarget), PatchTargetFolder::kOpenCreateNew, stream);
    if (result != kCXOK)
        return result;
    fWritten = true;
    if (stream.Write(text.data(), text.size()) != text.size())
        result = stream.GetResult() == kCXOK ? kCXNoResources : stream.GetResult();
    CXResultCode flushed = stream.Flush(1);
    if (result == kCXOK)
        result = flushed;
    CXResultCode closed = stream.Close();
    if (result == kCXOK)
        result = closed;
    // The new name must be durable too: the folder that holds it, and the target that holds the
    // folder when it was just made.
    if (result == kCXOK)
        result = fTarget.Sync(folder);
    if (result == kCXOK)
        result = fTarget.Sync(fTarget.GetRoot());
    return result;
}

CXResultCode PatchJournal::Append(const CXString& text)
{
    CXStreamFile stream;
    CXResultCode result = fTarget.Open(PathFor(fTarget), PatchTargetFolder::kOpenReadWrite, stream);
    if (result != kCXOK)
        return result;
    stream.Seek(0, CXStream::kSeekEnd);
    if (stream.Write(text.c_str(), text.length()) != text.length())
        result = stream.GetResult() == kCXOK ? kCXNoResources : stream.GetResult();
    CXResultCode flushed = stream.Flush(1);
    if (result == kCXOK)
        result = flushed;
    CXResultCode closed = stream.Close();
    return result == kCXOK ? closed : result;
}

CXResultCode PatchJournal::WriteRenames(const std::vector<RenameEntry>& renames)
{
    std::string text;
    for (const RenameEntry& entry : renames) {
        text += entry.isDeletion ? "delete" : "rename";
        AppendToken(text, entry.backup);
        AppendToken(text, entry.destination);
        AppendToken(text, entry.written);
        text += '\n';
    }
    return text.empty() ? kCXOK : Append(CXString(text.data(), text.size()));
}

CXResultCode PatchJournal::WriteDataFile(const CXString& leaf, bool released)
{
    std::string text = released ? "data-released" : "data";
    AppendToken(text, leaf);
    text += '\n';
    return Append(CXString(text.data(), text.size()));
}

CXResultCode PatchJournal::WriteModeChange(const CXString& relative, uint32_t mode)
{
    std::string text = "mode";
    AppendToken(text, CXString::FromFormat("%o", static_cast<unsigned>(mode & 07777)));
    AppendToken(text, relative);
    text += '\n';
    return Append(CXString(text.data(), text.size()));
}

CXResultCode PatchJournal::WriteCommit()
{
    return Append("commit\n");
}

CXResultCode PatchJournal::Remove()
{
    CXResultCode result = fTarget.Delete(PathFor(fTarget));
    if (result == kCXOK || result == kCXNotFound)
        fWritten = false;
    return result == kCXNotFound ? kCXOK : result;
}

CXResultCode PatchJournal::Read(const PatchTargetFolder& target, Contents& contents)
{
    contents = Contents();
    CXStreamFile stream;
    CXResultCode result = target.Open(PathFor(target), PatchTargetFolder::kOpenReading, stream);
    if (result != kCXOK)
        return result;
    uint64_t size = stream.GetSize();
    if (size > kMaximumJournalSize)
        return kCXBadFormat;
    std::string text(static_cast<size_t>(size), '\0');
    if (stream.Read(text.data(), size) != size)
        return stream.GetResult() == kCXOK ? kCXBadFormat : stream.GetResult();
    (void)stream.Close();

    // Lines are parsed in order, paths by their lengths (a path may hold a line feed). Running
    // out of text inside a line means the crash cut it: what it began never happened.
    std::string_view all(text);
    std::string header = std::string(kHeader) + "\n";
    if (all.size() < header.size())
        return header.compare(0, all.size(), all) == 0 ? kCXOK : kCXBadFormat;
    if (all.substr(0, header.size()) != header)
        return kCXBadFormat;
    size_t offset = header.size();
    while (offset < all.size()) {
        size_t keywordEnd = all.find_first_of(" \n", offset);
        if (keywordEnd == std::string_view::npos)
            break;
        std::string_view keyword = all.substr(offset, keywordEnd - offset);
        offset = keywordEnd;
        Parse parsed = Parse::kBad;
        if (keyword == "commit") {
            parsed = ReadLineEnd(all, offset);
            if (parsed == Parse::kGood)
                contents.committed = true;
        } else if (keyword == "plan") {
            PlanEntry entry;
            if (offset + 3 > all.size()) {
                parsed = Parse::kCut;
            } else if (all[offset] == ' ' && (all[offset + 1] == 'e' || all[offset + 1] == 'n') &&
                       (all[offset + 2] == 'd' || all[offset + 2] == 'f')) {
                entry.existedBefore = all[offset + 1] == 'e';
                entry.isFolder = all[offset + 2] == 'd';
                offset += 3;
                parsed = ReadToken(all, offset, entry.relative);
                if (parsed == Parse::kGood)
                    parsed = ReadLineEnd(all, offset);
                if (parsed == Parse::kGood)
                    contents.plan.push_back(entry);
            }
        } else if (keyword == "data" || keyword == "data-released") {
            CXString leaf;
            parsed = ReadToken(all, offset, leaf);
            if (parsed == Parse::kGood)
                parsed = ReadLineEnd(all, offset);
            std::string_view name(leaf.c_str(), leaf.length());
            if (parsed == Parse::kGood) {
                if (keyword == "data") {
                    contents.dataFiles.push_back(leaf);
                } else if (name.substr(0, kPatchIdPrefix.size()) == kPatchIdPrefix) {
                    name.remove_prefix(kPatchIdPrefix.size());
                    contents.patchId = CXString(name.data(), name.size());
                } else {
                    for (auto it = contents.dataFiles.begin(); it != contents.dataFiles.end(); ++it) {
                        if (*it == leaf) {
                            contents.dataFiles.erase(it);
                            break;
                        }
                    }
                }
            }
        } else if (keyword == "mode") {
            CXString bits;
            ModeEntry entry;
            parsed = ReadToken(all, offset, bits);
            if (parsed == Parse::kGood)
                parsed = ReadToken(all, offset, entry.relative);
            if (parsed == Parse::kGood)
                parsed = ReadLineEnd(all, offset);
            if (parsed == Parse::kGood) {
                uint32_t mode = 0;
                bool good = !bits.IsEmpty() && bits.length() <= 4;
                for (size_t i = 0; good && i < bits.length(); ++i) {
                    char c = bits.c_str()[i];
                    good = c >= '0' && c <= '7';
                    mode = mode * 8 + static_cast<uint32_t>(c - '0');
                }
                if (!good)
                    return kCXBadFormat;
                entry.mode = mode;
                contents.modes.push_back(entry);
            }
        } else if (keyword == "rename" || keyword == "delete") {
            RenameEntry entry;
            entry.isDeletion = keyword == "delete";
            parsed = ReadToken(all, offset, entry.backup);
            if (parsed == Parse::kGood)
                parsed = ReadToken(all, offset, entry.destination);
            if (parsed == Parse::kGood)
                parsed = ReadToken(all, offset, entry.written);
            if (parsed == Parse::kGood)
                parsed = ReadLineEnd(all, offset);
            if (parsed == Parse::kGood)
                contents.renames.push_back(entry);
        }
        if (parsed == Parse::kCut)
            break;
        if (parsed == Parse::kBad)
            return kCXBadFormat;
    }
    return kCXOK;
}
