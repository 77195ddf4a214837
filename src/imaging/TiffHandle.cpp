#include "imaging/TiffHandle.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "common/Error.h"

namespace vellumark::imaging {
namespace {

constexpr std::size_t kMaxMessages = 4;
constexpr std::size_t kMaxMessageLength = 300;

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

void TiffMessages::Add(bool error, const char* module, const char* format, va_list args) {
    auto& list = error ? errors_ : warnings_;
    if (list.size() >= kMaxMessages)
        return;
    char text[kMaxMessageLength];
    std::vsnprintf(text, sizeof text, format, args);
    Add(error, module && *module ? std::string(module) + ": " + text : std::string(text));
}

void TiffMessages::Add(bool error, std::string line) {
    auto& list = error ? errors_ : warnings_;
    if (list.size() >= kMaxMessages)
        return;
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
    std::size_t n = 0;
    try {
        n = h->source_->ReadAt(h->position_, buffer, static_cast<std::size_t>(size));
    } catch (const Error& e) {
        // No exception may cross libtiff; the read fails, and the reason stays in the messages.
        h->messages_.Add(true, e.what());
        return -1;
    }
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
