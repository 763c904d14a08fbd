// Where a file-patch run gets its data file: a local file, a download, or media volumes joined
// into a new file beside the target, with the disc question for a volume that cannot be found.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXPath.h"
#include "foundation/CXTime.h"
#include "foundation/CXWorkerHost.h"
#include "patch/CXFileNavOpen.h"
#include "streams/CXHTTPConnection.h"
#include "streams/CXStreamFile.h"

#include <atomic>
#include <cstring>

namespace {

constexpr const char* kPrefix = "MervaneTask_ApplyFilePatches::";
std::atomic<uint32_t> gDataFileCounter{0};

} // namespace

CXString MervaneTask_ApplyFilePatches::DownloadText(uint64_t dataFileSize)
{
    if (dataFileSize < 1073741824ull)
        return LocaliseFormat("$mervane_task_downloading_installation_data_mib", static_cast<int64_t>((dataFileSize + 1048575) / 1048576));
    return LocaliseFormat("$mervane_task_downloading_installation_data_gib",
                          CXString::FromFormat("%0.1f", static_cast<double>(dataFileSize) / 1073741824.0));
}

bool MervaneTask_ApplyFilePatches::IsDataFileName(const CXString& leaf)
{
    if (leaf == "patch.bin")
        return true;
    // "temp-<hex>-<decimal>.bin"
    const char* text = leaf.c_str();
    size_t length = leaf.length();
    if (length < 12 || std::strncmp(text, "temp-", 5) != 0 || std::strcmp(text + length - 4, ".bin") != 0)
        return false;
    auto lowerHex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    size_t end = length - 4;
    size_t i = 5;
    while (i < end && lowerHex(text[i]))
        ++i;
    if (i == 5 || i >= end || text[i] != '-')
        return false;
    size_t digits = ++i;
    while (i < end && digit(text[i]))
        ++i;
    return i > digits && i == end;
}

CXString MervaneTask_ApplyFilePatches::CreateDataFileBesideTarget()
{
    CXString folder = GetParentPath(fTargetPath);
    if (folder.IsEmpty() || folder == fTargetPath)
        return CXString();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        CXString leaf = attempt == 0 ? CXString("patch.bin")
                                     : CXString::FromFormat("temp-%llx-%u.bin",
                                                            static_cast<unsigned long long>(CXTime::GetPerformanceTime(1000000)),
                                                            ++gDataFileCounter);
        CXString path = folder;
        AppendPathComponent(path, leaf);
        if (CXFileSystem::Exists(path))
            continue;
        // Named in the journal before it exists, so no kill can leave it behind unrecorded.
        if (fJournal.IsWritten() && fJournal.WriteDataFile(leaf, false) != kCXOK) {
            AppendLogFormat("%sCreateDataFileBesideTarget> journal could not be written", kPrefix);
            return CXString();
        }
        CXStreamFile file;
        if (file.Open(path, CXStreamFile::kModeCreateNew | CXStreamFile::kModeRead | CXStreamFile::kModeWrite)) {
            if (file.Close() == kCXOK) {
                AppendLogFormat("%sCreateDataFileBesideTarget> %s", kPrefix, path.c_str());
                return path;
            }
            (void)CXFileSystem::DeletePlainFile(path);
            return CXString();
        }
        CXResultCode result = file.GetResult();
        // Someone else's file took the name between the test and the open: not the run's to delete.
        if (fJournal.IsWritten())
            (void)fJournal.WriteDataFile(leaf, true);
        if (result != kCXAlreadyExists) {
            AppendLogFormat("%sCreateDataFileBesideTarget> cannot create %s (result %d)", kPrefix, path.c_str(), static_cast<int32_t>(result));
            return CXString();
        }
    }
    return CXString();
}

bool MervaneTask_ApplyFilePatches::DownloadPhase()
{
    CXString text = DownloadText(fDataFileSize);
    SetStatus(kMervaneTaskRunning, 0.0f, text);
    CXString folder = GetParentPath(fTargetPath);
    fDataPath = CreateDataFileBesideTarget();
    if (fDataPath.IsEmpty()) {
        FailDetail(LocaliseFormat("$mervane_task_failed_to_create_temp_under", LocalisePath(folder)), CXString());
        return false;
    }
    fMadeDataFile = true;
    bool resume = false;
    for (;;) {
        CXStringEdit question, details;
        if (DownloadPatchData(fDataSource, fDataPath, MakeDownloadProgress(text), question, details, resume)) {
            ClearRetriedQuestion();
            return true;
        }
        if (AskUserAndWait(0, CXString(question), CXString(details))) {
            resume = true;
            continue;
        }
        // detail and detail2 keep the question; the ending deletes the partial file.
        AppendFailureLine();
        return false;
    }
}

