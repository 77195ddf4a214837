#include "epub/DeviceProfiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vellumark::epub {
namespace {

constexpr DeviceProfile kProfiles[] = {
    {"kobo-clara", {1072, 1448}, "Kobo Clara HD, Clara 2E and Clara BW"},
    {"kobo-libra", {1264, 1680}, "Kobo Libra 2 and Libra Colour"},
    {"kindle-paperwhite", {1236, 1648}, "Kindle Paperwhite (11th and 12th generation)"},
    {"kindle-scribe", {1860, 2480}, "Kindle Scribe"},
    {"remarkable", {1404, 1872}, "reMarkable 2"},
    {"tablet", {1640, 2360}, "a 10 to 11 inch tablet (iPad Air and the like)"},
};

constexpr int kMaxSide = 20000;

}  // namespace

std::span<const DeviceProfile> DeviceProfiles() {
    return kProfiles;
}

const DeviceProfile* FindDeviceProfile(std::string_view name) {
    const auto it = std::find_if(std::begin(kProfiles), std::end(kProfiles),
                                 [&](const DeviceProfile& p) { return p.name == name; });
    return it == std::end(kProfiles) ? nullptr : it;
}

std::optional<PageBox> ParsePageSize(std::string_view text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    PageBox box;
    const auto side = [](std::string_view digits, int& value) {
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return ec == std::errc() && end == digits.data() + digits.size() && value >= 1 &&
               value <= kMaxSide;
    };
    if (!side(text.substr(0, x), box.width) || !side(text.substr(x + 1), box.height))
        return std::nullopt;
    return box;
}

std::pair<int, int> FitPage(int width, int height, PageBox box) {
    if (width < 1 || height < 1 || box.width < 1 || box.height < 1)
        return {std::max(width, 1), std::max(height, 1)};
    const double scale = std::min(
        {1.0, static_cast<double>(box.width) / width, static_cast<double>(box.height) / height});
    // The side that meets the box is exact; the other is rounded and kept within the box.
    const int w = std::clamp(static_cast<int>(std::lround(width * scale)), 1, box.width);
    const int h = std::clamp(static_cast<int>(std::lround(height * scale)), 1, box.height);
    return {w, h};
}

std::string DeviceProfileTable() {
    std::string table;
    for (const DeviceProfile& profile : kProfiles) {
        std::string line = std::string(profile.name);
        line.resize(20, ' ');
        std::string size =
            std::to_string(profile.screen.width) + " x " + std::to_string(profile.screen.height);
        size.resize(13, ' ');
        table += line + size + std::string(profile.device) + "\n";
    }
    return table;
}

}  // namespace vellumark::epub
