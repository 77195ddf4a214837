#pragma once
// A document made in memory for the conversion tests: pages of a given size painted with a
// colour per page, optional failures, and a record of how many pages were rendered at once.

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "common/Error.h"
#include "epub/ConversionJob.h"
#include "imaging/PageSource.h"

namespace vellumark::epub::testing {

class FakePages final : public imaging::PageSource {
public:
    explicit FakePages(int pages, int width = 40, int height = 56)
        : pages_(pages), width_(width), height_(height) {}

    void FailOn(int page) { failing_.insert(page); }
    // The page throws what some libraries throw: no std::exception.
    void ThrowForeignOn(int page) { foreign_ = page; }
    // Keeps each page busy a moment so that pages overlap on several threads.
    void SlowDown() { slow_ = true; }
    int MostAtOnce() const { return mostAtOnce_.load(); }

    int PageCount() const override { return pages_; }
    imaging::PageShape Shape(int) const override { return {width_, height_}; }
    imaging::Picture PagePicture(int page) const override {
        return PagePicture(page, width_, height_);
    }
    imaging::Picture PagePicture(int page, int width, int height) const override {
        const int now = ++inFlight_;
        for (int most = mostAtOnce_.load();
             now > most && !mostAtOnce_.compare_exchange_weak(most, now);) {
        }
        struct Leave {
            std::atomic<int>& count;
            ~Leave() { --count; }
        } leave{inFlight_};
        if (slow_)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (page == foreign_)
            throw page;
        if (failing_.contains(page)) {
            throw Error(ErrorCode::BadInput, "page " + std::to_string(page + 1) + " is damaged",
                        "fake.tif", page);
        }
        imaging::Picture picture{width, height, {}};
        picture.samples.resize(static_cast<std::size_t>(width) * height * 3);
        for (std::size_t i = 0; i < picture.samples.size(); ++i) {
            picture.samples[i] = static_cast<std::uint8_t>((i * 7 + page * 40) % 256);
        }
        return picture;
    }

private:
    int pages_;
    int width_;
    int height_;
    std::set<int> failing_;
    int foreign_ = -1;
    bool slow_ = false;
    mutable std::atomic<int> inFlight_{0};
    mutable std::atomic<int> mostAtOnce_{0};
};

// Records what a conversion reports; answers the overwrite question as told.
class RecordingReporter final : public ConversionReporter {
public:
    bool overwrite = false;
    int cancelAfterPages = -1;  // CancelRequested turns true once this many pages are done
    std::vector<std::string> notes;
    std::vector<std::string> statuses;
    int overwriteQuestions = 0;
    int lastDone = -1;
    int lastTotal = -1;
    std::thread::id callerThread = std::this_thread::get_id();
    bool calledFromOtherThread = false;

    void Note(const std::string& text) override {
        Check();
        notes.push_back(text);
    }
    bool ConfirmOverwrite(const std::filesystem::path&) override {
        Check();
        ++overwriteQuestions;
        return overwrite;
    }
    void Status(const std::string& text) override {
        Check();
        statuses.push_back(text);
    }
    void Progress(int done, int total) override {
        Check();
        lastDone = done;
        lastTotal = total;
    }
    bool CancelRequested() override {
        Check();
        return cancelAfterPages >= 0 && lastDone >= cancelAfterPages;
    }

private:
    void Check() {
        if (std::this_thread::get_id() != callerThread)
            calledFromOtherThread = true;
    }
};

}  // namespace vellumark::epub::testing
