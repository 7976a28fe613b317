// The growable list: one contiguous slot array, grown and released in whole
// grow increments, with optional ownership of item blocks and an optional lock.
//
// Memory: the slot array is one block resized with realloc, so growth by a fixed
// increment stays cheap (the allocator can extend or remap the block in place).
// Item blocks made by the list functions carry a small header with their size, so
// a resize can zero the new bytes and a private heap can find its blocks. The
// "private heap" of a list is a registry of its item blocks (a circular doubly
// linked list through those headers): blocks are still plain allocations, and
// destroying the list releases every block of the registry, pending ones included.
//
// A caller may also hand an owned list a block of its own (a C runtime heap
// allocation, inserted with a negative count). Such a block has no header, so a
// process-wide set of the blocks the list functions made tells the two kinds
// apart before any header is read: a foreign block is released with free() and
// resized with realloc() (its old size is unknown, so new bytes stay as realloc
// leaves them).
//
// Every size computation is done in 64 bits and refused when it leaves the range
// of the int counts or of size_t, so no request wraps into a small allocation.
#include "runtime/zo_list.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/thread.h"
#include "runtime/zo_list_internal.h"

namespace {

// Test seam: allocations to let pass, then allocations to fail.
std::atomic<int> g_passAllocations{0};
std::atomic<int> g_failAllocations{0};

bool TakeOne(std::atomic<int>& counter) {
  int n = counter.load(std::memory_order_relaxed);
  while (n > 0) {
    if (counter.compare_exchange_weak(n, n - 1, std::memory_order_relaxed)) return true;
  }
  return false;
}

bool InjectedFailure() {
  if (g_failAllocations.load(std::memory_order_relaxed) == 0) return false;
  if (TakeOne(g_passAllocations)) return false;
  return TakeOne(g_failAllocations);
}

void* AllocZeroed(size_t bytes) {
  if (InjectedFailure()) return nullptr;
  return std::calloc(1, bytes ? bytes : 1);
}

void* Reallocate(void* block, size_t bytes) {
  if (InjectedFailure()) return nullptr;
  return std::realloc(block, bytes ? bytes : 1);
}

// Header in front of every item block. Aligned like malloc's result so the item
// that follows keeps the alignment callers expect.
struct alignas(std::max_align_t) BlockHeader {
  BlockHeader* prev;  // registry links; both null when the block is not in a registry
  BlockHeader* next;
  size_t size;        // item bytes after the header
};

// Registry of the item blocks of a list with a private heap.
struct PrivateHeap {
  BlockHeader anchor;  // circular: anchor.next is the first block, anchor.prev the last
};

BlockHeader* HeaderOf(void* item) { return static_cast<BlockHeader*>(item) - 1; }

void Link(PrivateHeap* heap, BlockHeader* h) {
  h->next = &heap->anchor;
  h->prev = heap->anchor.prev;
  heap->anchor.prev->next = h;
  heap->anchor.prev = h;
}

void Unlink(BlockHeader* h) {
  if (!h->prev) return;
  h->prev->next = h->next;
  h->next->prev = h->prev;
  h->prev = h->next = nullptr;
}

PrivateHeap* HeapOf(const ZoList* list) { return static_cast<PrivateHeap*>(list->privateHeap); }

// The item blocks (addresses after the header) that the list functions made and
// have not released. Never destroyed, so lists released by other static
// destructors still find it.
struct BlockSet {
  plat::Mutex lock;
  std::unordered_set<const void*> items;
};

BlockSet& ListBlocks() {
  static BlockSet* set = new BlockSet;
  return *set;
}

// True for a block with a header; false for a block a caller handed over.
bool IsListBlock(const void* item) {
  BlockSet& set = ListBlocks();
  plat::LockGuard guard(set.lock);
  return set.items.count(item) != 0;
}

void* AllocBlock(ZoList* list, size_t bytes) {
  if (bytes > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  auto* h = static_cast<BlockHeader*>(AllocZeroed(sizeof(BlockHeader) + bytes));
  if (!h) return nullptr;
  h->size = bytes;
  try {
    BlockSet& set = ListBlocks();
    plat::LockGuard guard(set.lock);
    set.items.insert(h + 1);
  } catch (const std::bad_alloc&) {
    std::free(h);
    return nullptr;
  }
  if (PrivateHeap* heap = HeapOf(list)) Link(heap, h);
  return h + 1;
}

void FreeBlock(void* item) {
  if (!item) return;
  bool listBlock;
  {
    BlockSet& set = ListBlocks();
    plat::LockGuard guard(set.lock);
    listBlock = set.items.erase(item) != 0;
  }
  if (!listBlock) {
    std::free(item);  // handed over by a caller: a plain C runtime block
    return;
  }
  BlockHeader* h = HeaderOf(item);
  Unlink(h);
  std::free(h);
}

// Releases every block still in the registry, then the registry.
void DestroyHeap(PrivateHeap* heap) {
  BlockSet& set = ListBlocks();
  plat::LockGuard guard(set.lock);
  BlockHeader* h = heap->anchor.next;
  while (h != &heap->anchor) {
    BlockHeader* next = h->next;
    set.items.erase(h + 1);
    std::free(h);
    h = next;
  }
  std::free(heap);
}

bool Alive(const ZoList* list) { return list && list->magic == ZO_LIST_MAGIC; }
bool Owned(const ZoList* list) { return (list->options & ZO_LIST_OWNED) != 0; }
bool InPlace(const ZoList* list) { return (list->options & ZO_LIST_IN_PLACE) != 0; }

// Holds the list's lock (when it has one) for the scope.
class ListLock {
 public:
  explicit ListLock(const ZoList* list) : lock_(list ? list->lock : nullptr) {
    if (lock_) lock_->Lock();
  }
  ~ListLock() {
    if (lock_) lock_->Unlock();
  }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;

 private:
  plat::Mutex* lock_;
};

// Locks two lists in one fixed order (by the address of their locks), so that
// two threads working on the same pair of lists in opposite directions cannot
// each hold one lock and wait for the other. The locks are recursive: calls
// made while the pair is held may lock either list again.
class PairLock {
 public:
  PairLock(const ZoList* a, const ZoList* b) {
    first_ = a ? a->lock : nullptr;
    second_ = b ? b->lock : nullptr;
    if (std::less<plat::Mutex*>()(second_, first_)) std::swap(first_, second_);
    if (second_ == first_) second_ = nullptr;
    if (first_) first_->Lock();
    if (second_) second_->Lock();
  }
  ~PairLock() {
    if (second_) second_->Unlock();
    if (first_) first_->Unlock();
  }
  PairLock(const PairLock&) = delete;
  PairLock& operator=(const PairLock&) = delete;

 private:
  plat::Mutex* first_;
  plat::Mutex* second_;
};

unsigned char* Slot(const ZoList* list, int i) {
  return static_cast<unsigned char*>(list->slots) + static_cast<size_t>(i) * list->itemSize;
}

void* SlotValue(const ZoList* list, int i) {
  void* v;
  std::memcpy(&v, Slot(list, i), sizeof v);
  return v;
}

void SetSlotValue(ZoList* list, int i, void* v) { std::memcpy(Slot(list, i), &v, sizeof v); }

// Bytes of `slots` slots, or false when that leaves size_t.
bool SlotBytes(const ZoList* list, int64_t slots, size_t* bytes) {
  if (slots < 0) return false;
  auto n = static_cast<uint64_t>(slots);
  if (list->itemSize && n > SIZE_MAX / list->itemSize) return false;
  *bytes = static_cast<size_t>(n * list->itemSize);
  return true;
}

// Whole increments covering n slots (n > 0), in 64 bits.
int64_t Increments(const ZoList* list, int64_t n) {
  int64_t g = list->growBy;
  return g * ((n + g - 1) / g);
}

ZoResult GrowLocked(ZoList* list, int n) {
  int64_t add = Increments(list, n <= 0 ? list->growBy : n);
  int64_t newCapacity = list->capacity + add;
  size_t oldBytes, newBytes;
  if (newCapacity > INT_MAX || !SlotBytes(list, list->capacity, &oldBytes) || !SlotBytes(list, newCapacity, &newBytes))
    return E_OUTOFMEMORY;
  void* grown = Reallocate(list->slots, newBytes);
  if (!grown) return E_OUTOFMEMORY;
  std::memset(static_cast<unsigned char*>(grown) + oldBytes, 0, newBytes - oldBytes);
  list->slots = grown;
  list->capacity = static_cast<int32_t>(newCapacity);
  return S_OK;
}

ZoResult ShrinkLocked(ZoList* list, int n) {
  int64_t spare = list->capacity - list->count;
  if (n < 0) n = static_cast<int>(spare);
  if (n == 0) return S_OK;
  int64_t amount = Increments(list, n);
  // Never release slots that hold items: at most the whole increments that are spare.
  if (amount > spare) amount = (spare / list->growBy) * list->growBy;
  if (amount <= 0) return S_OK;
  int64_t newCapacity = list->capacity - amount;
  size_t bytes;
  if (!SlotBytes(list, newCapacity > 0 ? newCapacity : 1, &bytes)) return E_OUTOFMEMORY;
  void* shrunk = Reallocate(list->slots, bytes);
  if (!shrunk) return E_OUTOFMEMORY;
  list->slots = shrunk;
  list->capacity = static_cast<int32_t>(newCapacity);
  return S_OK;
}

// Opens a gap of k slots at index (capacity already checked) and fills it from `data`.
void InsertSlots(ZoList* list, int index, const void* data, int k) {
  size_t size = list->itemSize;
  unsigned char* at = Slot(list, index);
  std::memmove(at + static_cast<size_t>(k) * size, at, static_cast<size_t>(list->count - index) * size);
  std::memcpy(at, data, static_cast<size_t>(k) * size);
  list->count += k;
}

// Removes k slots at index without releasing anything; the vacated tail is zeroed.
void RemoveSlots(ZoList* list, int index, int k) {
  size_t size = list->itemSize;
  unsigned char* at = Slot(list, index);
  size_t tail = static_cast<size_t>(list->count - index - k) * size;
  std::memmove(at, at + static_cast<size_t>(k) * size, tail);
  std::memset(at + tail, 0, static_cast<size_t>(k) * size);
  list->count -= k;
}

void SwapSlots(ZoList* list, int a, int b) {
  if (a == b) return;
  std::swap_ranges(Slot(list, a), Slot(list, a) + list->itemSize, Slot(list, b));
}

// Normalises a range: start < 0 counts as 0, n < 0 or too large runs to the end.
// False when start lies beyond count.
bool ClampRange(const ZoList* list, int* start, int* n) {
  if (*start < 0) *start = 0;
  if (*start > list->count) return false;
  int rest = list->count - *start;
  if (*n < 0 || *n > rest) *n = rest;
  return true;
}

ZoResult InsertLocked(ZoList* list, int index, const void* data, int n) {
  void* pending = list->pendingItem;
  int k;
  if (!data) {
    if (n != -1 || !pending) return E_FAIL;
    data = &pending;
    k = 1;
  } else if (n < 0) {
    if (n == INT_MIN) return E_INVALIDARG;
    k = -n;
  } else {
    // An owned list accepts only its own blocks, or foreign ones handed over
    // explicitly with a negative count.
    if (Owned(list)) return E_FAIL;
    k = n;
  }
  if (k == 0) return S_OK;
  if (static_cast<int64_t>(list->count) + k > INT_MAX) return E_OUTOFMEMORY;
  size_t bytes;
  if (!SlotBytes(list, k, &bytes)) return E_OUTOFMEMORY;

  // The source may lie in this list's own slot array, which growth can move.
  std::vector<unsigned char> copy;
  auto* begin = static_cast<const unsigned char*>(list->slots);
  size_t arrayBytes = static_cast<size_t>(list->capacity) * list->itemSize;
  auto* src = static_cast<const unsigned char*>(data);
  if (data != &pending && src < begin + arrayBytes && src + bytes > begin) {
    try {
      copy.assign(src, src + bytes);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    data = copy.data();
  }

  if (index < 0 || index >= list->count) index = list->count;
  if (list->capacity < list->count + k) {
    ZoResult r = GrowLocked(list, k);
    if (ZoFailed(r)) return r;
  }
  InsertSlots(list, index, data, k);
  list->pendingItem = nullptr;
  return S_OK;
}

ZoResult AllocItemLocked(ZoList* list, int bytes, void** block) {
  if (!Owned(list) || list->pendingItem) return E_FAIL;
  if (bytes < 0) return E_OUTOFMEMORY;  // no block of that size can exist
  void* item = AllocBlock(list, static_cast<size_t>(bytes));
  if (!item) return E_OUTOFMEMORY;
  list->pendingItem = item;
  *block = item;
  return S_OK;
}

int FindSortedLocked(ZoList* list, const void* key, int start, int n, ZoListCompare compare, bool insertIndex) {
  if (!ClampRange(list, &start, &n)) return -1;
  // An empty range: nothing found, and the insertion point is where it starts.
  if (n < 1) return insertIndex ? start : -1;
  intptr_t criteria = list->sortCriteria;
  int lo = start, hi = start + n - 1, m = n;
  int result = start;
  while (lo <= hi) {
    if (m == 1) {
      int32_t c = compare(criteria, key, ZoList_ItemAt(list, lo));
      if (insertIndex) return c > 0 ? lo + 1 : lo;
      return c == 0 ? lo : -1;
    }
    // The middle for odd sizes, the lower middle for even ones.
    int probe = (m & 1) ? lo + m / 2 : lo + m / 2 - 1;
    int32_t c = compare(criteria, key, ZoList_ItemAt(list, probe));
    if (c == 0) return probe;
    if (c < 0) {
      result = probe;
      hi = probe - 1;
      m = (m & 1) ? m / 2 : m / 2 - 1;
    } else {
      result = probe + 1;
      lo = probe + 1;
      m = m / 2;
    }
  }
  return insertIndex ? result : -1;
}

void SiftDown(ZoList* list, intptr_t criteria, ZoListCompare compare, int root, int end) {
  for (;;) {
    int child = 2 * root + 1;
    if (child > end) return;
    if (child + 1 <= end && compare(criteria, ZoList_ItemAt(list, child + 1), ZoList_ItemAt(list, child)) > 0) ++child;
    if (compare(criteria, ZoList_ItemAt(list, child), ZoList_ItemAt(list, root)) <= 0) return;
    SwapSlots(list, root, child);
    root = child;
  }
}

}  // namespace

void ZoList_TestFailNextAllocations(int n, int skip) {
  g_failAllocations.store(0);
  g_passAllocations.store(n > 0 && skip > 0 ? skip : 0);
  g_failAllocations.store(n > 0 ? n : 0);
}

ZoResult ZoList_CreateExZ(ZoList** out, int itemSize, int initialCount, int growBy, uint32_t options, intptr_t,
                          intptr_t, intptr_t) {
  if (!out) return E_INVALIDARG;
  const bool callerHeader = (options & ZO_LIST_CALLER_HEADER) != 0;
  ZoList* list;
  if (callerHeader) {
    list = *out;
    if (!list) return E_FAIL;
    std::memset(list, 0, sizeof *list);
  } else {
    *out = nullptr;
  }
  if ((options & ZO_LIST_IN_PLACE) && (options & ZO_LIST_OWNED)) return E_FAIL;
  if ((options & ZO_LIST_IN_PLACE) && itemSize < 1) return E_INVALIDARG;
  if (!callerHeader) {
    list = static_cast<ZoList*>(AllocZeroed(sizeof(ZoList)));
    if (!list) return E_OUTOFMEMORY;
  }
  auto fail = [&](ZoResult r) {
    std::free(list->slots);
    list->slots = nullptr;
    delete list->lock;
    list->lock = nullptr;
    list->magic = 0;
    if (!callerHeader) std::free(list);
    return r;
  };

  list->magic = ZO_LIST_MAGIC;
  list->options = options;  // needed by the size helpers below; completed at the end
  if (options & ZO_LIST_IN_PLACE) {
    int64_t rounded = (static_cast<int64_t>(itemSize) + 3) & ~int64_t{3};
    if (rounded > UINT32_MAX) return fail(E_OUTOFMEMORY);
    list->itemSize = static_cast<uint32_t>(rounded);
  } else {
    list->itemSize = sizeof(void*);
  }
  if (initialCount <= 0) initialCount = ZO_LIST_DEFAULT_GROW;
  if (initialCount < 4) initialCount = 4;
  if (growBy <= 0) growBy = ZO_LIST_DEFAULT_GROW;
  growBy = std::clamp(growBy, 4, ZO_LIST_MAX_GROW);
  list->growBy = growBy;

  int64_t capacity = Increments(list, initialCount);
  size_t bytes;
  if (capacity > INT_MAX || !SlotBytes(list, capacity, &bytes)) return fail(E_OUTOFMEMORY);
  list->slots = AllocZeroed(bytes);
  if (!list->slots) return fail(E_OUTOFMEMORY);
  list->capacity = static_cast<int32_t>(capacity);

  if (options & ZO_LIST_LOCKED) {
    if (InjectedFailure()) return fail(E_OUTOFMEMORY);
    try {
      list->lock = new plat::Mutex;
    } catch (const std::bad_alloc&) {
      return fail(E_OUTOFMEMORY);
    }
  }
  list->ownerThread = plat::CurrentThreadId();
  list->options = options | ZO_LIST_ANY_THREAD;
  if (options & ZO_LIST_OWNED) {
    list->heapAllocFlags = 9;
    list->heapReleaseFlags = 1;
    if (options & ZO_LIST_PRIVATE_HEAP) {
      auto* heap = static_cast<PrivateHeap*>(AllocZeroed(sizeof(PrivateHeap)));
      if (!heap) return fail(E_OUTOFMEMORY);
      heap->anchor.next = heap->anchor.prev = &heap->anchor;
      list->privateHeap = heap;
    }
  }
  *out = list;
  return S_OK;
}

ZoResult ZoList_Destroy(ZoList* list) {
  if (!list) return S_OK;
  if (!Alive(list)) return E_INVALIDARG;
  plat::Mutex* lock = list->lock;
  {
    ListLock guard(list);
    if (Owned(list)) {
      // Slot by slot, because blocks handed over by callers are in no registry.
      for (int i = 0; i < list->count; ++i) {
        FreeBlock(SlotValue(list, i));
        SetSlotValue(list, i, nullptr);
      }
      // The list owns the pending block as well; nobody else could free it.
      FreeBlock(list->pendingItem);
      list->pendingItem = nullptr;
      if (PrivateHeap* heap = HeapOf(list)) {
        // Whatever is left of the registry (a block orphaned when an insertion
        // cleared the pending item) goes with it.
        DestroyHeap(heap);
        list->privateHeap = nullptr;
      }
    }
    std::free(list->slots);
    list->slots = nullptr;
    list->count = list->capacity = 0;
    list->magic = 0;
  }
  delete lock;
  list->lock = nullptr;
  if (!(list->options & ZO_LIST_CALLER_HEADER)) std::free(list);
  return S_OK;
}

ZoResult ZoList_InsertList(ZoList* list, int index, const void* data, int n) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  return InsertLocked(list, index, data, n);
}

ZoResult ZoList_DeleteList(ZoList* list, int index, int n, bool shrink) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  if (index < 0 && n < 0) {
    if (!list->pendingItem) return E_FAIL;
    FreeBlock(list->pendingItem);
    list->pendingItem = nullptr;
    return S_OK;
  }
  if (index >= 0 && n < 0) n = list->count - index;
  if (n < 1) return S_OK;
  if (index < 0 || index > list->count - 1) return E_FAIL;
  n = std::min(n, list->count - index);
  if (Owned(list)) {
    for (int i = index; i < index + n; ++i) FreeBlock(SlotValue(list, i));
  }
  RemoveSlots(list, index, n);
  if (shrink && list->capacity - list->count > list->growBy) {
    // A failed release keeps the larger array; the deletion itself succeeded.
    ShrinkLocked(list, list->capacity - list->count);
  }
  return S_OK;
}

