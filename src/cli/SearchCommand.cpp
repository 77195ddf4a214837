#include <iostream>

#include "cli/Commands.h"

namespace vellumark::cli {

int RunSearch(const Arguments&) {
    std::cerr << "vellumark: search is not built yet\n";
    return 1;
}

}  // namespace vellumark::cli
