#pragma once

#include <filesystem>

namespace vellumark::app {

// Opens the main window, and in it `document` unless empty, and runs the event loop until it
// closes; returns the exit code.
int RunWindow(int argc, char** argv, const std::filesystem::path& document = {});

}  // namespace vellumark::app
