// The update plan on its own: which old entries stay, which give way to newer files, which files
// are added, and the names files are stored under.

#include <gtest/gtest.h>

#include "ZipTestSupport.h"
#include "zip/UpdatePlan.h"
#include "zip/ZipRecords.h"

using namespace ziptest;
using vellumark::zip::DosDateTime;
using vellumark::zip::NameRule;
using vellumark::zip::OldArchive;
using vellumark::zip::OldEntry;
using vellumark::zip::PlanUpdate;
using vellumark::zip::StoredName;
using vellumark::zip::WriteStep;

namespace {

OldEntry Entry(const std::string& name, std::uint32_t dosStamp) {
    OldEntry entry;
    entry.info.SetStoredName(name);
    entry.info.dosDateTime = dosStamp;
    return entry;
}

// "keep NAME", "replace NAME with FILE" or "add FILE" for each step.
std::vector<std::string> Describe(const std::vector<WriteStep>& steps,
                                  const std::vector<std::string>& files) {
    std::vector<std::string> lines;
    for (const WriteStep& step : steps) {
        if (step.old) {
            lines.push_back("keep " + step.old->info.StoredName());
        } else if (step.replaces) {
            lines.push_back("replace " + step.replaces->info.StoredName() + " with " +
                            fs::path(files[step.file]).filename().string());
        } else {
            lines.push_back("add " + fs::path(files[step.file]).filename().string());
        }
    }
    return lines;
}

TEST(UpdatePlanTest, StoredNamesFollowTheRootAndDropWhatCouldEscapeIt) {
    const NameRule relative{true, true, "/work/book/"};
    EXPECT_EQ(StoredName("/work/book/OEBPS/1.jpg", relative), "OEBPS/1.jpg");
    EXPECT_EQ(StoredName("/WORK/Book/mimetype", relative), "mimetype");  // ASCII case folded
    EXPECT_EQ(StoredName("/elsewhere/../x/./y//z.txt", relative), "elsewhere/x/y/z.txt");
    const NameRule flat{false, false, "/work/book/"};
    EXPECT_EQ(StoredName("/work/book/OEBPS/1.jpg", flat), "1.jpg");
    const NameRule absolute{true, false, "/work/book/"};
    EXPECT_EQ(StoredName("/work/book/OEBPS/1.jpg", absolute), "work/book/OEBPS/1.jpg");
    EXPECT_EQ(StoredName("plain.txt", relative), "plain.txt");
}

TEST(UpdatePlanTest, OldEntriesKeepTheirPlacesAndNewerFilesReplaceThem) {
    TempDir dir;
    const NameRule rule{true, true, dir.Path().string() + "/"};
    const auto file = [&](const std::string& name, std::time_t when) {
        WriteFile(dir / name, "x");
        SetMtime(dir / name, when);
        return (dir / name).string();
    };
    const std::time_t jan = LocalTime(2020, 1, 10);
    const std::time_t jun = LocalTime(2020, 6, 10);
    OldArchive old;
    old.entries = {Entry("a.txt", DosDateTime(jan)), Entry("B.TXT", DosDateTime(jan)),
                   Entry("c.txt", DosDateTime(jun)), Entry("gone.txt", DosDateTime(jan)),
                   Entry("old.txt", 0xFFFFFFFF),     Entry("a.txt", DosDateTime(jan))};
    const std::vector<std::string> files = {
        file("new.txt", jun),
        file("b.txt", jun),    // newer: replaces B.TXT, whatever the letter case
        file("a.txt", jan),    // as old as its entry: the entry stays
        file("c.txt", jan),    // older than its entry: the entry stays
        file("old.txt", jan),  // any stamp beats one before 1980
        (dir / "vanished.txt").string(),
    };
    EXPECT_EQ(Describe(PlanUpdate(old, files, rule), files),
              (std::vector<std::string>{"keep a.txt", "replace B.TXT with b.txt", "keep c.txt",
                                        "keep gone.txt", "replace old.txt with old.txt",
                                        "keep a.txt",  // a second entry of one name stays
                                        "add new.txt", "add vanished.txt"}));
}

TEST(UpdatePlanTest, AFileThatCannotBeLookedAtKeepsItsEntry) {
    TempDir dir;
    const NameRule rule{true, true, dir.Path().string() + "/"};
    OldArchive old;
    old.entries = {Entry("missing.txt", DosDateTime(LocalTime(1999, 1, 1)))};
    const std::vector<std::string> files = {(dir / "missing.txt").string()};
    EXPECT_EQ(Describe(PlanUpdate(old, files, rule), files),
              std::vector<std::string>{"keep missing.txt"});
    EXPECT_TRUE(Describe(PlanUpdate(OldArchive{}, {}, rule), {}).empty());
}

}  // namespace
