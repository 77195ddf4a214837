// Writes the manual page made from the command line's option table: makemanual OUTPUT.
#include <fstream>
#include <iostream>

#include "cli/CommandTable.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: makemanual OUTPUT\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << vellumark::cli::ManualPage();
    out.close();
    if (!out) {
        std::cerr << "makemanual: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
