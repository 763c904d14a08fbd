#pragma once

#include "foundation/CXString.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "patch/CXFileNavOpen.h"
#include "patch/MervaneTask_ApplyFilePatches.h"

#include <functional>
#include <thread>
#include <string>
#include <vector>

// Runs a patch task to its end on the calling thread, which plays the main thread: it idles the
// thread's task host (so main-thread jobs such as the disc question run), answers the task's
// questions and the file dialog from a script, and returns the final status. The caller has
// called CXThread::CXInit and CXTaskHost::InitCurrentThreadTaskHost.
struct TaskScript {
    // Answers in the order the questions come: "yes" or "no" for a question, a path (program
    // form) for a file dialog, anything else cancels a dialog. Past the end: no, cancel.
    std::vector<std::string> answers;
    // What was asked: "question: <detail> | <detail2>" or "dialog: <title>".
    std::vector<std::string> asked;
    // Called on every status seen while the task runs (a place to cancel it).
    std::function<void(MervaneTask&, const MervaneTaskStatus&)> onStatus;
    // Proceed at once once the task is ready; false leaves the go signal to onStatus.
    bool proceed = true;
    // Proceed right after Start, for a task whose thread only starts on the go signal (the
    // uninstall task), instead of waiting for the ready text of the file-patch task.
    bool proceedAtStart = false;

    std::string NextAnswer()
    {
        return fNext < answers.size() ? answers[fNext++] : std::string();
    }

private:
    size_t fNext = 0;
};

inline std::string TaskRunnerText(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

// Task is a MervaneTask that is also a CXThread (the file-patch and uninstall tasks).
template <typename Task>
MervaneTaskStatus RunTaskToEnd(Task& task, const CXString& target, TaskScript& script)
{
    CXFileNavOpen::AnswerProvider previous = CXFileNavOpen::SetAnswerProvider([&script](const CXFileNavOpen& request) {
        script.asked.push_back("dialog: " + TaskRunnerText(request.title));
        std::string answer = script.NextAnswer();
        std::vector<CXString> chosen;
        if (!answer.empty() && answer != "yes" && answer != "no")
            chosen.push_back(CXString(answer.c_str()));
        return chosen;
    });
    MervaneTaskStatus status;
    if (task.Start(target)) {
        bool proceeded = false;
        if (script.proceedAtStart && script.proceed) {
            proceeded = true;
            task.Proceed();
        }
        for (;;) {
            CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks();
            task.GetStatus(status);
            if (script.onStatus)
                script.onStatus(task, status);
            if (status.state == kMervaneTaskReady && script.proceed && !proceeded &&
                TaskRunnerText(status.text) == "$mervane_task_ready_to_install") {
                proceeded = true;
                task.Proceed();
            }
            if (status.state == kMervaneTaskQuestion) {
                script.asked.push_back("question: " + TaskRunnerText(status.detail) + " | " + TaskRunnerText(status.detail2));
                bool yes = script.NextAnswer() == "yes";
                task.Answer(yes);
                // A yes shows at once (state 7), so any state 6 after it is the next question,
                // which may come before this thread looks again. A no keeps state 6 until the
                // task takes it, and only a later state 6 is a new question.
                while (!yes && task.IsRunning()) {
                    std::this_thread::yield();
                    task.GetStatus(status);
                    if (status.state != kMervaneTaskQuestion)
                        break;
                }
            }
            if (!task.IsRunning()) {
                task.GetStatus(status);
                break;
            }
            std::this_thread::yield();
        }
    } else {
        task.GetStatus(status);
    }
    CXFileNavOpen::SetAnswerProvider(previous);
    return status;
}
