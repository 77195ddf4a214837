#include "imaging/pages/ArchiveImages.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

#include "common/Error.h"

namespace vellumark::imaging {
namespace {

namespace fs = std::filesystem;

// More members than this is no book.
constexpr std::size_t kMaxMembers = 100'000;
// Pages read on the way to a later one in a RAR or 7z archive, kept for their turn.
constexpr std::size_t kMaxAheadBytes = std::size_t{128} << 20;

struct ArchiveEnd {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveEnd>;

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// libarchive's words for the last failure; it may have none.
std::string ArchiveError(archive* a) {
    const char* text = archive_error_string(a);
    return text ? text : "unknown error";
}

[[noreturn]] void Fail(ErrorCode code, const fs::path& path, const std::string& what) {
    throw Error(code, path.string() + ": " + what, path);
}

ArchivePtr OpenArchive(const fs::path& path) {
    ArchivePtr a(archive_read_new());
    if (!a)
        throw Error(ErrorCode::Internal, "out of memory");
    archive_read_support_format_zip(a.get());
    archive_read_support_format_rar(a.get());
    archive_read_support_format_rar5(a.get());
    archive_read_support_format_7zip(a.get());
    archive_read_support_format_tar(a.get());
    archive_read_support_filter_all(a.get());
    if (archive_read_open_filename(a.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK)
        Fail(ErrorCode::BadInput, path,
             std::string("not an archive that can be read (") + ArchiveError(a.get()) + ")");
    return a;
}

// The member's name, or none for an entry that is not a file.
std::string NameOf(archive_entry* entry) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    const char* name = utf8 ? utf8 : archive_entry_pathname(entry);
    return name ? name : "";
}

bool ClimbsOut(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\' ||
        (name.size() > 1 && name[1] == ':'))
        return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2)
            return true;
        start = end + 1;
    }
    return false;
}

enum class Member { Page, Passed, Other };

Member KindOf(const std::string& name) {
    const std::string lower = Lower(name);
    const std::size_t slash = lower.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? lower : lower.substr(slash + 1);
    if (base.empty() || base.front() == '.' || lower.starts_with("__macosx/") ||
        base == "comicinfo.xml" || base == "thumbs.db" || base.ends_with(".txt") ||
        base.ends_with(".nfo") || base.ends_with(".sfv"))
        return Member::Passed;
    if (base.ends_with(".jpg") || base.ends_with(".jpeg") || base.ends_with(".png"))
        return Member::Page;
    return Member::Other;
}

// Reads the current member's data: all of it, or its first `limit` bytes.
std::vector<std::uint8_t> ReadData(archive* a, const fs::path& path, const std::string& name,
                                   std::size_t limit) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[64 * 1024];
    while (bytes.size() < limit) {
        const la_ssize_t got = archive_read_data(a, buffer, sizeof buffer);
        if (got < 0)
            Fail(ErrorCode::BadInput, path,
                 name + ": damaged archive member (" + ArchiveError(a) + ")");
        if (got == 0)
            return bytes;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (limit == kMaxImageBytes && bytes.size() >= limit)
        Fail(ErrorCode::TooLarge, path, name + ": the member is larger than any page image");
    bytes.resize(std::min(bytes.size(), limit));
    return bytes;
}

