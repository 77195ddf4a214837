#include "zip/SortedZip.h"

#include <algorithm>

namespace vellumark::zip {

bool TSortedZip::Less(const TZipHeaderInfo& a, const TZipHeaderInfo& b) const {
    if (a.diskNumber != b.diskNumber)
        return a.diskNumber < b.diskNumber;
    return a.localHeaderOffset < b.localHeaderOffset;
}

void TSortedZip::Insert(TZipHeaderInfo* record) {
    if (mode_ == TZipSortMode::ByName) {
        // A multimap keeps records of equal names in insertion order.
        names_.emplace(FoldAscii(record->StoredName()), record);
        return;
    }
    const auto at = std::upper_bound(
        items_.begin(), items_.end(), record,
        [this](const TZipHeaderInfo* a, const TZipHeaderInfo* b) { return Less(*a, *b); });
    items_.insert(at, record);
}

void TSortedZip::Insert(std::unique_ptr<TZipHeaderInfo> record) {
    Insert(record.get());
    owned_.push_back(std::move(record));
}

TZipHeaderInfo* TSortedZip::FindName(const std::string& name) const {
    const std::string key = FoldAscii(name);
    const auto at = names_.lower_bound(key);  // the first of equal names
    return at == names_.end() || at->first != key ? nullptr : at->second;
}

}  // namespace vellumark::zip