ZoResult ZoList_AllocItem(ZoList* list, int bytes, void** block) {
  if (!block) return E_INVALIDARG;
  *block = nullptr;
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  return AllocItemLocked(list, bytes, block);
}

ZoResult ZoList_AllocAndInsertItem(ZoList* list, const void* src, int bytes, int index, int* insertedAt) {
  if (insertedAt) *insertedAt = -1;
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  int position = (index >= 0 && index < list->count) ? index : list->count;
  void* block = nullptr;
  ZoResult r = AllocItemLocked(list, bytes, &block);
  if (ZoFailed(r)) return r;
  if (src && bytes > 0) std::memcpy(block, src, static_cast<size_t>(bytes));
  r = InsertLocked(list, position, nullptr, -1);
  if (ZoFailed(r)) {
    FreeBlock(block);
    list->pendingItem = nullptr;
    return r;
  }
  if (insertedAt) *insertedAt = position;
  return r;
}

ZoResult ZoList_ReAllocItem(ZoList* list, int index, int bytes) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  if (!Owned(list)) return E_FAIL;
  if (index < 0 || index >= list->count) return E_INVALIDARG;
  if (bytes < 0) return E_OUTOFMEMORY;  // no block of that size can exist; the old one stays
  void* item = SlotValue(list, index);
  if (!item) return E_FAIL;
  size_t newSize = static_cast<size_t>(bytes);
  BlockSet& set = ListBlocks();
  plat::LockGuard setGuard(set.lock);
  auto node = set.items.extract(item);
  if (node.empty()) {
    // A block handed over by a caller: no header, no known size.
    void* resized = Reallocate(item, newSize);
    if (!resized) return E_OUTOFMEMORY;
    SetSlotValue(list, index, resized);
    return S_OK;
  }
  BlockHeader* h = HeaderOf(item);
  size_t oldSize = h->size;
  // Unlinked while it may move; relinked (old or new address) afterwards.
  PrivateHeap* heap = h->prev ? HeapOf(list) : nullptr;
  Unlink(h);
  auto* moved = static_cast<BlockHeader*>(Reallocate(h, sizeof(BlockHeader) + newSize));
  BlockHeader* kept = moved ? moved : h;
  if (heap) Link(heap, kept);
  // Re-inserting the extracted node allocates nothing and needs no rehash.
  node.value() = kept + 1;
  set.items.insert(std::move(node));
  if (!moved) return E_OUTOFMEMORY;
  moved->size = newSize;
  if (newSize > oldSize) std::memset(reinterpret_cast<unsigned char*>(moved + 1) + oldSize, 0, newSize - oldSize);
  SetSlotValue(list, index, moved + 1);
  return S_OK;
}

