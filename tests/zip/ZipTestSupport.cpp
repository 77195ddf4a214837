#include "ZipTestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/Error.h"

namespace ziptest {

std::string Pack(const fs::path& archive, const fs::path& folder,
                 const vellumark::zip::ZipFolderOptions& options) {
    try {
        vellumark::zip::ZipFolder(archive, folder, options);
        return {};
    } catch (const vellumark::Error& e) {
        return vellumark::DescribeError(e);
    }
}

namespace {

std::uint16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}
std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(Le16(b, at)) |
           (static_cast<std::uint32_t>(Le16(b, at + 2)) << 16);
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    return parts;
}

}  // namespace

TempDir::TempDir(const fs::path& base) {
    std::error_code ec;
    const fs::path parent =
        !base.empty() && fs::is_directory(base, ec) ? base : fs::temp_directory_path();
    std::string pattern = (parent / "vellumark-zip-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files and folders must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("could not write " + path.string());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::string TextBytes(std::size_t size) {
    static const std::string kLine =
        "<p class=\"page\">The quick brown fox jumps over the lazy dog, page after page.</p>\n";
    std::string s;
    while (s.size() < size)
        s += kLine;
    s.resize(size);
    return s;
}

void SetMtime(const fs::path& path, std::time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        throw std::runtime_error("utimensat failed for " + path.string());
    }
}

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::vector<std::string> ListFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

int Run(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& path) {
    std::string q = "'";
    for (char c : path.string()) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

std::vector<std::string> PyReport::Names() const {
    std::vector<std::string> names;
    for (const auto& e : entries)
        names.push_back(e.name);
    return names;
}

const PyEntry* PyReport::Find(const std::string& name) const {
    for (const auto& e : entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

PyReport ReadWithPython(const fs::path& archive, const fs::path& folder) {
    std::string command = "python3 " + Quote(ZIPCHECK_SCRIPT) + " " + Quote(archive);
    if (!folder.empty())
        command += " " + Quote(folder);
    std::string output;
    PyReport report;
    report.readable = Run(command, &output) == 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto parts = SplitTabs(line);
        if (parts[0] == "testzip" && parts.size() == 2) {
            report.testzip = parts[1];
        } else if (parts[0] == "comment" && parts.size() == 2) {
            report.comment = parts[1];
        } else if (parts.size() == 12) {
            PyEntry e;
            e.name = parts[0];
            e.method = std::stoi(parts[1]);
            e.flags = std::stoi(parts[2]);
            e.size = std::stoull(parts[3]);
            e.compressedSize = std::stoull(parts[4]);
            e.crc = parts[5];
            e.internal = std::stoi(parts[6]);
            e.external = std::stoull(parts[7]);
            e.dateTime = parts[8];
            e.extraLength = std::stoi(parts[9]);
            e.createSystem = std::stoi(parts[10]);
            e.content = parts[11];
            report.entries.push_back(e);
        }
    }
    return report;
}

bool OtherReadersAccept(const fs::path& archive) {
    // unzip tests every CRC; bsdtar (libarchive) reads every entry's data through to the end.
    return Run("unzip -tq " + Quote(archive) + " >/dev/null 2>&1") == 0 &&
           Run("bsdtar -xOf " + Quote(archive) + " >/dev/null 2>&1") == 0;
}

RawArchive ParseArchive(const std::string& b) {
    RawArchive raw;
    auto fail = [&](const std::string& why) {
        raw.ok = false;
        raw.problem = why;
        return raw;
    };
    // The end record stands last, followed only by its comment.
    std::size_t endAt = std::string::npos;
    for (std::size_t at = b.size() >= 22 ? b.size() - 22 + 1 : 0; at-- > 0;) {
        if (Le32(b, at) == 0x06054B50 && at + 22 + Le16(b, at + 20) == b.size()) {
            endAt = at;
            break;
        }
    }
    if (endAt == std::string::npos)
        return fail("no end record at the end");
    const std::uint16_t count = Le16(b, endAt + 10);
    if (Le16(b, endAt + 8) != count || Le16(b, endAt + 4) != 0 || Le16(b, endAt + 6) != 0) {
        return fail("end record disk fields or counts");
    }
    const std::uint32_t centralSize = Le32(b, endAt + 12);
    const std::uint32_t centralOffset = Le32(b, endAt + 16);
    if (static_cast<std::uint64_t>(centralOffset) + centralSize != endAt) {
        return fail("directory does not end at the end record");
    }
    std::size_t local = 0;
    std::size_t central = centralOffset;
    for (unsigned i = 0; i < count; ++i) {
        if (central + 46 > endAt || Le32(b, central) != 0x02014B50)
            return fail("central record");
        RawEntry e;
        e.versionMadeBy = Le16(b, central + 4);
        e.flags = Le16(b, central + 8);
        e.method = Le16(b, central + 10);
        e.dosDateTime = Le32(b, central + 12);
        e.crc = Le32(b, central + 16);
        e.compressedSize = Le32(b, central + 20);
        e.size = Le32(b, central + 24);
        const std::uint16_t nameLength = Le16(b, central + 28);
        e.centralExtra = Le16(b, central + 30);
        const std::uint16_t commentLength = Le16(b, central + 32);
        e.internal = Le16(b, central + 36);
        e.external = Le32(b, central + 38);
        e.localOffset = Le32(b, central + 42);
        e.name = b.substr(central + 46, nameLength);
        central += 46 + nameLength + e.centralExtra + commentLength;
        // Local header: right where the previous entry's data ended, agreeing with the record.
        if (e.localOffset != local)
            return fail("gap or overlap before " + e.name);
        if (local + 30 > centralOffset || Le32(b, local) != 0x04034B50)
            return fail("local header");
        if (Le16(b, local + 6) != e.flags || Le16(b, local + 8) != e.method ||
            Le32(b, local + 10) != e.dosDateTime || Le32(b, local + 14) != e.crc ||
            Le32(b, local + 18) != e.compressedSize || Le32(b, local + 22) != e.size ||
            Le16(b, local + 26) != nameLength || b.substr(local + 30, nameLength) != e.name) {
            return fail("local header disagrees with directory for " + e.name);
        }
        e.localExtra = Le16(b, local + 28);
        local += 30 + nameLength + e.localExtra + e.compressedSize;
        raw.entries.push_back(e);
    }
    if (local != centralOffset)
        return fail("bytes between the last entry and the directory");
    if (central != endAt)
        return fail("bytes between the directory and the end record");
    raw.ok = true;
    return raw;
}

namespace {

class FillingDevice final : public vellumark::zip::ByteDevice {
public:
    FillingDevice(std::unique_ptr<vellumark::zip::ByteDevice> inner, std::uint64_t room)
        : inner_(std::move(inner)), room_(room) {}
    std::size_t WriteAt(std::uint64_t position, const void* data, std::size_t size) override {
        const std::uint64_t room = position >= room_ ? 0 : room_ - position;
        return inner_->WriteAt(position, data, std::min<std::uint64_t>(size, room));
    }

private:
    std::unique_ptr<vellumark::zip::ByteDevice> inner_;
    std::uint64_t room_;
};

}  // namespace

std::function<
    std::unique_ptr<vellumark::zip::ByteDevice>(std::unique_ptr<vellumark::zip::ByteDevice>)>
FillingAfter(std::uint64_t room) {
    return [room](std::unique_ptr<vellumark::zip::ByteDevice> inner) {
        return std::unique_ptr<vellumark::zip::ByteDevice>(
            std::make_unique<FillingDevice>(std::move(inner), room));
    };
}

}  // namespace ziptest
