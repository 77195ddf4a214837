#include "imaging/TiffHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "common/Error.h"

namespace vellumark::imaging {
namespace {

constexpr std::size_t kMaxMessages = 4;
constexpr std::size_t kMaxMessageLength = 300;

class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(void* buffer, std::size_t size, std::uint64_t offset) const override {
        std::size_t done = 0;
        while (done < size && offset + done < size_) {
            const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, size - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

private:
    int fd_;
    std::uint64_t size_;
};

class BytesSource final : public ByteSource {
public:
    explicit BytesSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(void* buffer, std::size_t size, std::uint64_t offset) const override {
        if (offset >= bytes_.size())
            return 0;
        const std::size_t n = std::min<std::uint64_t>(size, bytes_.size() - offset);
        std::memcpy(buffer, bytes_.data() + offset, n);
        return n;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

int OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    static_cast<TiffMessages*>(user)->Add(true, module, format, args);
    return 1;
}

int OnWarning(TIFF*, void* user, const char* module, const char* format, va_list args) {
    static_cast<TiffMessages*>(user)->Add(false, module, format, args);
    return 1;
}

// A few of libtiff's messages go to the process-wide handlers (those raised before a handle
// exists); they are dropped rather than printed.
void SilenceGlobalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetErrorHandlerExt(nullptr);
        TIFFSetWarningHandler(nullptr);
        TIFFSetWarningHandlerExt(nullptr);
    });
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

}  // namespace

std::shared_ptr<const ByteSource> OpenFileSource(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        throw Error(ErrorCode::BadInput, path.string() + ": no such file", path);
    if (status.type() == std::filesystem::file_type::directory)
        throw Error(ErrorCode::BadInput, path.string() + " is a folder, not a document", path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error(ErrorCode::Io, path.string() + ": cannot open: " + std::strerror(errno), path);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw Error(ErrorCode::BadInput, path.string() + " is not a regular file", path);
    }
    return std::make_shared<FileSource>(fd, static_cast<std::uint64_t>(info.st_size));
}

std::shared_ptr<const ByteSource> MemorySource(std::vector<std::uint8_t> bytes) {
    return std::make_shared<BytesSource>(std::move(bytes));
}

void TiffMessages::Add(bool error, const char* module, const char* format, va_list args) {
    auto& list = error ? errors_ : warnings_;
    if (list.size() >= kMaxMessages)
        return;
    char text[kMaxMessageLength];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line = module && *module ? std::string(module) + ": " + text : std::string(text);
    if (line.size() > kMaxMessageLength)
        line.resize(kMaxMessageLength);
    list.push_back(std::move(line));
}

std::string TiffMessages::Text() const {
    const auto& list = errors_.empty() ? warnings_ : errors_;
    std::string text;
    for (const auto& line : list) {
        if (!text.empty())
            text += "; ";
        text += line;
    }
    return text;
}

void TiffMessages::Clear() {
    errors_.clear();
    warnings_.clear();
}

TiffHandle::TiffHandle(std::shared_ptr<const ByteSource> source, const std::filesystem::path& path,
                       const char* mode, bool mdi)
    : source_(std::move(source)), mdi_(mdi) {
    SilenceGlobalHandlers();
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options)
        throw Error(ErrorCode::Internal, "out of memory", path);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(kMaxTiffAllocation));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &messages_);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &messages_);
    tif_ = TIFFClientOpenExt(path.filename().c_str(), mode, this, Read, Write, Seek, Close, SizeOf,
                             nullptr, nullptr, options.get());
    if (!tif_) {
        const std::string why = messages_.Text();
        throw Error(ErrorCode::BadInput,
                    path.string() + " is damaged or not a TIFF file" +
                        (why.empty() ? std::string() : " (" + why + ")"),
                    path);
    }
}

TiffHandle::~TiffHandle() {
    if (tif_)
        TIFFClose(tif_);
}

tmsize_t TiffHandle::Read(thandle_t self, void* buffer, tmsize_t size) {
    auto* h = static_cast<TiffHandle*>(self);
    if (size <= 0)
        return 0;
    const std::size_t n = h->source_->ReadAt(buffer, static_cast<std::size_t>(size), h->position_);
    // MDI files begin "EP" where a little-endian TIFF has "II"; the rest is the same.
    if (h->mdi_ && h->position_ < 2) {
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        for (std::uint64_t at = h->position_; at < 2 && at < h->position_ + n; ++at)
            bytes[at - h->position_] = 'I';
    }
    h->position_ += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t TiffHandle::Write(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t TiffHandle::Seek(thandle_t self, toff_t offset, int whence) {
    auto* h = static_cast<TiffHandle*>(self);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = h->position_;
    if (whence == SEEK_END)
        base = h->source_->Size();
    h->position_ = base + offset;
    return h->position_;
}

int TiffHandle::Close(thandle_t) {
    return 0;
}

toff_t TiffHandle::SizeOf(thandle_t self) {
    return static_cast<TiffHandle*>(self)->source_->Size();
}

}  // namespace vellumark::imaging
