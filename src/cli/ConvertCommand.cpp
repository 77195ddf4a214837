#include <iostream>

#include "cli/Commands.h"

namespace vellumark::cli {

int RunConvert(const Arguments&) {
    std::cerr << "vellumark: convert is not built yet\n";
    return 1;
}

}  // namespace vellumark::cli
