#pragma once

namespace vellumark::app {

// Opens the main window and runs the event loop until it closes; returns the exit code.
int RunWindow(int argc, char** argv);

}  // namespace vellumark::app
