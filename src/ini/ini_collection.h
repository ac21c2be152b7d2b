#pragma once
// The ordered, name-indexed storage behind the sections of a document and
// the lines of a section. The collection owns its items; the order is the
// order of insertion, and the index maps a name to the first item in that
// order that carries it. Items that carry no name are in the order only.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kq {

class IniCollection;

class IniItem {
 public:
  virtual ~IniItem() = default;
  IniItem(const IniItem&) = delete;
  IniItem& operator=(const IniItem&) = delete;

  // The name the item is indexed under; false when it is not indexed.
  virtual bool GetIndexName(std::string& name) const = 0;

 protected:
  IniItem() = default;
  // To be called by a derived setter after it changed what GetIndexName
  // gives; `oldName` is the name indexed before, null when there was none.
  void IndexNameChanged(const std::string* oldName);

 private:
  friend class IniCollection;
  IniCollection* owner_ = nullptr;
};

class IniCollection {
 public:
  IniCollection() = default;
  ~IniCollection();
  IniCollection(const IniCollection&) = delete;
  IniCollection& operator=(const IniCollection&) = delete;

  size_t GetCount() const { return items_.size(); }
  IniItem* ItemAt(size_t position) const;
  // Exact, case-sensitive match; null when absent.
  IniItem* FindItem(const std::string& name) const;

  // Appends; the item joins the index only when no earlier item has its name.
  IniItem* Append(std::unique_ptr<IniItem> item);
  bool RemoveAt(size_t position);
  bool Remove(const IniItem* item);
  void RemoveAll();

 private:
  friend class IniItem;
  // Points the index entry for `name` at the first item in order with that
  // name, or drops it. Used after a removal or a rename, not on append.
  void Reindex(const std::string& name);

  std::vector<std::unique_ptr<IniItem>> items_;
  // A tree, not a hash table: the program links std::map anyway, and the
  // hash table's code and prime list cost SETUP.EXE 2 KB. A lookup among
  // the 3,000 sections of the INI benchmark takes a dozen comparisons.
  std::map<std::string, IniItem*> index_;
};

}  // namespace kq
