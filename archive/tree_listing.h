// A folder tree as the size walk before adding listed it, so that adding it
// (and reading it ahead) replays that walk instead of listing every folder and
// asking every entry's status again.
//
// Entries are kept in walk order (a folder is followed by its subtree), every
// entry the lister gave except "." and "..", links to folders, FIFOs and
// devices included, so that a replay meets the same entries, with the same
// names, attributes and sizes, in the same order as a walk listing the folders
// again. Compact: per entry 24 bytes plus its name (no path), the names in one
// buffer; the path of an entry is its folder's path joined with its name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text.h"

namespace arc {

class TreeListing {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  // Starts a new listing of a tree, dropping any earlier one.
  void Begin();
  // Appends an entry of the folder being listed; its index, or kNone once the
  // listing was abandoned (this append could not be stored either).
  size_t Add(plat::StringView16 name, uint32_t attributes, uint64_t size);
  // Ends the subtree of the folder at `index` (an Add's result): the entries
  // added since belong to it. kNone is ignored.
  void EndFolder(size_t index);
  // The walk could not list the whole tree (a folder too deep, a path too
  // long, short of memory): the listing is dropped and never replayed.
  void Abandon();
  // Whether Begin was called and the tree was listed in full since.
  bool Usable() const { return begun_ && !abandoned_; }

  size_t Count() const { return entries_.size(); }
  plat::StringView16 Name(size_t index) const;
  uint32_t Attributes(size_t index) const { return entries_[index].attributes; }
  uint64_t Size(size_t index) const { return entries_[index].size; }
  // The index past the entry's subtree (index + 1 for anything but a folder):
  // the next entry of the same folder.
  size_t Next(size_t index) const { return entries_[index].end; }

 private:
  struct Entry {
    uint64_t size = 0;
    uint32_t attributes = 0;
    uint32_t nameEnd = 0;  // the name is names_[previous entry's nameEnd, nameEnd)
    uint32_t end = 0;      // see Next
  };
  std::vector<Entry> entries_;
  std::u16string names_;
  bool begun_ = false;
  bool abandoned_ = false;
};

}  // namespace arc
