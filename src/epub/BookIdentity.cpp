#include "epub/BookIdentity.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>

namespace vellumark::epub {

BookIdentity FreshIdentity() {
    std::random_device device;
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t word = device();
        for (std::size_t k = 0; k < 4; ++k)
            bytes[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

    char uuid[37];
    std::snprintf(uuid, sizeof uuid,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char modified[32];
    std::strftime(modified, sizeof modified, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return {uuid, date, modified};
}

std::time_t BookTime(const BookIdentity& identity) {
    std::tm utc{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(identity.modified.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ", &year, &month, &day,
                    &hour, &minute, &second) != 6 &&
        std::sscanf(identity.date.c_str(), "%4d-%2d-%2d", &year, &month, &day) != 3) {
        return 0;
    }
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t moment = ::timegm(&utc);
    return moment == static_cast<std::time_t>(-1) ? 0 : moment;
}

}  // namespace vellumark::epub
