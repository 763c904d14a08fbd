#include "PatchBuilder.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/TextConfig.h"
#include "foundation/CXMD5.h"
#include "patch/PatchDataRecord.h"
#include "streams/CXStreamMemory.h"
#include "streams/StreamProcessorZLib.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

namespace PatchBuilder {

namespace {

// How many old blocks with one hash are tried, from the first at or after the source position;
// more only slows a file of repeated blocks down.
constexpr size_t kCandidatesPerHash = 32;
constexpr uint64_t kHashBase = 0x100000001B3ull;

std::string Md5(const std::string& bytes)
{
    CXString digest = MD5HexDigest(CXStringArgument(bytes.data(), bytes.size()));
    return std::string(digest.c_str(), digest.length());
}

bool ReadFile(const std::string& path, std::string& bytes, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string Join(const std::string& root, const std::string& relative)
{
    return root + "/" + relative;
}

void AppendBE(std::string& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The stream string encoding of a short text.
void AppendStreamString(std::string& out, const std::string& text)
{
    if (text.size() < 0xFF) {
        out += static_cast<char>(text.size());
    } else {
        out += static_cast<char>(0xFF);
        AppendBE(out, text.size(), 4);
    }
    out += text;
}

CXString ToCX(const std::string& text)
{
    return CXString(text.data(), text.size());
}

// Collects the adjacent ranges a matcher finds into as few callbacks as possible.
class Emitter {
public:
    Emitter(BinaryDiff& diff, CXStream& newFile) : fDiff(diff), fNewFile(newFile) {}
    void Copy(uint64_t a, uint64_t b)
    {
        if (a == b)
            return;
        if (fCopyOpen && fCopyEnd == a) {
            fCopyEnd = b;
            return;
        }
        Flush();
        fCopyOpen = true;
        fCopyStart = a;
        fCopyEnd = b;
    }
    void Replace(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
    {
        if (a == b && c == d)
            return;
        Flush();
        fDiff.replace(a, b, fNewFile, c, d);
    }
    void Flush()
    {
        if (fCopyOpen)
            (void)fDiff.copy(fCopyStart, fCopyEnd);
        fCopyOpen = false;
    }

private:
    BinaryDiff& fDiff;
    CXStream& fNewFile;
    bool fCopyOpen = false;
    uint64_t fCopyStart = 0;
    uint64_t fCopyEnd = 0;
};

uint64_t HashOf(const unsigned char* bytes, size_t length)
{
    uint64_t hash = 0;
    for (size_t i = 0; i < length; ++i)
        hash = hash * kHashBase + bytes[i];
    return hash;
}

// A file or folder of a tree, by relative path.
struct TreeItem {
    bool isFolder = false;
};

bool ListTree(const std::string& root, std::map<std::string, TreeItem>& items, std::string& error)
{
    std::error_code code;
    if (!fs::is_directory(root, code)) {
        error = "not a folder: " + root;
        return false;
    }
    for (auto it = fs::recursive_directory_iterator(root, code); !code && it != fs::recursive_directory_iterator(); it.increment(code)) {
        fs::file_status status = it->symlink_status(code);
        std::string relative = fs::relative(it->path(), root, code).generic_string();
        if (fs::is_directory(status)) {
            items[relative].isFolder = true;
        } else if (fs::is_regular_file(status)) {
            items[relative].isFolder = false;
        } else {
            error = "neither a file nor a folder: " + it->path().string();
            return false;
        }
    }
    if (code) {
        error = "cannot list " + root + ": " + code.message();
        return false;
    }
    return true;
}

bool WriteManifest(const std::string& path, const std::map<std::string, std::string>& manifest, std::string& error)
{
    std::string text;
    for (const auto& [relative, md5] : manifest)
        text += md5 + "  " + relative + "\n";
    return WriteFile(path, text, error);
}

DNRawData Int64Data(int64_t value)
{
    char bytes[8];
    DNWriteInt64(bytes, value);
    return DNRawData(bytes, 8, kDNTypeInt64);
}

void SetString(DNValue* folder, const char* key, const std::string& value)
{
    if (!value.empty())
        folder->SetChildData(DNRawData(key), DNRawData::FromString(ToCX(value)));
}

} // namespace

void GenerateDiff(const std::string& oldBytes, const std::string& newBytes, BinaryDiff& diff, size_t blockSize)
{
    const size_t block = std::max<size_t>(blockSize, 4);
    const auto* oldData = reinterpret_cast<const unsigned char*>(oldBytes.data());
    const auto* newData = reinterpret_cast<const unsigned char*>(newBytes.data());
    const uint64_t oldSize = oldBytes.size();
    const uint64_t newSize = newBytes.size();
    CXStreamStaticBuffer newFile;
    (void)newFile.OpenReadOnly(newBytes.data(), newBytes.size());
    Emitter emit(diff, newFile);

    std::unordered_map<uint64_t, std::vector<uint64_t>> index;
    for (uint64_t offset = 0; offset + block <= oldSize; offset += block) {
        index[HashOf(oldData + offset, block)].push_back(offset);
    }
    uint64_t outgoingFactor = 1;
    for (size_t i = 1; i < block; ++i)
        outgoingFactor *= kHashBase;

    uint64_t source = 0;  // the old bytes before this are used up: the diff only moves forward
    uint64_t literal = 0; // the new bytes from here on are not covered yet
    uint64_t position = 0;
    uint64_t hash = newSize >= block ? HashOf(newData, block) : 0;
    while (position + block <= newSize) {
        uint64_t bestOld = 0;
        uint64_t bestBack = 0;
        uint64_t bestLength = 0;
        auto found = index.find(hash);
        if (found != index.end()) {
            const std::vector<uint64_t>& offsets = found->second; // ascending
            auto first = std::lower_bound(offsets.begin(), offsets.end(), source);
            auto last = offsets.end() - first > static_cast<std::ptrdiff_t>(kCandidatesPerHash) ? first + kCandidatesPerHash : offsets.end();
            for (auto candidate = first; candidate != last; ++candidate) {
                uint64_t offset = *candidate;
                if (std::memcmp(oldData + offset, newData + position, block) != 0)
                    continue;
                uint64_t length = block;
                while (offset + length < oldSize && position + length < newSize && oldData[offset + length] == newData[position + length])
                    ++length;
                uint64_t back = 0;
                while (back < position - literal && offset - back > source && oldData[offset - back - 1] == newData[position - back - 1])
                    ++back;
                if (back + length > bestBack + bestLength) {
                    bestOld = offset;
                    bestBack = back;
                    bestLength = length;
                }
            }
        }
        if (bestLength > 0) {
            uint64_t oldStart = bestOld - bestBack;
            uint64_t newStart = position - bestBack;
            emit.Replace(source, oldStart, literal, newStart);
            emit.Copy(oldStart, bestOld + bestLength);
            source = bestOld + bestLength;
            position += bestLength;
            literal = position;
            if (position + block <= newSize)
                hash = HashOf(newData + position, block);
            continue;
        }
        if (position + block >= newSize)
            break;
        hash = (hash - newData[position] * outgoingFactor) * kHashBase + newData[position + block];
        ++position;
    }
    // Old bytes after the last copy are simply not used.
    emit.Replace(source, source, literal, newSize);
    emit.Flush();
}

std::string MakeDiff(const std::string& oldBytes, const std::string& newBytes, size_t blockSize)
{
    auto buffer = std::make_unique<CXStreamDynamicBuffer>();
    CXStreamDynamicBuffer* stream = buffer.get();
    BinaryDiffCommandWriter writer(std::move(buffer));
    GenerateDiff(oldBytes, newBytes, writer, blockSize);
    std::string out(stream->GetSize(), '\0');
    (void)stream->Seek(0, CXStream::kSeekSet);
    (void)stream->Read(out.data(), out.size());
    return out;
}

std::string Compress(const std::string& bytes)
{
    StreamProcessorZLibCompress compressor;
    CXStreamStaticBuffer input;
    (void)input.OpenReadOnly(bytes.data(), bytes.size());
    CXStreamDynamicBuffer output;
    uint64_t left = bytes.size();
    for (;;) {
        uint64_t n = std::min(left, compressor.InputSpace());
        if (compressor.WriteStreamToInputBuffer(input, n) != kCXOK)
            return std::string();
        left -= n;
        CXResultCode result = compressor.Process();
        if (compressor.WriteOutputToStream(output, compressor.OutputAvailable()) != kCXOK)
            return std::string();
        if (result == kCXEndOfData)
            break;
        if (result != kCXOK)
            return std::string();
    }
    std::string out(output.GetSize(), '\0');
    (void)output.Seek(0, CXStream::kSeekSet);
    (void)output.Read(out.data(), out.size());
    return out;
}

std::map<std::string, std::string> MakeManifest(const std::string& root)
{
    std::map<std::string, std::string> manifest;
    std::map<std::string, TreeItem> items;
    std::string error;
    if (!ListTree(root, items, error))
        return manifest;
    for (const auto& [relative, item] : items) {
        std::string bytes;
        if (!item.isFolder && ReadFile(Join(root, relative), bytes, error))
            manifest[relative] = Md5(bytes);
    }
    return manifest;
}

bool CompareTrees(const std::string& oldRoot, const std::string& newRoot, std::vector<Operation>& operations, std::string& error)
{
    operations.clear();
    std::map<std::string, TreeItem> oldItems;
    std::map<std::string, TreeItem> newItems;
    if (!ListTree(oldRoot, oldItems, error) || !ListTree(newRoot, newItems, error))
        return false;
    std::vector<Operation> folders, creates, edits, deletes, folderDeletes;
    for (const auto& [relative, item] : newItems) {
        auto old = oldItems.find(relative);
        if (old != oldItems.end() && old->second.isFolder != item.isFolder) {
            error = "changes between file and folder: " + relative;
            return false;
        }
        Operation operation;
        operation.destination = relative;
        if (item.isFolder) {
            if (old == oldItems.end()) {
                operation.command = COMMAND_CREATE_FOLDER;
                folders.push_back(operation);
            }
            continue;
        }
        if (old == oldItems.end()) {
            operation.command = COMMAND_CREATE_FILE;
            creates.push_back(operation);
            continue;
        }
        std::string oldBytes, newBytes;
        if (!ReadFile(Join(oldRoot, relative), oldBytes, error) || !ReadFile(Join(newRoot, relative), newBytes, error))
            return false;
        if (oldBytes != newBytes) {
            operation.command = COMMAND_EDIT_FILE;
            operation.source = relative;
            edits.push_back(operation);
        }
    }
    for (auto it = oldItems.rbegin(); it != oldItems.rend(); ++it) {
        if (newItems.count(it->first) != 0)
            continue;
        Operation operation;
        operation.destination = it->first;
        operation.command = it->second.isFolder ? COMMAND_DELETE_FOLDER : COMMAND_DELETE_FILE;
        (it->second.isFolder ? folderDeletes : deletes).push_back(operation);
    }
    for (auto* group : {&folders, &creates, &edits, &deletes, &folderDeletes})
        operations.insert(operations.end(), group->begin(), group->end());
    return true;
}

bool Build(const Options& options, const std::vector<Operation>& operations, std::string& error)
{
    std::error_code code;
    fs::create_directories(options.outputFolder, code);
    if (code) {
        error = "cannot make " + options.outputFolder + ": " + code.message();
        return false;
    }

    // The records, in operation order, and the control file's entries.
    std::string records;
    size_t lastRecord = std::string::npos;
    bool badCommandPlaced = false;
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    DNValueRef list = root->MakeFolder();
    for (size_t i = 0; i < operations.size(); ++i) {
        const Operation& operation = operations[i];
        const char* commandText = PatchCommandText(operation.command);
        if (commandText == nullptr) {
            error = "unknown command " + std::to_string(operation.command);
            return false;
        }
        std::string sourceChecksum, destinationChecksum;
        uint64_t effort = 0;
        std::string oldBytes, newBytes;
        switch (operation.command) {
        case COMMAND_CREATE_FILE:
        case COMMAND_EDIT_FILE: {
            if (!ReadFile(Join(options.newRoot, operation.destination), newBytes, error))
                return false;
            std::string payload;
            if (operation.command == COMMAND_EDIT_FILE) {
                if (!ReadFile(Join(options.oldRoot, operation.source), oldBytes, error))
                    return false;
                sourceChecksum = Md5(oldBytes);
                payload = MakeDiff(oldBytes, newBytes, options.blockSize);
                if (options.fault == Fault::kBadCommand && !badCommandPlaced) {
                    payload.insert(payload.begin(), static_cast<char>(0x02));
                    badCommandPlaced = true;
                }
            } else {
                payload = newBytes;
            }
            destinationChecksum = Md5(newBytes);
            effort = newBytes.size();
            lastRecord = records.size();
            AppendBE(records, payload.size(), 8);
            records += payload;
            AppendStreamString(records, destinationChecksum);
            break;
        }
        case COMMAND_MOVE_FILE:
            if (!ReadFile(Join(options.oldRoot, operation.source), oldBytes, error))
                return false;
            sourceChecksum = Md5(oldBytes);
            destinationChecksum = sourceChecksum;
            effort = oldBytes.size();
            break;
        default:
            break;
        }

        std::string destination = operation.destination;
        if (options.fault == Fault::kPathEscape && i == 0)
            destination = "../" + destination;
        DNValueRef entry = root->MakeFolder();
        SetString(entry.get(), "command", commandText);
        SetString(entry.get(), "source-filepath", operation.source);
        SetString(entry.get(), "source-checksum", sourceChecksum);
        SetString(entry.get(), "destination-filepath", destination);
        SetString(entry.get(), "destination-permissions", operation.permissions);
        SetString(entry.get(), "destination-checksum", destinationChecksum);
        entry->SetChildData(DNRawData("estimated-effort"), Int64Data(static_cast<int64_t>(effort)));
        if (operation.flags != 0)
            entry->SetChildData(DNRawData("flags"), DNRawData::FromInt(operation.flags));
        DNIteratorRef it = list->AddLast();
        it->SetKeyData(DNRawData("operation"));
        it->SetValue(entry);
    }
    if (options.fault == Fault::kBadCommand && !badCommandPlaced) {
        error = "a bad command needs an edit operation";
        return false;
    }
    if (options.fault == Fault::kTruncatedRecord) {
        if (lastRecord == std::string::npos) {
            error = "a truncated record needs a create or edit operation";
            return false;
        }
        uint64_t length = 0;
        for (int i = 0; i < 8; ++i)
            length = (length << 8) | static_cast<unsigned char>(records[lastRecord + i]);
        records.resize(lastRecord + 8 + length / 2);
    }
    if (options.fault == Fault::kPathEscape && operations.empty()) {
        error = "a path escape needs an operation";
        return false;
    }

    std::string data = Compress(records);
    if (data.empty()) {
        error = "compression failed";
        return false;
    }
    std::string dataChecksum = Md5(data);
    uint64_t dataSize = data.size();
    if (options.fault == Fault::kWrongSize)
        ++dataSize;
    if (options.fault == Fault::kWrongChecksum)
        dataChecksum.back() = dataChecksum.back() == '0' ? '1' : '0';

    root->SetChildData(DNRawData("mervane-version"), DNRawData::FromInt(options.fault == Fault::kNewerVersion ? 2 : 1));
    root->SetChildData(DNRawData("datafilesize"), Int64Data(static_cast<int64_t>(dataSize)));
    root->SetChildData(DNRawData("datafilechecksum"), DNRawData::FromString(ToCX(dataChecksum)));
    DNIteratorRef it = root->AddLast();
    it->SetKeyData(DNRawData("patch-operations"));
    it->SetValue(list);
    CXStreamDynamicBuffer control;
    if (TextConfig::Write(root.get(), control) != kCXOK) {
        error = "cannot write the control file";
        return false;
    }
    std::string controlText(control.GetSize(), '\0');
    (void)control.Seek(0, CXStream::kSeekSet);
    (void)control.Read(controlText.data(), controlText.size());

    const std::string& out = options.outputFolder;
    if (!WriteFile(Join(out, options.controlName), controlText, error) || !WriteFile(Join(out, options.dataName), data, error))
        return false;

    if (options.volumeSize > 0) {
        uint64_t count = std::max<uint64_t>(1, (data.size() + options.volumeSize - 1) / options.volumeSize);
        if (count > 0xFFFFFFFFu) {
            error = "too many volumes";
            return false;
        }
        for (uint64_t index = 0; index < count; ++index) {
            uint64_t start = index * options.volumeSize;
            uint64_t length = std::min<uint64_t>(options.volumeSize, data.size() - std::min<uint64_t>(start, data.size()));
            std::string volume = "MeVa";
            AppendBE(volume, 0, 4); // version
            AppendStreamString(volume, std::string());
            AppendBE(volume, index, 4);
            AppendBE(volume, count, 4);
            AppendBE(volume, length, 8);
            volume.append(data, static_cast<size_t>(std::min<uint64_t>(start, data.size())), static_cast<size_t>(length));
            if (!WriteFile(Join(out, "patch-" + std::to_string(index + 1) + ".bin"), volume, error))
                return false;
        }
    }

    return WriteManifest(Join(out, "manifest-old.txt"), MakeManifest(options.oldRoot), error) &&
           WriteManifest(Join(out, "manifest-new.txt"), MakeManifest(options.newRoot), error);
}

bool ParseFault(const std::string& word, Fault& fault)
{
    static const std::pair<const char*, Fault> kFaults[] = {
        {"wrong-size", Fault::kWrongSize},         {"wrong-checksum", Fault::kWrongChecksum}, {"truncated-record", Fault::kTruncatedRecord},
        {"bad-command", Fault::kBadCommand},       {"newer-version", Fault::kNewerVersion},   {"path-escape", Fault::kPathEscape},
    };
    for (const auto& [name, value] : kFaults) {
        if (word == name) {
            fault = value;
            return true;
        }
    }
    return false;
}

} // namespace PatchBuilder
