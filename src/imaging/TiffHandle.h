#pragma once
// libtiff handles over a shared, read-only byte source (a file or bytes in memory). Each handle has
// its own position and its own message log, so several handles on one source can be used from
// several threads at once (one handle per thread). libtiff's messages never reach the terminal:
// they are kept in the handle and end up in the text of the errors we throw.

#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/ByteSource.h"

namespace vellumark::imaging {

using vellumark::ByteSource;

// libtiff's errors and warnings for one handle, a few at most.
class TiffMessages {
public:
    void Add(bool error, const char* module, const char* format, va_list args);
    void Add(bool error, std::string line);
    // The errors, else the warnings, joined with "; "; empty when there were none.
    std::string Text() const;
    bool HasErrors() const { return !errors_.empty(); }
    void Clear();

private:
    std::vector<std::string> errors_, warnings_;
};

class TiffHandle {
public:
    // mode is libtiff's ("r", "rh", ...). An MDI source (first two bytes "EP") is shown to
    // libtiff as little-endian TIFF. Throws vellumark::Error (BadInput) with libtiff's reason
    // when the source is not a TIFF it can open.
    TiffHandle(std::shared_ptr<const ByteSource> source, const std::filesystem::path& path,
               const char* mode, bool mdi);
    ~TiffHandle();
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;

    TIFF* Get() const { return tif_; }
    TiffMessages& Messages() { return messages_; }

private:
    static tmsize_t Read(thandle_t self, void* buffer, tmsize_t size);
    static tmsize_t Write(thandle_t, void*, tmsize_t);
    static toff_t Seek(thandle_t self, toff_t offset, int whence);
    static int Close(thandle_t);
    static toff_t SizeOf(thandle_t self);

    std::shared_ptr<const ByteSource> source_;
    std::uint64_t position_ = 0;
    bool mdi_;
    TiffMessages messages_;
    TIFF* tif_ = nullptr;
};

// Most memory libtiff may take in one allocation for one handle.
constexpr std::size_t kMaxTiffAllocation = std::size_t{256} << 20;

}  // namespace vellumark::imaging
