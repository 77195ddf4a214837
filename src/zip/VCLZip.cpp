#include "zip/VCLZip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>

#include "common/Error.h"
#include "common/FileIo.h"
#include "common/Jobs.h"
#include "zip/ArchiveFile.h"
#include "zip/Deflate.h"
#include "zip/DirSearch.h"
#include "zip/SortedZip.h"
#include "zip/TaskPool.h"
#include "zip/UpdatePlan.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipRecords.h"

namespace vellumark::zip {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCopyBufferSize = 256 * 1024;

// The temporary archive of an update: "KPZxxxxxx" in `tempPath` when that is a folder, else in
// the system's temporary folder.
TempFile CreateKpzTemp(const fs::path& tempPath) {
    std::error_code ec;
    fs::path folder = !tempPath.empty() && fs::is_directory(tempPath, ec)
                          ? tempPath
                          : fs::temp_directory_path(ec);
    if (folder.empty())
        folder = "/tmp";
    std::string name = (folder / "KPZXXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        throw Error(ErrorCode::Io, "Could not create a temporary archive (" + ErrnoText() + ")",
                    folder);
    }
    return TempFile(name, UniqueFd(fd));
}

// Copies the whole of `from` onto `to`, whole or nothing: through a file beside `to` that is
// then renamed over it.
void CopyOnto(const fs::path& from, const fs::path& to, mode_t mode) {
    const std::string failure = "Could not copy from " + from.string() + " -> " + to.string();
    try {
        UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
        if (!in)
            throw Error(ErrorCode::Io, failure);
        TempFile out = CreateTempBeside(to);
        std::vector<std::uint8_t> buffer(kCopyBufferSize);
        FileSink sink(std::make_unique<FdDevice>(out.Fd(), to), to);
        std::uint64_t at = 0;
        for (;;) {
            const std::size_t n = ReadFully(in.Get(), at, buffer.data(), buffer.size(), from);
            if (n == 0)
                break;
            sink.Write(buffer.data(), n);
            at += n;
        }
        sink.Flush();
        ::fchmod(out.Fd(), mode);
        SyncFile(out.Fd(), to);
        out.Close();
        if (::rename(out.Path().c_str(), to.c_str()) != 0)
            throw Error(ErrorCode::Io, failure);
        out.Released();
    } catch (const Error& e) {
        if (e.Code() == ErrorCode::NoRoom)
            throw;
        throw Error(ErrorCode::Io, failure, to);
    }
}

