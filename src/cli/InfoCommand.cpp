#include <iostream>

#include "cli/Commands.h"

namespace vellumark::cli {

int RunInfo(const Arguments&) {
    std::cerr << "vellumark: info is not built yet\n";
    return 1;
}

}  // namespace vellumark::cli