ZoResult ZoList_GrowAllocated(ZoList* list, int n) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  return GrowLocked(list, n);
}

ZoResult ZoList_ShrinkAllocated(ZoList* list, int n) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  return ShrinkLocked(list, n);
}

int ZoList_FindSortedItemRange(ZoList* list, const void* key, int start, int n, ZoListCompare compare) {
  if (!Alive(list) || !compare) return -1;
  ListLock guard(list);
  return FindSortedLocked(list, key, start, n, compare, false);
}

int ZoList_FindSortedInsertIndexRange(ZoList* list, const void* key, int start, int n, ZoListCompare compare) {
  if (!Alive(list) || !compare) return -1;
  ListLock guard(list);
  return FindSortedLocked(list, key, start, n, compare, true);
}

ZoResult ZoList_Sort(ZoList* list, intptr_t criteria, ZoListCompare compare) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  list->sortCriteria = criteria;
  if (!compare) return S_OK;
  for (int end = list->count - 1; end >= 1; --end) {
    int best = 0;
    for (int j = 1; j <= end; ++j) {
      if (compare(criteria, ZoList_ItemAt(list, j), ZoList_ItemAt(list, best)) > 0) best = j;
    }
    SwapSlots(list, best, end);
  }
  return S_OK;
}

ZoResult ZoList_HeapSort(ZoList* list, intptr_t criteria, ZoListCompare compare) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  list->sortCriteria = criteria;
  if (!compare || list->count < 2) return S_OK;
  int last = list->count - 1;
  for (int root = (last - 1) / 2; root >= 0; --root) SiftDown(list, criteria, compare, root, last);
  for (int end = last; end > 0; --end) {
    SwapSlots(list, 0, end);
    SiftDown(list, criteria, compare, 0, end - 1);
  }
  return S_OK;
}

