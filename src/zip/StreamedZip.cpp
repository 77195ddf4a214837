#include "zip/StreamedZip.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <future>
#include <optional>

#include "common/Error.h"
#include "zip/ArchiveFile.h"
#include "zip/Deflate.h"
#include "zip/ZipRecords.h"

namespace vellumark::zip {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

// An entry given but not yet written: its pieces are being compressed.
struct PendingEntry {
    std::unique_ptr<TZipHeaderInfo> record;
    std::shared_ptr<const Bytes> data;
    bool store = false;
    std::vector<std::future<PieceResult>> pieces;
    std::size_t cost = 0;  // its bytes and, at most, as much output

    bool Ready() const {
        return std::all_of(pieces.begin(), pieces.end(), [](const auto& piece) {
            return piece.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
    }
};

// A compressor per worker thread and level, made once: compressor memory is not allocated per
// piece.
Deflater& ThreadDeflater(int level) {
    thread_local std::array<std::unique_ptr<Deflater>, 10> deflaters;
    std::unique_ptr<Deflater>& deflater = deflaters[static_cast<std::size_t>(level)];
    if (!deflater)
        deflater = std::make_unique<Deflater>(level);
    return *deflater;
}

std::unique_ptr<ByteDevice> DeviceFor(const TempFile& temp, const fs::path& target,
                                      const StreamedZipOptions& options) {
    std::unique_ptr<ByteDevice> device = std::make_unique<FdDevice>(temp.Fd(), target);
    if (options.wrapDevice)
        device = options.wrapDevice(std::move(device));
    return device;
}

}  // namespace

struct StreamedZip::State {
    State(fs::path targetPath, StreamedZipOptions opts)
        : target(std::move(targetPath)),
          options(std::move(opts)),
          level(std::clamp(options.level, 0, 9)),
          dosTime(DosDateTime(options.time)),
          temp(CreateTempBeside(target)),
          file(DeviceFor(temp, target, options), target),
          sink(file, target) {
        scheduler =
            options.scheduler != nullptr ? options.scheduler : &ownScheduler.emplace(options.jobs);
    }

    void Add(std::string name, std::shared_ptr<const Bytes> data, EntryMethod method);
    void WriteFront();
    void Commit(bool replace);