bool MervaneTask_ApplyFilePatches::DownloadPatchData(const CXURI& source, const CXString& destination,
                                                     const CXStreamProgressCallback& progress, CXStringEdit& userText,
                                                     CXStringEdit& detailText, bool resume)
{
    CXString address = source.ToLogString();
    AppendLogFormat("%sDownloadPatchData> %s -> %s", kPrefix, address.c_str(), destination.c_str());
    // The file beside the target is the run's own: never written through a link put in its place.
    constexpr uint32_t kNoFollow = CXStreamFile::kModeNoFollow;
    CXStreamFile output;
    bool opened;
    if (resume) {
        // Kept as it is: the request then asks only for the bytes after those it holds.
        opened = output.Open(destination, CXStreamFile::kModeRead | CXStreamFile::kModeWrite | kNoFollow);
        if (!opened) {
            AppendLogFormat("%sDownloadPatchData> failed to open output file for resume. deleting", kPrefix);
            (void)DeleteWithAutoRetry(destination);
            opened = output.Open(destination, CXStreamFile::kModeCreateNew | CXStreamFile::kModeRead | CXStreamFile::kModeWrite);
        }
    } else {
        opened = output.Open(destination, 0x1A | CXStreamFile::kModeRead | kNoFollow);
    }
    if (!opened) {
        AppendLogFormat("%sDownloadPatchData> failed to open output file", kPrefix);
        userText.Assign(Localise("$mervane_task_failed_to_open_output_file"));
        detailText.Format("Result: %d. Path: %s", static_cast<int32_t>(output.GetResult()), destination.c_str());
        return false;
    }
    // The control file names the data file's size. A body that runs past it (a length beyond it,
    // or no end at all) is stopped there rather than left to fill the volume.
    bool overran = false;
    CXStreamProgressCallback watched = progress;
    if (fDataFileSize > 0) {
        watched = [this, &progress, &overran](const CXStreamProgressCallbackData& record) {
            if (record.callbackState2 > fDataFileSize || record.bytesDone > fDataFileSize - record.callbackState2) {
                overran = true;
                return false;
            }
            return !progress || progress(record);
        };
    }
    CXHTTPConnection connection;
    connection.SetCancelCheck([this] { return IsStopRequested(); });
    CXResultCode result = connection.Get(source, &output, watched);
    // Bytes past the data file's size are not the data file's, however the reply framed them (a
    // chunk that claims more than the body holds takes in the chunk framing after it): they are
    // cut away, so a failed attempt leaves a true prefix to resume from. A body stopped at the
    // size is then judged like any data file, by the size and checksum that follow.
    if (fDataFileSize > 0 && !output.Failed() && output.GetSize() > fDataFileSize) {
        AppendLogFormat("%sDownloadPatchData> %llu bytes for a data file of %llu; cut back", kPrefix,
                        static_cast<unsigned long long>(output.GetSize()), static_cast<unsigned long long>(fDataFileSize));
        CXResultCode cut = output.Truncate(fDataFileSize);
        if (cut != kCXOK)
            result = cut;
        else if (overran)
            result = kCXOK;
    }
    CXResultCode closed = output.Close();
    if (result == kCXOK)
        result = closed;
    if (result == kCXOK) {
        AppendLogFormat("%sDownloadPatchData> done", kPrefix);
        userText.Clear();
        detailText.Clear();
        return true;
    }
    AppendLogFormat("%sDownloadPatchData> failed to download installation data", kPrefix);
    userText.Assign(Localise("$mervane_task_failed_to_download_installation_data"));
    detailText.Format("Result: %d. Path: '%s'. URL: '%s'", static_cast<int32_t>(result), destination.c_str(), address.c_str());
    return false;
}

