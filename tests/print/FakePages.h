#pragma once
// A page source for print tests: page i is a solid colour, optionally failing on one page.

#include <QColor>
#include <atomic>
#include <optional>
#include <string>

#include "common/Error.h"
#include "imaging/PageSource.h"

namespace vellumark::print::testing {

inline QColor PageColour(int page) {
    return QColor::fromHsv((page * 47) % 360, 200, 180);
}

class FakePages final : public imaging::PageSource {
public:
    FakePages(int count, int width, int height, std::optional<int> failing = std::nullopt)
        : count_(count), width_(width), height_(height), failing_(failing) {}

    int PageCount() const override { return count_; }

    imaging::Picture PagePicture(int page) const override {
        ++fetches_;
        if (page < 0 || page >= count_ || (failing_ && *failing_ == page)) {
            throw Error(ErrorCode::BadInput, "page " + std::to_string(page + 1) + " is damaged",
                        "fake.tif", page);
        }
        imaging::Picture picture;
        picture.width = width_;
        picture.height = height_;
        picture.samples.resize(static_cast<std::size_t>(width_) * height_ * 3);
        const QColor colour = PageColour(page);
        for (std::size_t i = 0; i < picture.samples.size(); i += 3) {
            picture.samples[i] = static_cast<std::uint8_t>(colour.red());
            picture.samples[i + 1] = static_cast<std::uint8_t>(colour.green());
            picture.samples[i + 2] = static_cast<std::uint8_t>(colour.blue());
        }
        return picture;
    }

    imaging::PageShape Shape(int) const override { return {width_, height_}; }
    imaging::Picture PagePicture(int page, int, int) const override { return PagePicture(page); }

    int Fetches() const { return fetches_; }

private:
    int count_, width_, height_;
    std::optional<int> failing_;
    mutable std::atomic<int> fetches_{0};
};

}  // namespace vellumark::print::testing
