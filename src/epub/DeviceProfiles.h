#pragma once
// Screens a book's pages can be made for: a small table of reading devices by their screen
// pixels, any size given as WxH, and the rule that fits a page to a screen.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace vellumark::epub {

// A screen's size in pixels, portrait.
struct PageBox {
    int width = 0;
    int height = 0;
};

struct DeviceProfile {
    std::string_view name;    // "kobo-libra"
    PageBox screen;           // 1264 x 1680
    std::string_view device;  // "Kobo Libra 2 and Libra Colour"
};

std::span<const DeviceProfile> DeviceProfiles();
// The profile of that name, or null.
const DeviceProfile* FindDeviceProfile(std::string_view name);

// "1264x1680" (or with "X"), each side 1 to 20000; none for anything else.
std::optional<PageBox> ParsePageSize(std::string_view text);

// The size a page of width x height pixels is made at to fit `box` with its shape kept: as large
// as fits, each side within one pixel of the exact scale, at least 1; never larger than the page
// itself, since enlarging a scan adds bytes and no detail.
std::pair<int, int> FitPage(int width, int height, PageBox box);

// The table as `vellumark convert --profile list` prints it: a line per profile.
std::string DeviceProfileTable();

}  // namespace vellumark::epub