    fs::path target;
    StreamedZipOptions options;
    int level;
    std::uint32_t dosTime;
    TempFile temp;
    FileSink file;
    LimitSink sink;
    std::vector<std::unique_ptr<TZipHeaderInfo>> written;
    std::size_t entries = 0;
    std::size_t inFlight = 0;
    bool failed = false;
    bool committed = false;
    std::deque<PendingEntry> pending;
    Scheduler* scheduler = nullptr;
    // Last, so that it finishes first; its tasks own what they use.
    std::optional<Scheduler> ownScheduler;
};

void StreamedZip::State::Add(std::string name, std::shared_ptr<const Bytes> data,
                             EntryMethod method) {
    if (name.empty())
        throw Error(ErrorCode::Usage, "An archive entry needs a name", target);
    if (++entries > kMaxEntries) {
        throw Error(ErrorCode::TooLarge,
                    "More than 65,535 files, more than the ZIP format written allows", target);
    }
    if (data->size() >= kMaxArchiveBytes) {
        throw Error(ErrorCode::TooLarge,
                    "File of 4 GiB or more, more than the ZIP format written allows", name);
    }
    PendingEntry entry;
    entry.record = std::make_unique<TZipHeaderInfo>();
    TZipHeaderInfo& record = *entry.record;
    record.SetStoredName(name);
    (void)LocalHeaderBytes(record);  // refuses a name too long before any work is done
    record.externalAttributes = kAttrArchive;
    if (!record.fileName.empty() && record.fileName[0] == '.')
        record.externalAttributes |= kAttrHidden;
    record.dosDateTime = dosTime;
    record.uncompressedSize = static_cast<std::uint32_t>(data->size());
    entry.data = data;
    entry.store = level == 0 || method == EntryMethod::Stored;
    entry.cost = 2 * data->size() + 1;

    const std::size_t size = data->size();
    const std::size_t count = size == 0 ? 1 : (size + kPieceSize - 1) / kPieceSize;
    const int pieceLevel = level;
    for (std::size_t piece = 0; piece < count; ++piece) {
        const std::size_t offset = piece * kPieceSize;
        const std::size_t length = std::min(kPieceSize, size - offset);
        const bool first = piece == 0;
        const bool last = piece + 1 == count;
        const bool store = entry.store;
        auto task = std::make_shared<std::packaged_task<PieceResult()>>([=] {
            return CompressPiece(ThreadDeflater(pieceLevel), data->data() + offset, length, first,
                                 last, store);
        });
        entry.pieces.push_back(task->get_future());
        scheduler->Post([task] { (*task)(); });
    }
    inFlight += entry.cost;
    pending.push_back(std::move(entry));
    // Entries already compressed go out now; beyond the budget the oldest are waited for.
    while (!pending.empty() &&
           (pending.front().Ready() || (inFlight > options.bytesInFlight && pending.size() > 1)))
        WriteFront();
}

void StreamedZip::State::WriteFront() {
    PendingEntry entry = std::move(pending.front());
    pending.pop_front();
    inFlight -= entry.cost;
    std::vector<PieceResult> pieces;
    pieces.reserve(entry.pieces.size());
    for (auto& piece : entry.pieces)
        pieces.push_back(piece.get());

    TZipHeaderInfo& record = *entry.record;
    const bool mayFallBack = !entry.store && entry.data->size() <= kStoredFallbackLimit;
    const Bytes& firstBytes =
        StartEntry(record, pieces.front(), entry.store, mayFallBack ? entry.data.get() : nullptr,
                   entry.data->size(), level);
    std::uint32_t crc = pieces.front().crc;
    std::uint64_t compressed = firstBytes.size();
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        crc = Crc32Combine(crc, pieces[i].crc, pieces[i].size);
        compressed += pieces[i].data.size();
    }
    if (compressed >= kMaxArchiveBytes) {
        throw Error(ErrorCode::TooLarge,
                    "Archive would reach 4 GiB, more than the ZIP format written allows", target);
    }
    record.crc = crc;
    record.compressedSize = static_cast<std::uint32_t>(compressed);
    record.localHeaderOffset = static_cast<std::uint32_t>(sink.Position());
    const Bytes header = LocalHeaderBytes(record);
    sink.Write(header.data(), header.size());
    sink.Write(firstBytes.data(), firstBytes.size());
    for (std::size_t i = 1; i < pieces.size(); ++i)
        sink.Write(pieces[i].data.data(), pieces[i].data.size());
    written.push_back(std::move(entry.record));
}

void StreamedZip::State::Commit(bool replace) {
    while (!pending.empty())
        WriteFront();
    std::vector<const TZipHeaderInfo*> records;
    records.reserve(written.size());
    for (const auto& record : written)
        records.push_back(record.get());
    FinishArchive(sink, records, {}, temp.Fd(), target);
    CommitTemp(temp, target, replace);
    committed = true;
}

StreamedZip::StreamedZip(fs::path target, StreamedZipOptions options)
    : state_(std::make_unique<State>(std::move(target), std::move(options))) {}

StreamedZip::~StreamedZip() = default;

void StreamedZip::Add(std::string name, std::vector<std::uint8_t> bytes, EntryMethod method) {
    if (state_->failed || state_->committed)
        throw Error(ErrorCode::Internal, "The archive takes no more entries", state_->target);
    try {
        state_->Add(std::move(name), std::make_shared<const Bytes>(std::move(bytes)), method);
    } catch (...) {
        state_->failed = true;
        throw;
    }
}

void StreamedZip::Add(std::string name, std::string_view bytes, EntryMethod method) {
    Add(std::move(name), Bytes(bytes.begin(), bytes.end()), method);
}

void StreamedZip::Commit(bool replace) {
    if (state_->failed || state_->committed)
        throw Error(ErrorCode::Internal, "The archive cannot be committed", state_->target);
    try {
        state_->Commit(replace);
    } catch (...) {
        state_->failed = true;
        throw;
    }
}

fs::path StreamedZip::TemporaryPath() const {
    return state_->temp.Path();
}

}  // namespace vellumark::zip
