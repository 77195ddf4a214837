#include "imaging/pages/FaxImage.h"

#include <optional>
#include <vector>

#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/Resampler.h"
#include "imaging/TiffHandle.h"

namespace vellumark::imaging {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A little-endian TIFF of one strip holding `data`, so that libtiff's fax decoder reads it.
std::vector<std::uint8_t> WrapInTiff(std::span<const std::uint8_t> data, const FaxCoding& coding) {
    struct Entry {
        std::uint16_t tag, type;  // type 3: SHORT, 4: LONG
        std::uint32_t value;
    };
    const bool group4 = coding.k < 0;
    const std::uint32_t t4Options = (coding.k > 0 ? 1u : 0u) | (coding.byteAligned ? 4u : 0u);
    const std::vector<Entry> entries = {
        {256, 4, static_cast<std::uint32_t>(coding.columns)},
        {257, 4, static_cast<std::uint32_t>(coding.rows)},
        {258, 3, 1},
        {259, 3, group4 ? 4u : 3u},
        {262, 3, 0},  // white is zero: the decoder's own sense, black runs set
        {273, 4, 0},  // the strip's offset, set below
        {277, 3, 1},
        {278, 4, static_cast<std::uint32_t>(coding.rows)},
        {279, 4, static_cast<std::uint32_t>(data.size())},
        {group4 ? std::uint16_t{293} : std::uint16_t{292}, 4, group4 ? 0u : t4Options},
    };
    const std::uint32_t stripOffset = 8 + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0};
    tiff.reserve(stripOffset + data.size());
    Put32(tiff, 8);
    Put16(tiff, static_cast<std::uint32_t>(entries.size()));
    for (const Entry& entry : entries) {
        Put16(tiff, entry.tag);
        Put16(tiff, entry.type);
        Put32(tiff, 1);
        const std::uint32_t value = entry.tag == 273 ? stripOffset : entry.value;
        if (entry.type == 3) {
            Put16(tiff, value);
            Put16(tiff, 0);
        } else {
            Put32(tiff, value);
        }
    }
    Put32(tiff, 0);
    tiff.insert(tiff.end(), data.begin(), data.end());
    return tiff;
}

// Hands each decoded row of packed bits to `add`, top to bottom.
template <typename AddRow>
void ReadFaxRows(std::span<const std::uint8_t> data, const FaxCoding& coding,
                 const std::string& name, AddRow&& add) {
    if (coding.columns < 1 || coding.rows < 1)
        throw Error(ErrorCode::BadInput, name + ": damaged fax image (no size)");
    if (std::uint64_t(coding.columns) * std::uint64_t(coding.rows) > kMaxPagePixels)
        throw Error(ErrorCode::TooLarge,
                    name + ": the image has more pixels than any scanned page (" +
                        std::to_string(coding.columns) + " x " + std::to_string(coding.rows) + ")");
    if (coding.k < 0 && coding.byteAligned)
        throw Error(ErrorCode::Unsupported, name + ": byte-aligned Group 4 fax image");

    TiffHandle tiff(std::make_shared<MemorySource>(WrapInTiff(data, coding)), name, "r", false);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(coding.columns + 7) / 8);
    for (int y = 0; y < coding.rows; ++y) {
        if (TIFFReadScanline(tiff.Get(), row.data(), static_cast<std::uint32_t>(y), 0) < 0 ||
            tiff.Messages().HasErrors())
            throw Error(ErrorCode::BadInput,
                        name + ": damaged fax image (" + tiff.Messages().Text() + ")");
        add(y, row.data());
    }
}

}  // namespace

Picture DecodeFaxImage(std::span<const std::uint8_t> data, const FaxCoding& coding, int width,
                       int height, const std::string& name) {
    if (width < 1 || height < 1)
        throw Error(ErrorCode::Internal, "cannot make an empty picture");
    std::optional<Resampler> resampler;  // made once the coding's size has passed the checks
    ReadFaxRows(data, coding, name, [&](int y, const std::uint8_t* row) {
        if (y == 0)
            resampler.emplace(coding.columns, coding.rows, width, height, 1);
        resampler->AddBitsRow(row, coding.oneIsBlack);
    });
    return resampler->Finish();
}

BitPicture DecodeFaxBits(std::span<const std::uint8_t> data, const FaxCoding& coding,
                         const std::string& name) {
    BitPicture bits;
    ReadFaxRows(data, coding, name, [&](int y, const std::uint8_t* row) {
        if (y == 0)
            bits = BitPicture(coding.columns, coding.rows);
        SetBitsRow(bits, y, row, coding.oneIsBlack);
    });
    return bits;
}

}  // namespace vellumark::imaging
