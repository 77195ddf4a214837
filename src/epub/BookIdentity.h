#pragma once
// The book's identity: what makes two conversions of the same scan different books.

#include <ctime>
#include <string>

namespace vellumark::epub {

// Injected into a conversion so that a test can build the same book twice.
struct BookIdentity {
    std::string uuid;  // e.g. "6f1c0e2a-...", written as "urn:uuid:" + uuid
    std::string date;  // YYYY-MM-DD
    // When the book was made, in UTC: YYYY-MM-DDThh:mm:ssZ (EPUB 3's dcterms:modified). Empty
    // means midnight at the start of `date`.
    std::string modified;
};

// When the book was made, as the time of its archive's entries: `modified`, else midnight UTC at
// the start of `date`; 0 when neither can be read.
std::time_t BookTime(const BookIdentity& identity);

// A random (version 4) UUID, today's local date and the time now. Thread-safe.
BookIdentity FreshIdentity();

}  // namespace vellumark::epub
