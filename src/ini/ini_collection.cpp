#include "ini/ini_collection.h"

#include <algorithm>

namespace kq {

void IniItem::IndexNameChanged(const std::string* oldName) {
  if (owner_ == nullptr) return;
  if (oldName != nullptr) owner_->Reindex(*oldName);
  std::string name;
  if (GetIndexName(name)) owner_->Reindex(name);
}

IniCollection::~IniCollection() { RemoveAll(); }

IniItem* IniCollection::ItemAt(size_t position) const {
  return position < items_.size() ? items_[position].get() : nullptr;
}

IniItem* IniCollection::FindItem(const std::string& name) const {
  auto found = index_.find(name);
  return found == index_.end() ? nullptr : found->second;
}

IniItem* IniCollection::Append(std::unique_ptr<IniItem> item) {
  if (!item) return nullptr;
  IniItem* added = item.get();
  items_.push_back(std::move(item));
  std::string name;
  try {
    if (added->GetIndexName(name)) index_.emplace(std::move(name), added);  // keeps an earlier entry
  } catch (...) {
    items_.pop_back();  // out of memory: leave the collection as it was
    throw;
  }
  added->owner_ = this;
  return added;
}

bool IniCollection::RemoveAt(size_t position) {
  if (position >= items_.size()) return false;
  std::unique_ptr<IniItem> removed = std::move(items_[position]);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position));
  std::string name;
  if (removed->GetIndexName(name)) {
    auto found = index_.find(name);
    if (found != index_.end() && found->second == removed.get()) Reindex(name);
  }
  return true;
}

bool IniCollection::Remove(const IniItem* item) {
  auto found = std::find_if(items_.begin(), items_.end(),
                            [item](const std::unique_ptr<IniItem>& each) { return each.get() == item; });
  if (found == items_.end()) return false;
  return RemoveAt(static_cast<size_t>(found - items_.begin()));
}

void IniCollection::RemoveAll() {
  index_.clear();
  items_.clear();
}

void IniCollection::Reindex(const std::string& name) {
  std::string each;
  for (const auto& item : items_) {
    if (item->GetIndexName(each) && each == name) {
      index_[name] = item.get();
      return;
    }
  }
  index_.erase(name);
}

}  // namespace kq
