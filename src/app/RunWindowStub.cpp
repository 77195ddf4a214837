#include <iostream>

#include "app/RunWindow.h"

namespace vellumark::app {

int RunWindow(int, char**, const std::filesystem::path&) {
    std::cerr << "vellumark: this build has no window; see vellumark --help\n";
    return 1;
}

}  // namespace vellumark::app