// The DOS attribute word of a file: read-only when its owner cannot write it, hidden for a
// name starting with ".", and always the archive bit.
std::uint32_t DosAttributes(const struct stat& st, const std::string& fileName) {
    std::uint32_t attributes = kAttrArchive;
    if ((st.st_mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    if (!fileName.empty() && fileName[0] == '.')
        attributes |= kAttrHidden;
    return attributes;
}

struct OpenFile {
    UniqueFd fd;
    std::string path;
};

struct Slot {
    std::unique_ptr<TZipHeaderInfo> record;
    const OldEntry* old = nullptr;  // set: copy this entry; null: pack `file`
    std::shared_ptr<OpenFile> file;
    std::uint64_t size = 0;
    bool store = false;        // stored without compression
    bool mayFallBack = false;  // small enough to be stored when deflate cannot shrink it
    std::size_t pieceCount = 0;
    std::size_t submitted = 0;
    std::size_t written = 0;
    std::deque<std::future<PieceResult>> pending;
    std::deque<std::size_t> costs;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0;
};

class ArchiveWriter {
public:
    ArchiveWriter(TVCLZip& zip, std::vector<std::string> files, std::uint64_t total)
        : zip_(zip), files_(std::move(files)), total_(total) {}

    int Write() {
        struct stat st {};
        const bool update = ::stat(zip_.ZipName.c_str(), &st) == 0;
        return update ? Update() : Create();
    }

private:
    int Create() {
        TempFile temp = CreateTempBeside(zip_.ZipName);
        WriteItems(temp, PlanCreate(files_.size()), nullptr, {});
        CommitTemp(temp, zip_.ZipName);
        return packed_;
    }

    int Update() {
        UniqueFd oldFd(::open(zip_.ZipName.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat oldStat {};
        if (!oldFd || ::fstat(oldFd.Get(), &oldStat) != 0) {
            throw Error(ErrorCode::Io, "Could not open archive (" + ErrnoText() + ")",
                        zip_.ZipName);
        }
        if (!S_ISREG(oldStat.st_mode)) {
            throw Error(ErrorCode::Io, "Could not open archive (not a file)", zip_.ZipName);
        }
        TempFile temp = CreateKpzTemp(zip_.TempPath);
        {
            // The old archive stays open only while its entries are copied.
            const FileSource source(std::move(oldFd), zip_.ZipName);
            const OldArchive old = ReadZipDirectory(source, zip_.ZipName);
            WriteItems(temp, PlanUpdate(old, files_, Names()), &source, old.end.comment);
        }
        ::fchmod(temp.Fd(), oldStat.st_mode & 07777);
        temp.Close();
        // Renaming replaces the old archive in one step; across file systems it is copied.
        if (::rename(temp.Path().c_str(), zip_.ZipName.c_str()) == 0) {
            temp.Released();
        } else {
            CopyOnto(temp.Path(), zip_.ZipName, oldStat.st_mode & 07777);
        }
        return packed_;
    }

    NameRule Names() const { return {zip_.StorePaths(), zip_.RelativePaths(), zip_.RootDir()}; }

    // Where a piece of a file lies.
    struct PieceSpan {
        std::uint64_t offset;
        std::size_t length;
    };
    static PieceSpan SpanOf(const Slot& slot, std::size_t piece) {
        const std::uint64_t offset = piece * kPieceSize;
        return {offset,
                static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, slot.size - offset))};
    }

    // The bytes a piece holds while in flight: its data and, at most, as much output.
    static std::size_t PieceCost(const Slot& slot, std::size_t piece) {
        return 2 * SpanOf(slot, piece).length + 1;
    }

    void Submit(Slot& slot, TaskPool<PieceResult>& pool) {
        const std::size_t piece = slot.submitted++;
        // Named variables: the task captures them, which clang before 16 cannot do with a
        // structured binding.
        const PieceSpan span = SpanOf(slot, piece);
        const std::uint64_t offset = span.offset;
        const std::size_t length = span.length;
        const bool first = piece == 0;
        const bool last = piece + 1 == slot.pieceCount;
        const bool store = slot.store;
        const bool keepRaw = slot.mayFallBack;
        std::shared_ptr<OpenFile> file = slot.file;
        slot.costs.push_back(PieceCost(slot, piece));
        slot.pending.push_back(pool.Submit([=](Deflater& deflater) {
            std::vector<std::uint8_t> buffer(length);
            if (ReadFully(file->fd.Get(), offset, buffer.data(), buffer.size(), file->path) !=
                buffer.size()) {
                throw Error(ErrorCode::Io, "File changed while it was being packed", file->path);
            }
            PieceResult result = CompressPiece(deflater, buffer.data(), length, first, last, store);
            if (keepRaw)
                result.raw = std::move(buffer);
            return result;
        }));
    }

    // Takes up one item: opens and describes a file to pack, or prepares an old entry's copy.
    // Appends a slot unless the file is skipped.
    void TakeUp(const WriteStep& item, std::deque<Slot>& slots) {
        if (item.old) {
            AddCopySlot(*item.old, slots);
            return;
        }
        const std::string& path = files_[item.file];
        if (!path.empty() && path.back() == '/')
            return;  // folder entries are not written
        // Vanished, unreadable or not a plain file: skipped without notice.
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!fd && errno != ENOENT && errno != ENOTDIR && errno != EACCES && errno != EPERM &&
            errno != ELOOP && errno != ENXIO && errno != ENODEV) {
            // Out of descriptors or memory: skipping would silently lose the file.
            throw Error(ErrorCode::Io, "Could not open (" + ErrnoText() + ")", path);
        }
        struct stat st {};
        if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            if (item.replaces)
                AddCopySlot(*item.replaces, slots);
            return;
        }
        auto record = std::make_unique<TZipHeaderInfo>();
        record->SetStoredName(StoredName(path, Names()));
        if (nameList_.FindName(record->StoredName()))
            return;  // a second file of one name
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size > kMaxArchiveBytes) {
            throw Error(ErrorCode::TooLarge,
                        "File of 4 GiB or more, more than the ZIP format written allows", path);
        }
        CountEntry();
        record->externalAttributes = DosAttributes(st, record->fileName);
        record->dosDateTime = DosDateTime(zip_.EntryTime.value_or(st.st_mtime));
        record->uncompressedSize = static_cast<std::uint32_t>(size);
        nameList_.Insert(record.get());

        Slot slot;
        slot.record = std::move(record);
        slot.file = std::make_shared<OpenFile>(OpenFile{std::move(fd), path});
        slot.size = size;
        slot.store = zip_.PackLevel <= 0 || MatchesMaskList(path, zip_.NoCompressList);
        slot.mayFallBack = !slot.store && size <= kStoredFallbackLimit;
        slot.pieceCount =
            size == 0 ? 1 : static_cast<std::size_t>((size + kPieceSize - 1) / kPieceSize);
        slots.push_back(std::move(slot));
    }

    void AddCopySlot(const OldEntry& entry, std::deque<Slot>& slots) {
        CountEntry();
        Slot slot;
        slot.record = std::make_unique<TZipHeaderInfo>(entry.info);
        slot.old = &entry;
        nameList_.Insert(slot.record.get());
        slots.push_back(std::move(slot));
    }

    void CountEntry() {
        if (++entries_ > kMaxEntries) {
            throw Error(ErrorCode::TooLarge,
                        "More than 65,535 files, more than the ZIP format written allows",
                        zip_.ZipName);
        }
    }

    void WritePiece(Slot& slot, PieceResult& piece, ByteSink& sink) {
        TZipHeaderInfo& record = *slot.record;
        const std::vector<std::uint8_t>* bytes = &piece.data;
        if (slot.written == 0) {
            bytes = &StartEntry(record, piece, slot.store, slot.mayFallBack ? &piece.raw : nullptr,
                                slot.size, zip_.PackLevel);
            record.localHeaderOffset = static_cast<std::uint32_t>(sink.Position());
            const auto header = LocalHeaderBytes(record);  // a placeholder until the last piece
            sink.Write(header.data(), header.size());
            slot.crc = piece.crc;
        } else {
            slot.crc = Crc32Combine(slot.crc, piece.crc, piece.size);
        }
        sink.Write(bytes->data(), bytes->size());
        slot.compressed += bytes->size();
        done_ += piece.size;
        ++slot.written;
        if (slot.written == slot.pieceCount) {
            record.crc = slot.crc;
            record.compressedSize = static_cast<std::uint32_t>(slot.compressed);
            record.uncompressedSize = static_cast<std::uint32_t>(slot.size);
            const auto header = LocalHeaderBytes(record);
            sink.WriteAt(record.localHeaderOffset, header.data(), header.size());
        }
        if (zip_.Progress)
            zip_.Progress(done_, std::max(done_, total_));
    }

    void WriteItems(TempFile& temp, const std::vector<WriteStep>& items,
                    const ByteSource* oldSource, const std::vector<std::uint8_t>& comment) {
        std::unique_ptr<ByteDevice> device = std::make_unique<FdDevice>(temp.Fd(), zip_.ZipName);
        if (zip_.WrapDevice)
            device = zip_.WrapDevice(std::move(device));
        FileSink file(std::move(device), zip_.ZipName);
        LimitSink sink(file, zip_.ZipName);

        const unsigned jobs = ResolveJobs(zip_.Jobs);
        const int level = std::clamp(zip_.PackLevel, 0, 9);
        // One thread compresses on the calling thread itself.
        TaskPool<PieceResult> pool(jobs == 1 ? 0 : jobs, level);
        TSortedZip writeList(TZipSortMode::ByNone);
        std::deque<Slot> slots;
        std::size_t next = 0;
        std::size_t inFlight = 0;
        const std::size_t limit = std::max<std::size_t>(zip_.BytesInFlight, 1);
        // Files taken up ahead each hold a descriptor: a few per thread is plenty.
        const std::size_t maxSlots = 16 + 4 * static_cast<std::size_t>(jobs);

        for (;;) {
            // Read and compress ahead, up to the limit on bytes in flight.
            for (;;) {
                if (!slots.empty() && !slots.back().old &&
                    slots.back().submitted < slots.back().pieceCount) {
                    Slot& tail = slots.back();
                    const std::size_t cost = PieceCost(tail, tail.submitted);
                    if (inFlight > 0 && inFlight + cost > limit)
                        break;
                    inFlight += cost;
                    Submit(tail, pool);
                    continue;
                }
                if (next >= items.size() || slots.size() >= maxSlots)
                    break;
                TakeUp(items[next++], slots);
            }
            if (slots.empty())
                break;

            // Write the oldest step.
            Slot& front = slots.front();
            if (front.old) {
                *front.record = CopyOldEntry(*oldSource, *front.old, sink, zip_.ZipName);
            } else {
                PieceResult piece = front.pending.front().get();
                front.pending.pop_front();
                inFlight -= front.costs.front();
                front.costs.pop_front();
                WritePiece(front, piece, sink);
                if (front.written < front.pieceCount)
                    continue;
                ++packed_;
            }
            writeList.Insert(std::move(front.record));
            slots.pop_front();
        }

        const std::vector<const TZipHeaderInfo*> records(writeList.Items().begin(),
                                                         writeList.Items().end());
        FinishArchive(sink, records, comment, temp.Fd(), zip_.ZipName);
        if (zip_.Progress)
            zip_.Progress(std::max(done_, total_), std::max(done_, total_));
    }

    TVCLZip& zip_;
    std::vector<std::string> files_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    int packed_ = 0;
    std::size_t entries_ = 0;
    TSortedZip nameList_{TZipSortMode::ByName};
};

}  // namespace

