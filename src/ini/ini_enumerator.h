#pragma once
// A cursor over the order of a collection. Items are handed out as plain
// pointers, valid until the collection next changes; the cursor itself stays
// safe across changes (it is a position, checked on every step).
#include <cstddef>

#include "ini/ini_collection.h"

namespace kq {

template <typename Item>
class IniEnumerator {
 public:
  // An enumerator without a list: Reset and Next fail.
  IniEnumerator() = default;
  explicit IniEnumerator(const IniCollection* collection) : collection_(collection) {}

  bool HasList() const { return collection_ != nullptr; }

  bool Reset() {
    if (collection_ == nullptr) return false;
    cursor_ = 0;
    return true;
  }

  // Copies up to `count` item pointers into `items` and moves past them;
  // `fetched` (may be null) receives how many. False without a list or
  // without an output array.
  bool Next(size_t count, Item** items, size_t* fetched) {
    if (fetched != nullptr) *fetched = 0;
    if (collection_ == nullptr || (items == nullptr && count > 0)) return false;
    size_t taken = 0;
    while (taken < count && cursor_ < collection_->GetCount())
      items[taken++] = static_cast<Item*>(collection_->ItemAt(cursor_++));
    if (fetched != nullptr) *fetched = taken;
    return true;
  }

 private:
  const IniCollection* collection_ = nullptr;
  size_t cursor_ = 0;
};

}  // namespace kq