ZoResult ZoList_SortTo(ZoList* dest, ZoList* src, intptr_t criteria, ZoListCompare compare) {
  if (!Alive(dest) || !Alive(src) || dest == src || !compare) return E_INVALIDARG;
  // Records go to a list of records of the same size, slot values to a slot list.
  if (InPlace(src) != InPlace(dest) || (InPlace(src) && src->itemSize != dest->itemSize)) return E_INVALIDARG;
  if (Owned(src) && Owned(dest)) return E_FAIL;
  PairLock guard(src, dest);
  dest->sortCriteria = criteria;
  for (int i = 0; i < src->count; ++i) {
    void* item = ZoList_ItemAt(src, i);
    int at = ZoList_FindSortedInsertIndexRange(dest, item, 0, -1, compare);
    ZoResult r = InPlace(src) ? ZoList_InsertList(dest, at, item, 1) : ZoList_InsertList(dest, at, &item, -1);
    if (ZoFailed(r)) return r;
  }
  return S_OK;
}

int ZoList_FindItemRange(ZoList* list, int start, int n, intptr_t context, ZoListPredicate predicate) {
  if (!Alive(list) || !predicate) return -1;
  ListLock guard(list);
  if (!ClampRange(list, &start, &n)) return -1;
  for (int i = start; i < start + n; ++i) {
    if (predicate(context, ZoList_ItemAt(list, i)) == 0) return i;
  }
  return -1;
}

