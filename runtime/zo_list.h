// The growable list: the one container of the runtime library.
//
// A list is a contiguous array of fixed-size slots that grows and shrinks by a
// fixed increment. A slot holds either
//   - a pointer-sized value the list never releases (default),
//   - a pointer to an item block the list owns and releases (ZO_LIST_OWNED), or
//   - an item record stored by value (ZO_LIST_IN_PLACE; the record size is the
//     requested size rounded up to a multiple of 4).
// Item i is read directly: ZoList_ItemAt(list, i), or the slot array itself.
//
// Every operation takes the header first and returns a ZoResult (0 success,
// negative failure) or an index (-1 for none). A list created with
// ZO_LIST_LOCKED runs every operation inside its own recursive lock, so nested
// list calls from one thread are fine. Failed allocations return E_OUTOFMEMORY
// and leave the list as it was.
//
// Invariants: 0 <= count <= capacity; capacity changes only by multiples of the
// grow increment; slots count .. capacity-1 are zero; in an owned list every slot
// below count holds a live item block; at most one pending item exists.
#pragma once
#include <cstdint>

#include "platform/results.h"
#include "platform/types.h"

namespace plat {
class Mutex;
}

// Create options (bit values).
inline constexpr uint32_t ZO_LIST_LOCKED = 0x80000000u;        // every operation takes the list's lock
inline constexpr uint32_t ZO_LIST_ANY_THREAD = 0x40000000u;    // always added by creation
// With ZO_LIST_OWNED: the list keeps a registry of its item blocks (its "private
// heap"; the blocks themselves are ordinary allocations) and releases all of
// them at once when it is destroyed.
inline constexpr uint32_t ZO_LIST_PRIVATE_HEAP = 0x10000000u;
inline constexpr uint32_t ZO_LIST_CALLER_HEADER = 8u;          // the caller owns the header storage
inline constexpr uint32_t ZO_LIST_IN_PLACE = 4u;               // records stored by value in the slots
inline constexpr uint32_t ZO_LIST_OWNED = 2u;                  // slots point to item blocks the list owns

inline constexpr uint32_t ZO_LIST_MAGIC = 0x54525543u;
inline constexpr int ZO_LIST_DEFAULT_GROW = 16;
inline constexpr int ZO_LIST_MAX_GROW = 66560;

// The list header. Plain data: a caller may embed it (ZO_LIST_CALLER_HEADER) and
// ZoList_ConvertToInPlace copies it byte for byte. Fields other than count,
// itemSize and slots are for the list's functions only.
struct ZoList {
  int32_t count;             // items in use: slots 0 .. count-1
  uint32_t itemSize;         // bytes per slot: sizeof(void*), or the record size of an in-place array
  void* slots;               // capacity * itemSize bytes, zero beyond count
  plat::Mutex* lock;         // only with ZO_LIST_LOCKED
  uint32_t magic;            // ZO_LIST_MAGIC while alive, 0 after destroy or failed creation
  uint32_t options;          // create options | ZO_LIST_ANY_THREAD
  intptr_t userData;         // free for the caller; exchanged atomically
  intptr_t sortCriteria;     // first argument of every compare callback
  uint32_t ownerThread;      // recorded creator; not enforced
  int32_t capacity;          // slots allocated
  int32_t growBy;            // slots added or released per step (4 .. ZO_LIST_MAX_GROW)
  void* privateHeap;         // item block registry for ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP
  uint32_t heapAllocFlags;   // kept for layout compatibility: 9 for owned lists
  uint32_t heapReleaseFlags; // 1 for owned lists
  void* pendingItem;         // block from ZoList_AllocItem not yet inserted
  uint32_t reserved;
};

// Compare callback: negative when `key` sorts before `item`, 0 when equal,
// positive after. `item` is the record address for in-place arrays and the slot
// value otherwise (the item block for owned lists); `key` is passed through.
using ZoListCompare = int32_t (*)(intptr_t criteria, const void* key, const void* item);
// Predicate for ZoList_FindItemRange: returns 0 for the item sought.
using ZoListPredicate = int32_t (*)(intptr_t context, const void* item);

// Item i as the compare callback sees it: the record address for in-place
// arrays, the stored slot value otherwise. No range check (read items below count).
inline void* ZoList_ItemAt(const ZoList* list, int i) {
  auto* base = static_cast<unsigned char*>(list->slots) + static_cast<size_t>(i) * list->itemSize;
  if (list->options & ZO_LIST_IN_PLACE) return base;
  return *reinterpret_cast<void**>(base);
}
inline int ZoList_Count(const ZoList* list) { return list ? list->count : 0; }

// Creation and destruction. With ZO_LIST_CALLER_HEADER, *out points to caller
// storage on entry. The last three arguments are unused. initialCount <= 0 means
// 16 (at least 4); growBy <= 0 means 16, clamped to 4 .. 66560.
ZoResult ZoList_CreateExZ(ZoList** out, int itemSize, int initialCount, int growBy, uint32_t options,
                          intptr_t r1 = 0, intptr_t r2 = 0, intptr_t r3 = 0);
