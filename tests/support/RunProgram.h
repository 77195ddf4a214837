#pragma once
// Running a program from a test, as a user would from the shell, and collecting what it says.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestTiff.h"

namespace vellumark::testing {

struct RunResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// The text quoted for the shell.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the program with the arguments (each quoted for the shell), input from /dev/null.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    TempFolder capture;
    std::string command = Quote(program);
    for (const auto& arg : args)
        command += " " + Quote(arg);
    command += " </dev/null >" + Quote((capture / "out").string()) + " 2>" +
               Quote((capture / "err").string());
    const int status = std::system(command.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadWhole(capture / "out");
    result.err = ReadWhole(capture / "err");
    return result;
}

}  // namespace vellumark::testing
