// The target check of a file-patch run: free space, nothing in the way, source checksums. It
// writes nothing.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXPath.h"
#include "platform/Process.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamFile.h"

uint64_t MervaneTask_ApplyFilePatches::FreeSpaceDemand(uint64_t totalEffort, uint64_t dataFileBytes)
{
    constexpr uint64_t kReserve = 100000000;
    uint64_t demand = totalEffort > (UINT64_MAX - kReserve) / 2 ? UINT64_MAX : 2 * totalEffort + kReserve;
    return dataFileBytes > UINT64_MAX - demand ? UINT64_MAX : demand + dataFileBytes;
}

bool MervaneTask_ApplyFilePatches::SpaceOnVolume(const std::vector<CXVolumeInfo>& volumes, const CXString& mountPath, bool privileged,
                                                 uint64_t& bytes)
{
    // The last record of a mount point is the mount on top, the one the path reaches.
    for (auto it = volumes.rbegin(); it != volumes.rend(); ++it) {
        if (it->mountPath == mountPath) {
            bytes = privileged ? it->freeBytes : it->availableBytes;
            return true;
        }
    }
    return false;
}

bool MervaneTask_ApplyFilePatches::CheckTarget(CXString& error)
{
    error.Clear();
    uint64_t totalEffort = 0;
    if (!SumEstimatedEffort(fOperations, 0, totalEffort))
        totalEffort = UINT64_MAX;
    uint64_t checkTotal = 0;
    if (!SumEstimatedEffort(fOperations, 4096, checkTotal))
        checkTotal = UINT64_MAX;

    // Only the volume that holds the target counts (the deepest mount, by host path), with what
    // this process may use of it; a data file made beside the target on the same volume counts too.
    CXString targetMount = CXFileSystem::GetVolumeMountPath(fTargetPath);
    if (!targetMount.IsEmpty()) {
        std::vector<CXVolumeInfo> volumes;
        CXFileSystem::CollectVolumes(volumes);
        uint64_t dataBytes = 0;
        bool emptySource = fDataSource.scheme.IsEmpty() && fDataSource.host.IsEmpty() && fDataSource.path.IsEmpty() &&
                           fDataSource.query.IsEmpty() && fDataSource.user.IsEmpty() && fDataSource.password.IsEmpty() &&
                           fDataSource.port == 0;
        bool besideTarget = emptySource ? !CXFileSystem::Exists(DefaultDataFilePath())
                                        : CXStringArgument(fDataSource.scheme).CompareNoCase("file") != 0;
        if (besideTarget && CXFileSystem::GetVolumeMountPath(GetParentPath(fTargetPath)) == targetMount)
            dataBytes = fDataFileSize;
        uint64_t room = 0;
        uint64_t demand = FreeSpaceDemand(totalEffort, dataBytes);
        if (SpaceOnVolume(volumes, targetMount, Platform::IsPrivileged(), room) && room < demand) {
            AppendLogFormat("MervaneTask_ApplyFilePatches::CheckTarget> %llu bytes needed on %s, %llu available",
                            static_cast<unsigned long long>(demand), targetMount.c_str(), static_cast<unsigned long long>(room));
            error = Localise("$mervane_task_insufficient_space");
            return false;
        }
    }

    uint64_t done = 0;
    for (const PatchOperation& operation : fOperations) {
        if (IsStopRequested()) {
            error = Localise("$mervane_task_cancelled");
            return false;
        }
        {
            CXCriticalSectionLocker lock(fLock);
            fStatus.state = kMervaneTaskRunning;
            fStatus.progress = static_cast<float>(done) / static_cast<float>(checkTotal == 0 ? 1 : checkTotal);
        }
        uint64_t step = operation.estimatedEffort > UINT64_MAX - 4096 ? UINT64_MAX : operation.estimatedEffort + 4096;
        done = step > UINT64_MAX - done ? UINT64_MAX : done + step;

        CXString destination;
        if (!operation.destinationFilepath.IsEmpty()) {
            destination = fTargetPath;
            AppendPathComponent(destination, operation.destinationFilepath);
        }
        Platform::FileInfo info;
        switch (operation.command) {
        case COMMAND_CREATE_FOLDER:
        case COMMAND_DELETE_FOLDER: {
            CXResultCode result = destination.IsEmpty() ? kCXNotFound : fTarget.Stat(destination, info);
            if (result != kCXNotFound && (result != kCXOK || !info.isDirectory)) {
                error = LocaliseFormat("$mervane_task_plain_file_unexpected", LocalisePath(destination));
                return false;
            }
            break;
        }
        case COMMAND_DELETE_FILE:
            if (!destination.IsEmpty() && fTarget.Stat(destination, info) == kCXOK && info.isDirectory) {
                error = LocaliseFormat("$mervane_task_folder_unexpected", LocalisePath(destination));
                return false;
            }
            break;
        case COMMAND_CREATE_FILE:
        case COMMAND_EDIT_FILE:
        case COMMAND_MOVE_FILE: {
            if (!operation.sourceChecksum.IsEmpty() && !operation.sourceFilepath.IsEmpty()) {
                CXString source = fTargetPath;
                AppendPathComponent(source, operation.sourceFilepath);
                CXStreamFile stream;
                CXString computed;
                if (fTarget.Open(source, PatchTargetFolder::kOpenReading, stream) == kCXOK)
                    computed = MD5HexDigestOfStream(stream, stream.GetSize());
                if (computed.IsEmpty() || stream.Failed()) {
                    error = LocaliseFormat("$mervane_task_failed_checksum", LocalisePath(source));
                    return false;
                }
                if (computed != operation.sourceChecksum) {
                    error = LocaliseFormat("$mervane_task_checksum_mismatch", LocalisePath(source), operation.sourceChecksum, computed);
                    return false;
                }
            }
            if (operation.destinationFilepath != operation.sourceFilepath && !destination.IsEmpty() && fTarget.Exists(destination)) {
                if (operation.destinationChecksum.IsEmpty()) {
                    error = LocaliseFormat("$mervane_task_filepath_occupied", LocalisePath(destination));
                    return false;
                }
                CXStreamFile stream;
                CXString computed;
                if (fTarget.Open(destination, PatchTargetFolder::kOpenReading, stream) == kCXOK)
                    computed = MD5HexDigestOfStream(stream, stream.GetSize());
                if (stream.Failed() || computed != operation.destinationChecksum) {
                    error = LocaliseFormat("$mervane_task_filepath_occupied_mismatch", LocalisePath(destination));
                    return false;
                }
            }
            break;
        }
        default:
            break;
        }
    }
    error.Clear();
    return true;
}
