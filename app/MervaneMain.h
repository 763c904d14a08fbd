#pragma once

#include "foundation/CXString.h"

#include <functional>
#include <string>

class CXMessageTarget;
class MervaneApp;

// The windowed program's start-up and shutdown on the main thread.

// The application object and the same object as the main loop's application target; set by
// InitApplication, cleared by SelfDeleteOnExit.
extern MervaneApp* Application;
extern CXMessageTarget* ApplicationTarget;

// Starts the window layer on a display (the program: the X11 backend; tests: the harness). False,
// with `problem` set to one line for the user (naming DISPLAY or the missing font package), when
// there is no display to show the wizard on.
using OpenDisplayFunction = std::function<bool(std::string& problem)>;

// The whole windowed run: framework start-up, the command line (which ends the process itself for
// the headless check), the display, the application and its main window, the main loop, then the
// shutdown steps in order and the layer's shutdown. 0 once the loop has run, whatever the
// wizard's outcome; 2 (the problem printed on one line) when the display could not be opened.
int MervaneMain(int argc, char** argv, const OpenDisplayFunction& openDisplay);

// MervaneMain in its parts, for a driver that turns the loop itself: start-up up to the loop (-1
// when the run goes on, else the exit code: 2 without a display) and, after the loop, the shutdown
// steps and the layer's shutdown (the exit code). executablePath names the program for the
// self-delete.
int MervaneStartUp(int argc, char** argv, const OpenDisplayFunction& openDisplay);
int MervaneShutDown(const CXString& executablePath);

// The application half of start-up: the application folder made current again, the data-node
// translators, the crash handler, the configuration and locales, then the application object,
// which builds the menus and shows the main window. Sets Application and ApplicationTarget.
MervaneApp* InitApplication();

// Sends "ForceClose" (sender: the window) to the front window of the window list, hidden ones
// included, until only the parking window is left. A window that is still in front after its
// "ForceClose" ends the walk (logged) rather than looping for ever.
void CloseAllWindows();

// The first shutdown step: deletes the application object, runs the self-delete of the folder
// holding executablePath when it was asked for on the command line, then deletes the worker host.
void SelfDeleteOnExit(const CXString& executablePath);

// The self-delete itself: when the folder holding executablePath holds nothing but that file, its
// "data" folder and names beginning with '.', the data folder tree is deleted, then the executable
// and the folder (deleting at exit what Windows deletes at the next restart: a folder that still
// holds a dot file stays). Nothing at all when the folder holds anything else or cannot be
// listed. True when it deleted.
bool SelfDeleteFolder(const CXString& executablePath);
