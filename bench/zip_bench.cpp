// Packs generated folders with one thread and with every core, the way a book is packed, and
// prints seconds (wall and CPU), MB/s of file data, the peak resident memory of each run and the
// archive's size in bytes.
//
//   zip_bench [--images N] [--texts N] [--large N] [--repeat N] [--dir FOLDER]
//     --images  incompressible "JPEG" pages of about 150 KB (default 500)
//     --texts   text pages of about 60 KB (default 200)
//     --large   files of 8 MiB, half text and half noise, each cut into many pieces (default 4)
//
// Each run happens in a child process so that its peak memory is its own. The archives of the
// one-thread and the all-core runs are compared byte for byte.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Error.h"
#include "common/Jobs.h"
#include "zip/ZipFolder.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t FolderBytes(const fs::path& folder) {
    std::uint64_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file())
            total += e.file_size();
    }
    return total;
}

// A book-like folder of incompressible "JPEG" pages of about 150 KB plus small XHTML pages.
void MakeImageBook(const fs::path& root, int images) {
    std::mt19937_64 gen(42);
    WriteFile(root / "mimetype", "application/epub+zip");
    WriteFile(root / "META-INF/container.xml", "<?xml version=\"1.0\"?>\n<container/>\n");
    for (int i = 1; i <= images; ++i) {
        std::string jpg(150 * 1024 + (i % 7) * 1000, '\0');
        for (std::size_t k = 0; k + 8 <= jpg.size(); k += 8) {
            const std::uint64_t v = gen();
            std::memcpy(&jpg[k], &v, 8);
        }
        WriteFile(root / "OEBPS" / (std::to_string(i) + ".jpg"), jpg);
        std::ostringstream html;
        html << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html><body><div><img src=\"" << i
             << ".jpg\" alt=\"page " << i << "\"/></div></body></html>\n";
        WriteFile(root / "OEBPS" / ("page" + std::to_string(i) + ".html"), html.str());
    }
}

// A folder of text pages of about 60 KB each, with varied words.
void MakeTextBook(const fs::path& root, int texts) {
    static const char* kWords[] = {"scanned", "page",    "the",     "of",    "book",
                                   "reader",  "archive", "chapter", "and",   "light",
                                   "river",   "stone",   "winter",  "letter"};
    std::mt19937 gen(7);
    WriteFile(root / "mimetype", "application/epub+zip");
    for (int i = 1; i <= texts; ++i) {
        std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html><body>\n";
        while (text.size() < 60 * 1024) {
            text += "<p>";
            for (int w = 0; w < 40; ++w) {
                text += kWords[gen() % (sizeof kWords / sizeof *kWords)];
                text += ' ';
            }
            text += std::to_string(gen() % 100000) + "</p>\n";
        }
        text += "</body></html>\n";
        WriteFile(root / "OEBPS" / ("page" + std::to_string(i) + ".html"), text);
    }
}

// Large files, alternately text and noise, of several compression pieces each.
void MakeLargeFiles(const fs::path& root, int count) {
    std::mt19937_64 gen(99);
    WriteFile(root / "mimetype", "application/epub+zip");
    for (int i = 1; i <= count; ++i) {
        std::string bytes(8 << 20, '\0');
        if (i % 2 == 0) {
            for (std::size_t k = 0; k + 8 <= bytes.size(); k += 8) {
                const std::uint64_t v = gen();
                std::memcpy(&bytes[k], &v, 8);
            }
        } else {
            std::size_t at = 0;
            while (at + 16 < bytes.size()) {
                const std::string word = "word" + std::to_string(gen() % 5000) + ' ';
                bytes.replace(at, word.size(), word);
                at += word.size();
            }
        }
        WriteFile(root / "OEBPS" / ("large" + std::to_string(i) + ".bin"), bytes);
    }
}

struct RunResult {
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

RunResult PackInChild(const fs::path& folder, const fs::path& archive, unsigned jobs) {
    fs::remove(archive);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        vellumark::zip::ZipFolderOptions options;
        options.jobs = jobs;
        try {
            vellumark::zip::ZipFolder(archive, folder, options);
        } catch (const vellumark::Error& e) {
            std::fprintf(stderr, "zip_bench: %s\n", vellumark::DescribeError(e).c_str());
            std::_Exit(1);
        }
        std::_Exit(0);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    RunResult r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakKiB = usage.ru_maxrss;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

// Compares two files in pieces, so that the parent never holds an archive in memory (a child
// forked later would count it as its own).
bool SameBytes(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 16), bb(1 << 16);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount())
            return false;
        if (fa.gcount() == 0)
            return true;
        if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0)
            return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    int images = 500, texts = 200, large = 4, repeat = 3;
    fs::path base = fs::temp_directory_path();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--images")
            images = std::atoi(argv[i + 1]);
        if (flag == "--texts")
            texts = std::atoi(argv[i + 1]);
        if (flag == "--large")
            large = std::atoi(argv[i + 1]);
        if (flag == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
        if (flag == "--dir")
            base = argv[i + 1];
    }
    const fs::path work = base / ("zip_bench-" + std::to_string(::getpid()));
    MakeImageBook(work / "images", images);
    MakeTextBook(work / "texts", texts);
    MakeLargeFiles(work / "large", large);
    const unsigned cores = vellumark::ResolveJobs(0);

    int failures = 0;
    for (const char* name : {"images", "texts", "large"}) {
        const fs::path folder = work / name;
        const double mb = static_cast<double>(FolderBytes(folder)) / 1e6;
        std::size_t files = 0;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            files += e.is_regular_file();
        std::printf("%s: %.1f MB in %zu files\n", name, mb, files);
        for (const unsigned jobs : {1u, cores}) {
            const fs::path archive = work / (jobs == 1 ? "one.epub" : "many.epub");
            RunResult best;
            for (int r = 0; r < repeat; ++r) {
                const RunResult run = PackInChild(folder, archive, jobs);
                if (!run.ok)
                    ++failures;
                if (r == 0 || run.seconds < best.seconds)
                    best = run;
                best.peakKiB = std::max(best.peakKiB, run.peakKiB);
            }
            std::printf(
                "  %2u thread%s: %.3f s, %.3f s CPU, %.1f MB/s, peak RSS %.1f MB, archive %llu "
                "bytes\n",
                jobs, jobs == 1 ? " " : "s", best.seconds, best.cpuSeconds, mb / best.seconds,
                best.peakKiB / 1024.0, static_cast<unsigned long long>(fs::file_size(archive)));
        }
        if (cores > 1 && !SameBytes(work / "one.epub", work / "many.epub")) {
            std::printf("  archives differ between thread counts!\n");
            ++failures;
        }
    }
    fs::remove_all(work);
    return failures == 0 ? 0 : 1;
}
