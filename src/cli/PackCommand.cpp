#include <iostream>

#include "cli/Commands.h"

namespace vellumark::cli {

int RunPack(const Arguments&) {
    std::cerr << "vellumark: pack is not built yet\n";
    return 1;
}

}  // namespace vellumark::cli
