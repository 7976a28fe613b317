// The listing of a folder tree made before adding it (see tree_listing.h).
#include "archive/tree_listing.h"

#include <new>

namespace arc {

namespace {
// Names and indexes are kept in 32 bits; a tree past that is walked live.
constexpr size_t kLimit = UINT32_MAX;
}  // namespace

void TreeListing::Begin() {
  std::vector<Entry>().swap(entries_);
  std::u16string().swap(names_);
  begun_ = true;
  abandoned_ = false;
}

size_t TreeListing::Add(plat::StringView16 name, uint32_t attributes, uint64_t size) {
  if (!begun_ || abandoned_) return kNone;
  if (entries_.size() >= kLimit || name.size() > kLimit - names_.size()) {
    Abandon();
    return kNone;
  }
  try {
    names_.append(name.data(), name.size());
    const size_t index = entries_.size();
    entries_.push_back(Entry{size, attributes, static_cast<uint32_t>(names_.size()), static_cast<uint32_t>(index + 1)});
    return index;
  } catch (const std::bad_alloc&) {
    Abandon();
    return kNone;
  }
}

void TreeListing::EndFolder(size_t index) {
  if (abandoned_ || index >= entries_.size()) return;
  entries_[index].end = static_cast<uint32_t>(entries_.size());
}

void TreeListing::Abandon() {
  abandoned_ = true;
  std::vector<Entry>().swap(entries_);
  std::u16string().swap(names_);
}

plat::StringView16 TreeListing::Name(size_t index) const {
  const size_t start = index ? entries_[index - 1].nameEnd : 0;
  return plat::StringView16(names_.data() + start, entries_[index].nameEnd - start);
}

}  // namespace arc
