#pragma once
// A main window with scripted dialogs and its own copy of the container files.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "FakeDialogs.h"
#include "TestTiff.h"
#include "app/TForm1.h"

namespace vellumark::app::testing {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        installed_ = temp_.Path() / "epubfiles";
        std::filesystem::copy(VELLUMARK_TEST_EPUBFILES, installed_,
                              std::filesystem::copy_options::recursive);
        log_ = std::make_shared<DialogLog>();
        TForm1Options options;
        options.dialogs = std::make_unique<FakeDialogs>(log_);
        options.installedContainer = installed_;
        options.textReader = textReader_;
        form_ = std::make_unique<TForm1>(std::move(options));
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    }

    template <typename T>
    T* Child(const char* name) const {
        T* child = form_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // A scan of `pages` pages of 96 dpi, each a different size so they can be told apart.
    std::filesystem::path WriteScan(const std::string& name, int pages) const {
        std::vector<vellumark::testing::TestPage> description;
        for (int i = 0; i < pages; ++i) {
            vellumark::testing::TestPage page;
            page.width = 120 + 20 * i;
            page.height = 160;
            page.xResolution = page.yResolution = 96;
            description.push_back(page);
        }
        const std::filesystem::path path = temp_.Path() / name;
        vellumark::testing::WriteTestTiff(path, description);
        return path;
    }

    // Opens the file and waits until every thumbnail is made.
    void OpenAndWait(const std::filesystem::path& path) {
        QSignalSpy built(form_.get(), &TForm1::PageListBuilt);
        ASSERT_TRUE(form_->OpenPath(QString::fromStdString(path.string())));
        if (built.isEmpty()) {
            ASSERT_TRUE(built.wait(30000));
        }
    }

    vellumark::testing::TempFolder temp_;
    std::filesystem::path installed_;
    imaging::TextLayer::Reader textReader_;  // set before SetUp; empty: the window's own
    std::shared_ptr<DialogLog> log_;
    std::unique_ptr<TForm1> form_;
};

}  // namespace vellumark::app::testing