class ArchiveImages final : public ImageStore {
public:
    explicit ArchiveImages(fs::path path) : path_(std::move(path)) {
        ArchivePtr a = OpenArchive(path_);
        std::vector<std::string> names;
        std::vector<std::vector<std::uint8_t>> heads;
        std::vector<int> ordinals;
        archive_entry* entry = nullptr;
        int ordinal = 0;
        for (;; ++ordinal) {
            const int status = archive_read_next_header(a.get(), &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                Fail(ErrorCode::BadInput, path_,
                     std::string("damaged archive (") + ArchiveError(a.get()) + ")");
            // ZIP members are found by seeking; RAR and 7z ones (solid ones above all) only
            // by decoding every member before them.
            if (ordinal == 0)
                sequential_ =
                    (archive_format(a.get()) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP;
            if (static_cast<std::size_t>(ordinal) >= kMaxMembers)
                Fail(ErrorCode::TooLarge, path_, "the archive holds more members than any book");
            const std::string name = NameOf(entry);
            if (ClimbsOut(name))
                Fail(ErrorCode::BadInput, path_,
                     "a member's name climbs out of the archive: " + name);
            if (archive_entry_filetype(entry) != AE_IFREG)
                continue;
            if (archive_entry_is_encrypted(entry))
                Fail(ErrorCode::Unsupported, path_,
                     "the archive is protected by a password: " + name);
            const Member kind = KindOf(name);
            if (kind == Member::Passed)
                continue;
            if (kind == Member::Other)
                Fail(ErrorCode::BadInput, path_,
                     "a member is not a JPEG or PNG page image: " + name);
            if (archive_entry_size_is_set(entry) &&
                static_cast<std::uint64_t>(archive_entry_size(entry)) > kMaxImageBytes)
                Fail(ErrorCode::TooLarge, path_,
                     name + ": the member is larger than any page image");
            names.push_back(name);
            heads.push_back(ReadData(a.get(), path_, name, kImageHeadBytes));
            ordinals.push_back(ordinal);
        }
        std::vector<std::size_t> order(names.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&names](std::size_t x, std::size_t y) {
            return NaturalLess(names[x], names[y]);
        });
        for (const std::size_t i : order) {
            names_.push_back(names[i]);
            heads_.push_back(std::move(heads[i]));
            pageAt_[ordinals[i]] = static_cast<int>(ordinals_.size());
            ordinals_.push_back(ordinals[i]);
        }
        done_.assign(names_.size(), false);
    }

    const std::vector<std::string>& Names() const override { return names_; }
    std::vector<std::vector<std::uint8_t>> Heads() const override {
        return std::exchange(heads_, {});
    }
    std::vector<std::uint8_t> Read(int i) const override {
        if (!sequential_) {
            ArchivePtr a = OpenArchive(path_);
            int ordinal = -1;
            MoveTo(a.get(), ordinal, i);
            return ReadData(a.get(), path_, names_[static_cast<std::size_t>(i)], kMaxImageBytes);
        }
        // One reader walks forward through the archive, so that reading every page in turn
        // decodes the archive once, not once per page. Pages passed on the way to a later
        // one (pages are read a few at a time, not quite in order) are kept for their turn.
        const std::lock_guard lock(cursorMutex_);
        const int wanted = ordinals_.at(static_cast<std::size_t>(i));
        if (const auto kept = ahead_.find(wanted); kept != ahead_.end()) {
            std::vector<std::uint8_t> bytes = std::move(kept->second);
            aheadBytes_ -= bytes.size();
            ahead_.erase(kept);
            return bytes;
        }
        if (!cursor_ || wanted <= cursorOrdinal_) {
            cursor_ = OpenArchive(path_);
            cursorOrdinal_ = -1;
        }
        MoveTo(cursor_.get(), cursorOrdinal_, i, [this](int page) {
            const std::size_t index = static_cast<std::size_t>(page);
            if (done_[index] || aheadBytes_ >= kMaxAheadBytes)
                return;
            std::vector<std::uint8_t> bytes =
                ReadData(cursor_.get(), path_, names_[index], kMaxImageBytes);
            aheadBytes_ += bytes.size();
            ahead_[ordinals_[index]] = std::move(bytes);
        });
        done_[static_cast<std::size_t>(i)] = true;
        return ReadData(cursor_.get(), path_, names_[static_cast<std::size_t>(i)], kMaxImageBytes);
    }

private:
    // Reads headers from the one after `ordinal` up to page i's, handing each page passed on
    // the way to `passed`.
    void MoveTo(archive* a, int& ordinal, int i,
                const std::function<void(int page)>& passed = {}) const {
        const int wanted = ordinals_.at(static_cast<std::size_t>(i));
        archive_entry* entry = nullptr;
        while (ordinal < wanted) {
            if (archive_read_next_header(a, &entry) < ARCHIVE_WARN)
                Fail(ErrorCode::BadInput, path_,
                     std::string("damaged archive (") + ArchiveError(a) + ")");
            ++ordinal;
            if (const auto page = pageAt_.find(ordinal);
                passed && ordinal < wanted && page != pageAt_.end())
                passed(page->second);
        }
        if (NameOf(entry) != names_[static_cast<std::size_t>(i)])
            Fail(ErrorCode::BadInput, path_, "the archive changed while it was open");
    }

private:
    fs::path path_;
    std::vector<std::string> names_;
    mutable std::vector<std::vector<std::uint8_t>> heads_;  // given away once, at opening
    std::vector<int> ordinals_;                             // each page's place in the archive
    std::map<int, int> pageAt_;                             // the page at each such place
    bool sequential_ = false;

    // The forward reader of a RAR or 7z archive, and what it has read.
    mutable std::mutex cursorMutex_;
    mutable ArchivePtr cursor_;
    mutable int cursorOrdinal_ = -1;
    mutable std::vector<bool> done_;
    mutable std::map<int, std::vector<std::uint8_t>> ahead_;
    mutable std::size_t aheadBytes_ = 0;
};

}  // namespace

bool LooksLikeArchive(std::span<const std::uint8_t> head) {
    const auto starts = [&head](const char* magic, std::size_t size) {
        return head.size() >= size && std::memcmp(head.data(), magic, size) == 0;
    };
    return starts("PK\x03\x04", 4) || starts("PK\x05\x06", 4) || starts("Rar!\x1A\x07", 6) ||
           starts("7z\xBC\xAF\x27\x1C", 6);
}

std::unique_ptr<const ImageStore> OpenArchiveImages(const fs::path& path) {
    return std::make_unique<ArchiveImages>(path);
}

}  // namespace vellumark::imaging
