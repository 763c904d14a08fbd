#include "win32/testing/ScriptedFileDialogs.h"

namespace win32::testing {

ScriptedFileDialogs::ScriptedFileDialogs() : fPrevious(SetFileDialogService(this)) {}

ScriptedFileDialogs::~ScriptedFileDialogs()
{
    SetFileDialogService(fPrevious);
}

void ScriptedFileDialogs::Answer(int result, std::vector<std::string> paths)
{
    fAnswers.push_back({result, std::move(paths)});
}

ScriptedFileDialogs::Scripted ScriptedFileDialogs::Next(Kind kind, const FileDialogRequest& request)
{
    if (duringCall)
        duringCall(request);
    Scripted answer{kFileDialogFailed, {}};
    if (!fAnswers.empty()) {
        answer = std::move(fAnswers.front());
        fAnswers.pop_front();
    }
    if (answer.result != kFileDialogChosen || answer.paths.empty()) {
        answer.paths.clear();
        if (answer.result == kFileDialogChosen)
            answer.result = kFileDialogFailed;
    }
    fCalls.push_back({kind, request, answer.result});
    return answer;
}

int ScriptedFileDialogs::OpenFiles(const FileDialogRequest& request, std::vector<std::string>& paths)
{
    Scripted answer = Next(Kind::Files, request);
    paths = std::move(answer.paths);
    if (!request.multiple && paths.size() > 1)
        paths.resize(1);
    return answer.result;
}

int ScriptedFileDialogs::PickFolder(const FileDialogRequest& request, std::string& path)
{
    Scripted answer = Next(Kind::Folder, request);
    path = answer.paths.empty() ? std::string() : answer.paths.front();
    return answer.result;
}

} // namespace win32::testing