int ZoList_FindSpecificItemRange(ZoList* list, int start, int n, const void* value) {
  if (!Alive(list)) return -1;
  ListLock guard(list);
  if (!ClampRange(list, &start, &n)) return -1;
  if (InPlace(list) && !value) return -1;
  for (int i = start; i < start + n; ++i) {
    bool same = InPlace(list) ? std::memcmp(Slot(list, i), value, list->itemSize) == 0 : SlotValue(list, i) == value;
    if (same) return i;
  }
  return -1;
}

ZoResult ZoList_MoveRange(ZoList* list, int from, int to, int n) {
  if (!Alive(list)) return E_INVALIDARG;
  ListLock guard(list);
  if (from < 0) return E_INVALIDARG;
  if (to < 0) to = 0;
  int later = std::max(from, to);
  if (later > list->count) return E_FAIL;
  if (n < 0) n = list->count - later;
  if (static_cast<int64_t>(later) + n > list->count) return E_FAIL;
  if (n == 0 || from == to) return S_OK;
  // A rotation of the span both positions cover moves the block and closes the gap
  // in one pass, without a temporary buffer.
  size_t size = list->itemSize;
  if (to > from) {
    std::rotate(Slot(list, from), Slot(list, from) + static_cast<size_t>(n) * size, Slot(list, to + n));
  } else {
    std::rotate(Slot(list, to), Slot(list, from), Slot(list, from + n));
  }
  return S_OK;
}

