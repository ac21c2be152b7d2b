#pragma once
// An IniCollection whose items are all of one type, with typed access and
// enumerators.
#include "ini/ini_collection.h"
#include "ini/ini_enumerator.h"

namespace kq {

template <typename Item>
class IniTypedCollection : public IniCollection {
 public:
  Item* At(size_t position) const { return static_cast<Item*>(ItemAt(position)); }
  Item* Find(const std::string& name) const { return static_cast<Item*>(FindItem(name)); }
  // Starts on the first item.
  IniEnumerator<Item> CreateEnumerator() const { return IniEnumerator<Item>(this); }
};

}  // namespace kq
