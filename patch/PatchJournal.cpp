#include "patch/PatchJournal.h"

#include "foundation/CXPath.h"
#include "foundation/CXStringEdit.h"
#include "patch/PatchTargetFolder.h"
#include "streams/CXStreamFile.h"

#include <string>
#include <string_view>

namespace {

constexpr const char* kHeader = "patch-journal 1";
// A journal is a list of paths; anything near this size is not one.
constexpr uint64_t kMaximumJournalSize = 256ull << 20;

void AppendToken(std::string& line, const CXString& text)
{
    line += ' ';
    line += std::to_string(text.length());
    line += ':';
    line.append(text.c_str(), text.length());
}

// Reads " <length>:<bytes>" from the line at offset.
bool ReadToken(std::string_view line, size_t& offset, CXString& token)
{
    if (offset >= line.size() || line[offset] != ' ')
        return false;
    ++offset;
    size_t length = 0;
    size_t digits = 0;
    while (offset < line.size() && line[offset] >= '0' && line[offset] <= '9' && digits < 10) {
        length = length * 10 + static_cast<size_t>(line[offset] - '0');
        ++offset;
        ++digits;
    }
    if (digits == 0 || offset >= line.size() || line[offset] != ':')
        return false;
    ++offset;
    if (length > line.size() - offset)
        return false;
    token = CXString(line.data() + offset, length);
    offset += length;
    return true;
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

    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        // A last line without its line feed was cut short by a crash: what it began never happened.
        if (end == std::string::npos)
            break;
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (first) {
            if (line != kHeader)
                return kCXBadFormat;
            first = false;
            continue;
        }
        size_t offset;
        if (line.substr(0, 5) == "plan " && line.size() >= 7) {
            PlanEntry entry;
            if ((line[5] != 'e' && line[5] != 'n') || (line[6] != 'd' && line[6] != 'f'))
                return kCXBadFormat;
            entry.existedBefore = line[5] == 'e';
            entry.isFolder = line[6] == 'd';
            offset = 7;
            if (!ReadToken(line, offset, entry.relative) || offset != line.size())
                return kCXBadFormat;
            contents.plan.push_back(entry);
        } else if (line.substr(0, 6) == "rename" || line.substr(0, 6) == "delete") {
            RenameEntry entry;
            entry.isDeletion = line[0] == 'd';
            offset = 6;
            if (!ReadToken(line, offset, entry.backup) || !ReadToken(line, offset, entry.destination) ||
                !ReadToken(line, offset, entry.written) || offset != line.size())
                return kCXBadFormat;
            contents.renames.push_back(entry);
        } else if (line == "commit") {
            contents.committed = true;
        } else {
            return kCXBadFormat;
        }
    }
    if (first)
        return kCXBadFormat;
    return kCXOK;
}