ZoResult ZoList_MoveItemsBetweenHeapLists(ZoList* dest, int at, ZoList* src, int from, int n) {
  if (!Alive(dest) || !Alive(src) || dest == src) return E_INVALIDARG;
  if (!Owned(dest) || !Owned(src)) return E_FAIL;
  PairLock guard(dest, src);
  if (dest->pendingItem) return E_FAIL;
  if (from < 0 || from > src->count) return E_FAIL;
  if (n < 0 || n > src->count - from) n = src->count - from;
  if (n == 0) return S_OK;
  if (at < 0 || at > dest->count) at = dest->count;
  if (static_cast<int64_t>(dest->count) + n > INT_MAX) return E_OUTOFMEMORY;
  // Room first, so that no block is ever out of both lists.
  if (dest->capacity < dest->count + n) {
    ZoResult r = GrowLocked(dest, n);
    if (ZoFailed(r)) return r;
  }
  InsertSlots(dest, at, Slot(src, from), n);
  PrivateHeap* destHeap = HeapOf(dest);
  for (int i = 0; i < n; ++i) {
    void* item = SlotValue(dest, at + i);
    if (!item || !IsListBlock(item)) continue;  // a caller's block is in no registry
    BlockHeader* h = HeaderOf(item);
    Unlink(h);
    if (destHeap) Link(destHeap, h);
  }
  RemoveSlots(src, from, n);
  return S_OK;
}