bool MervaneTask_ApplyFilePatches::AppendPatchVolume(CXStreamFile& output, const CXString& volumePath, const CXString& identifier,
                                                     uint32_t index, uint32_t& count)
{
    CXStreamFile volume;
    if (!volume.Open(volumePath, CXStreamFile::kModeRead))
        return false;
    char magic[4] = {};
    if (volume.Read(magic, sizeof magic) != sizeof magic || std::memcmp(magic, "MeVa", 4) != 0)
        return false;
    uint32_t version = ReadUInt32BEFromStream(volume);
    if (volume.Failed() || version != 0)
        return false;
    CXString name;
    (void)ReadStringFromStream(volume, name);
    if (volume.Failed() || name != identifier)
        return false;
    uint32_t volumeIndex = ReadUInt32BEFromStream(volume);
    uint32_t volumeCount = ReadUInt32BEFromStream(volume);
    uint64_t payload = 0;
    (void)ReadUInt64BEFromStream(volume, payload);
    // A set of no volumes, or an index outside its own count, is not a volume of any set.
    if (volume.Failed() || volumeIndex != index || volumeCount == 0 || volumeIndex >= volumeCount)
        return false;
    if (index == 0)
        count = volumeCount;
    else if (volumeCount != count)
        return false;
    AppendLogFormat("%sAppendPatchVolume> %s (%u of %u)", kPrefix, volumePath.c_str(), index + 1, volumeCount);
    int64_t before = output.GetPosition();
    CXResultCode copied = CopyStreamBytes(output, volume, payload, {});
    CXResultCode flushed = copied == kCXOK ? output.Flush(1) : copied;
    if (copied != kCXOK || flushed != kCXOK || output.Failed()) {
        // Bytes of a volume that did not arrive whole would shift every later volume's.
        AppendLogFormat("%sAppendPatchVolume> copy failed (result %d); cut back to %lld", kPrefix, static_cast<int32_t>(flushed),
                        static_cast<long long>(before));
        (void)output.Truncate(static_cast<uint64_t>(before));
        return false;
    }
    return true;
}

void MervaneTask_ApplyFilePatches::PromptForPatchVolume(const std::shared_ptr<CXString>& result, const CXString& volumeFolder,
                                                        uint32_t index)
{
    CXFileNavOpen dialog;
    dialog.title = CXString::FromFormat("Please insert disc %u.", index + 1);
    dialog.filters.push_back("*.bin");
    dialog.chooseFolders = false;
    dialog.allowMultiple = false;
    dialog.SetInitialFolder(volumeFolder);
    dialog.Exec();
    *result = dialog.GetPath();
}

bool MervaneTask_ApplyFilePatches::JoinPatchVolumes(const CXString& outputPath, CXString& volumeFolder, const CXString& identifier,
                                                    const std::function<void(float)>& progress)
{
    std::vector<CXVolumeInfo> volumes;
    CXFileSystem::CollectVolumes(volumes);
    CXStreamFile output;
    if (!output.Open(outputPath, CXStreamFile::kModeRead | CXStreamFile::kModeWrite | CXStreamFile::kModeNoFollow) ||
        output.Truncate() != kCXOK) {
        AppendLogFormat("%sJoinPatchVolumes> cannot open %s (result %d)", kPrefix, outputPath.c_str(), static_cast<int32_t>(output.GetResult()));
        return false;
    }
    uint32_t count = 1;
    for (uint32_t i = 0; i < count; ++i) {
        CXString name = CXString::FromFormat("patch-%u.bin", i + 1);
        if (progress)
            progress(static_cast<float>(i) / static_cast<float>(count));
        CXString path = volumeFolder;
        AppendPathComponent(path, name);
        if (AppendPatchVolume(output, path, identifier, i, count))
            continue;
        if (output.Failed())
            return false;
        // Only media are searched: a volume file planted on any writable mount must not be taken.
        bool found = false;
        for (const CXVolumeInfo& volume : volumes) {
            if (!volume.removable || volume.mountPath.IsEmpty())
                continue;
            path = volume.mountPath;
            AppendPathComponent(path, name);
            if (AppendPatchVolume(output, path, identifier, i, count)) {
                found = true;
                break;
            }
        }
        while (!found) {
            if (IsStopRequested())
                return false;
            // The answer lives on the heap, shared with the job: the job may outlive this wait
            // when the task stops waiting or goes away first.
            auto answer = std::make_shared<CXString>();
            CXString folder = volumeFolder;
            CXWorkerHost* host = CXWorkerHost::GetSingleton();
            host->PostMainThreadJob(answer.get(), [answer, folder, i] { PromptForPatchVolume(answer, folder, i); });
            AppendLogFormat("%sJoinPatchVolumes> asking for volume %u", kPrefix, i + 1);
            host->WaitForJobs(answer.get(), [this] { return !IsStopRequested(); });
            if (IsStopRequested()) {
                AppendLogFormat("%sJoinPatchVolumes> stopped while asking for volume %u", kPrefix, i + 1);
                return false;
            }
            CXString chosen = *answer;
            if (chosen.IsEmpty()) {
                AppendLogFormat("%sJoinPatchVolumes> volume %u not supplied", kPrefix, i + 1);
                return false;
            }
            if (AppendPatchVolume(output, chosen, identifier, i, count)) {
                found = true;
                volumeFolder = GetParentPath(chosen);
            } else if (output.Failed()) {
                return false;
            }
        }
    }
    if (progress)
        progress(1.0f);
    return output.Close() == kCXOK;
}
