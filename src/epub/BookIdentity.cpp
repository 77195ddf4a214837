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

}  // namespace vellumark::epub
