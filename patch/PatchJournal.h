#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <vector>

class PatchTargetFolder;

// The durable record of one patch run, kept in the target's "patcher-temp" folder, from which the
// next run puts the target back after a crash: to exactly the old tree while the run had not
// committed, or forward to the new tree once every final rename was done.
//
// It holds three sections, each synced before the run relies on it: the plan (every path the run
// may create outside "patcher-temp", with whether something was there before), written once
// after the target check; the final renames (for each change: backup, destination, written file),
// written before the first of them; and the commit mark, written once all of them are done.
// Paths are stored relative to the target folder, each as its length, ':' and its bytes, so no
// byte of a name can break a line. A line cut short by a crash is ignored.
//
// The plan also names the patch the run applies (the MD5 text of its control file), so the next
// run can tell whether it brings the same patch. It is stored as the release of a data-file name
// that no run ever gives ("patch-id <md5>"): a reader that does not know it passes over it, and a
// journal without it reads as one that does not say.
class PatchJournal {
public:
    static constexpr const char* kTemporaryFolderName = "patcher-temp";
    static constexpr const char* kFileName = "journal.txt";

    struct PlanEntry {
        CXString relative;
        bool isFolder = false;
        bool existedBefore = false;
    };
    // One final rename step. A replacement or a placement has a destination and a written file
    // (and a backup when the destination was taken); a deletion has the path and its backup.
    struct RenameEntry {
        bool isDeletion = false;
        CXString backup;      // relative; empty when nothing is backed up
        CXString destination; // relative; the path a deletion removes
        CXString written;     // relative; empty for a deletion
    };
    // A permission change the run made to a path that was there before it.
    struct ModeEntry {
        CXString relative;
        uint32_t mode = 0; // the bits before the change
    };
    struct Contents {
        std::vector<PlanEntry> plan;
        std::vector<RenameEntry> renames;
        std::vector<ModeEntry> modes;
        // Data files the run made in the folder that holds the target (leaf names), less those
        // it let go of.
        std::vector<CXString> dataFiles;
        bool committed = false;
        // The MD5 text of the run's control file; empty when the journal does not say.
        CXString patchId;
    };

    explicit PatchJournal(const PatchTargetFolder& target) : fTarget(target) {}

    // Adds a path the run may create (relative to the target), with its missing parents first,
    // each noted as there or not now. A path already planned is not added again.
    void PlanPath(const CXString& relative, bool isFolder);
    const std::vector<PlanEntry>& GetPlan() const { return fPlan; }
    // The patch the run applies, written with the plan; empty writes none.
    void SetPatchId(const CXString& id) { fPatchId = id; }

    // Creates "patcher-temp" when missing and writes the journal with the plan as a new file,
    // synced with its folder. -13 when a journal is there already.
    CXResultCode WritePlan();
    // Appends the final renames and syncs them.
    CXResultCode WriteRenames(const std::vector<RenameEntry>& renames);
    // Appends a data file (its leaf name, in the folder that holds the target) before the run
    // creates it; released: the name was taken by someone else and is not the run's.
    CXResultCode WriteDataFile(const CXString& leaf, bool released);
    // Appends a permission change before it is made, with the bits it replaces.
    CXResultCode WriteModeChange(const CXString& relative, uint32_t mode);
    // Appends the commit mark and syncs it.
    CXResultCode WriteCommit();
    // Deletes the journal file (the run is over, or the recovery done).
    CXResultCode Remove();
    bool IsWritten() const { return fWritten; }

    // Reads the journal of the target: -7 when there is none, -12 when it is not one (a first line
    // other than the header, a line that cannot be read before the last).
    static CXResultCode Read(const PatchTargetFolder& target, Contents& contents);
    // The journal file's path for the target.
    static CXString PathFor(const PatchTargetFolder& target);
    static CXString TemporaryFolderFor(const PatchTargetFolder& target);

private:
    CXResultCode Append(const CXString& text);

    const PatchTargetFolder& fTarget;
    std::vector<PlanEntry> fPlan;
    CXString fPatchId;
    bool fWritten = false;
};
