#pragma once
// An ordered list of entry records, kept sorted by one key and inserted into by binary search.
// The writer keeps two: a name list (ByName, borrowing its records) to find a name already in
// the archive, and a write list (ByNone: disk, then local header offset) that owns the records
// and from which the central directory is written.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zip/ZipRecords.h"

namespace vellumark::zip {

enum class TZipSortMode {
    ByName,  // folder part then file name, ASCII letter case ignored
    ByNone,  // disk number, then local header offset: the order of writing
};

class TSortedZip {
public:
    explicit TSortedZip(TZipSortMode mode) : mode_(mode) {}

    // Inserts a borrowed record; it must outlive this list or be removed first.
    void Insert(TZipHeaderInfo* record);
    // Inserts a record the list then owns.
    void Insert(std::unique_ptr<TZipHeaderInfo> record);
    // The record whose stored name equals `name` with ASCII letter case ignored (ByName only).
    TZipHeaderInfo* FindName(const std::string& name) const;

    std::size_t Count() const {
        return mode_ == TZipSortMode::ByName ? names_.size() : items_.size();
    }
    // The records in order (ByNone only).
    const std::vector<TZipHeaderInfo*>& Items() const { return items_; }

private:
    bool Less(const TZipHeaderInfo& a, const TZipHeaderInfo& b) const;

    TZipSortMode mode_;
    std::vector<TZipHeaderInfo*> items_;                 // ByNone
    std::multimap<std::string, TZipHeaderInfo*> names_;  // ByName, keyed by the folded name
    std::vector<std::unique_ptr<TZipHeaderInfo>> owned_;
};

}  // namespace vellumark::zip