void TVCLZip::SetRootDir(const std::string& folder) {
    rootDir_ = folder;
    if (!rootDir_.empty() && rootDir_.back() != '/')
        rootDir_ += '/';
}

void TVCLZip::SetRelativePaths(bool value) {
    relativePaths_ = value;
    if (value) {
        storePaths_ = true;
        Recurse = true;
    }
}

void TVCLZip::SetStorePaths(bool value) {
    storePaths_ = value;
    if (!value)
        relativePaths_ = false;
}

int TVCLZip::WriteArchive() {
    // The list is emptied however the write ends.
    struct ClearOnExit {
        std::vector<std::string>& list;
        ~ClearOnExit() { list.clear(); }
    } clear{FilesList};

    const std::string name = ZipName.string();
    if (name.find_first_not_of(" \t") == std::string::npos)
        return 0;

    std::uint64_t total = 0;
    std::vector<std::string> files = FilesList;
    if (!files.empty()) {
        GatherSettings settings;
        settings.rootDir = rootDir_;
        settings.recurse = Recurse;
        settings.excludeList = ExcludeList;
        settings.zipName = ZipName;
        GatherFiles(files, settings, total);
    }
    ArchiveWriter writer(*this, std::move(files), total);
    return writer.Write();
}

}  // namespace vellumark::zip