// Releases owned item blocks (a pending block included: the list owns it), the
// slots and the lock; frees the header unless the caller owns it. Null is 0.
ZoResult ZoList_Destroy(ZoList* list);

// Inserts n slots from `data` at `index` (append when index < 0 or >= count).
// n < 0 inserts |n| slot values (the only way to hand blocks to an owned list;
// a caller's block must come from the C runtime heap, since the list releases
// it with free()); data == null with n == -1 inserts the pending item.
ZoResult ZoList_InsertList(ZoList* list, int index, const void* data, int n);
// Deletes n items at index (n < 0: to the end); index < 0 and n < 0 discards the
// pending item. With `shrink`, spare slots beyond one increment are released.
ZoResult ZoList_DeleteList(ZoList* list, int index, int n, bool shrink);

// Owned lists: allocates a zero-filled block that becomes the pending item.
ZoResult ZoList_AllocItem(ZoList* list, int bytes, void** block);
// Allocates a block, copies `bytes` from `src` (when not null) and inserts it at
// `index` (append when outside the list); *insertedAt gets the index or -1.
ZoResult ZoList_AllocAndInsertItem(ZoList* list, const void* src, int bytes, int index, int* insertedAt);
// Owned lists only: resizes item block `index` (new bytes zero); E_OUTOFMEMORY keeps the old block.
ZoResult ZoList_ReAllocItem(ZoList* list, int index, int bytes);

// Capacity in whole grow increments. Grow: n <= 0 means one increment. Shrink:
// n < 0 means all spare slots; never releases slots that hold items.
ZoResult ZoList_GrowAllocated(ZoList* list, int n);
ZoResult ZoList_ShrinkAllocated(ZoList* list, int n);

// Binary search in [start, start+n) (n < 0: to the end). Index of an equal item
// or -1; with several equal items, the first one the probes meet.
int ZoList_FindSortedItemRange(ZoList* list, const void* key, int start, int n, ZoListCompare compare);
// Index at which inserting `key` keeps the range sorted (before an equal item
// met); 0 for an empty range, -1 when start > count.
int ZoList_FindSortedInsertIndexRange(ZoList* list, const void* key, int start, int n, ZoListCompare compare);

// Stores `criteria` and sorts by selection (not stable).
ZoResult ZoList_Sort(ZoList* list, intptr_t criteria, ZoListCompare compare);
// Stores `criteria` and sorts by heap sort (not stable).
ZoResult ZoList_HeapSort(ZoList* list, intptr_t criteria, ZoListCompare compare);
// Stores `criteria` in dest and inserts every item of src into dest at its sorted
// position (record bytes for in-place src, the slot value otherwise). Refused
// (E_FAIL) when both lists own their items: a block can have only one owner.
ZoResult ZoList_SortTo(ZoList* dest, ZoList* src, intptr_t criteria, ZoListCompare compare);

// Linear scans: first index in range whose item makes predicate(context, item)
// return 0 / whose record bytes (in-place) or slot value equals `value`; -1 when none.
int ZoList_FindItemRange(ZoList* list, int start, int n, intptr_t context, ZoListPredicate predicate);
int ZoList_FindSpecificItemRange(ZoList* list, int start, int n, const void* value);

// Moves items from .. from+n-1 so that they start at `to`; the items in between
// close the gap. from < 0: E_INVALIDARG; to < 0 counts as 0; n < 0 means up to the
// end measured from the later of from and to; a range beyond count: E_FAIL.
ZoResult ZoList_MoveRange(ZoList* list, int from, int to, int n);
// Moves item blocks src[from .. from+n-1] into dest at `at` (dest's count when
// negative), keeping their order. Both lists must own their items and dest must
// have no pending item. n < 0 means all of src from `from`.
ZoResult ZoList_MoveItemsBetweenHeapLists(ZoList* dest, int at, ZoList* src, int from, int n);
// Moves a live list created without ZO_LIST_CALLER_HEADER into caller storage
// `to` (which then carries that option); frees the old header and nulls *from.
ZoResult ZoList_ConvertToInPlace(ZoList** from, ZoList* to);

// Checks. ZoList_IsList cannot prove that arbitrary memory is readable; it
// checks the pointer, the header size the caller was built with and the magic.
bool ZoList_IsList(const ZoList* list, int headerSize);
bool ZoList_IsListFast(const ZoList* list);
bool ZoList_IsValidIndexSlow(ZoList* list, int i);

uint32_t ZoList_GetCreateOptions(const ZoList* list);
intptr_t ZoList_GetSortCriteria(const ZoList* list);
intptr_t ZoList_GetUserData(const ZoList* list);
// Atomic exchange; returns the previous value.
intptr_t ZoList_SetUserData(ZoList* list, intptr_t value);
uint32_t ZoList_GetThreadOwner(const ZoList* list);
// 0 means the calling thread.
ZoResult ZoList_SetThreadOwner(ZoList* list, uint32_t threadId);
// No creation site is recorded: file becomes "" (when not null), line 0, result -1.
int ZoList_GetFileAndLine(const ZoList* list, ZoChar* file, int* line);