ZoResult ZoList_ConvertToInPlace(ZoList** from, ZoList* to) {
  if (!from || !to || !Alive(*from)) return E_INVALIDARG;
  ZoList* old = *from;
  if (old->options & ZO_LIST_CALLER_HEADER) return E_FAIL;
  std::memcpy(to, old, sizeof *to);
  to->options |= ZO_LIST_CALLER_HEADER;
  old->magic = 0;
  std::free(old);
  *from = nullptr;
  return S_OK;
}

bool ZoList_IsList(const ZoList* list, int headerSize) {
  return headerSize == static_cast<int>(sizeof(ZoList)) && Alive(list);
}

bool ZoList_IsListFast(const ZoList* list) { return Alive(list); }

bool ZoList_IsValidIndexSlow(ZoList* list, int i) {
  if (!Alive(list)) return false;
  ListLock guard(list);
  return i >= 0 && i < list->count;
}

uint32_t ZoList_GetCreateOptions(const ZoList* list) { return list ? list->options : 0; }

intptr_t ZoList_GetSortCriteria(const ZoList* list) { return list ? list->sortCriteria : 0; }

intptr_t ZoList_GetUserData(const ZoList* list) {
  if (!list) return 0;
  return std::atomic_ref<intptr_t>(const_cast<ZoList*>(list)->userData).load();
}

intptr_t ZoList_SetUserData(ZoList* list, intptr_t value) {
  if (!list) return 0;
  return std::atomic_ref<intptr_t>(list->userData).exchange(value);
}

uint32_t ZoList_GetThreadOwner(const ZoList* list) { return list ? list->ownerThread : 0; }

ZoResult ZoList_SetThreadOwner(ZoList* list, uint32_t threadId) {
  if (!list) return E_INVALIDARG;
  list->ownerThread = threadId ? threadId : plat::CurrentThreadId();
  return S_OK;
}

int ZoList_GetFileAndLine(const ZoList*, ZoChar* file, int* line) {
  if (file) file[0] = 0;
  if (line) *line = 0;
  return -1;
}
