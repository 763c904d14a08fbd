#pragma once

// A file dialog service for tests: installed for its lifetime (the previous service comes back
// when it is destroyed), it records every request and answers each from a queue of scripted
// answers, first in first out. With the queue empty it answers kFileDialogFailed (the request is
// still recorded) and never blocks.

#include "win32/services/FileDialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace win32::testing {

class ScriptedFileDialogs : public FileDialogService {
public:
    enum class Kind { Files, Folder };
    struct Call {
        Kind kind;
        FileDialogRequest request;
        int result;
    };

    ScriptedFileDialogs();
    ~ScriptedFileDialogs() override;
    ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
    ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

    // Queues the next answer: the result and, for kFileDialogChosen, the paths (a folder request
    // takes the first).
    void Answer(int result, std::vector<std::string> paths = {});
    void Choose(std::vector<std::string> paths) { Answer(kFileDialogChosen, std::move(paths)); }
    void Cancel() { Answer(kFileDialogCancelled); }

    // Called inside every request, before it is answered (to look at what holds while the dialog
    // runs).
    std::function<void(const FileDialogRequest&)> duringCall;

    const std::vector<Call>& Calls() const { return fCalls; }
    size_t PendingAnswers() const { return fAnswers.size(); }

    int OpenFiles(const FileDialogRequest& request, std::vector<std::string>& paths) override;
    int PickFolder(const FileDialogRequest& request, std::string& path) override;

private:
    struct Scripted {
        int result;
        std::vector<std::string> paths;
    };
    Scripted Next(Kind kind, const FileDialogRequest& request);

    FileDialogService* fPrevious = nullptr;
    std::deque<Scripted> fAnswers;
    std::vector<Call> fCalls;
};

} // namespace win32::testing
