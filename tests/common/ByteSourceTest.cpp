#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "common/ByteSource.h"
#include "common/Error.h"
#include "common/TempFolder.h"

namespace vellumark {
namespace {

std::string Read(const ByteSource& source, std::uint64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    bytes.resize(source.ReadAt(offset, bytes.data(), size));
    return bytes;
}

ErrorCode CodeOfOpening(const std::filesystem::path& path) {
    try {
        OpenFileSource(path);
    } catch (const Error& e) {
        return e.Code();
    }
    return ErrorCode::Internal;
}

TEST(ByteSourceTest, FileAndMemorySourcesReadAlikeUpToTheirEnd) {
    const TempFolder folder = TempFolder::Create({}, "bytes-");
    const auto path = folder.Path() / "data";
    const std::string content = "0123456789abcdef";
    std::ofstream(path, std::ios::binary) << content;
    const auto file = OpenFileSource(path);
    const MemorySource memory(std::vector<std::uint8_t>(content.begin(), content.end()));
    for (const ByteSource* source :
         {static_cast<const ByteSource*>(file.get()), static_cast<const ByteSource*>(&memory)}) {
        EXPECT_EQ(source->Size(), content.size());
        EXPECT_EQ(Read(*source, 0, 4), "0123");
        EXPECT_EQ(Read(*source, 12, 10), "cdef");  // short only at the end
        EXPECT_EQ(Read(*source, 16, 4), "");
        EXPECT_EQ(Read(*source, ~std::uint64_t{0}, 4), "");
    }
}

TEST(ByteSourceTest, OneFileSourceReadsFromManyThreadsAtOnce) {
    const TempFolder folder = TempFolder::Create({}, "bytes-");
    const auto path = folder.Path() / "data";
    std::string content(1 << 20, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 251);
    std::ofstream(path, std::ios::binary) << content;
    const auto source = OpenFileSource(path);
    std::vector<std::jthread> threads;
    std::atomic<int> mismatches = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::uint64_t at = t * 4096; at + 4096 <= content.size(); at += 4 * 4096) {
                if (Read(*source, at, 4096) != content.substr(at, 4096))
                    ++mismatches;
            }
        });
    }
    threads.clear();
    EXPECT_EQ(mismatches, 0);
}

TEST(ByteSourceTest, OnlyPlainFilesOpen) {
    const TempFolder folder = TempFolder::Create({}, "bytes-");
    EXPECT_EQ(CodeOfOpening(folder.Path() / "missing"), ErrorCode::BadInput);
    EXPECT_EQ(CodeOfOpening(folder.Path()), ErrorCode::BadInput);
    // A pipe with no writer would block a plain open forever.
    const auto fifo = folder.Path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CodeOfOpening(fifo), ErrorCode::BadInput);
    if (::geteuid() != 0) {  // root reads anything
        const auto locked = folder.Path() / "locked";
        std::ofstream(locked) << "x";
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        EXPECT_EQ(CodeOfOpening(locked), ErrorCode::Io);
    }
}

}  // namespace
}  // namespace vellumark
