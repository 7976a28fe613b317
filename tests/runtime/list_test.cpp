// The growable list: creation rules, growth and release in increments, owned
// blocks and the pending item, sorted search and insertion, moves, and failures
// that must leave the list as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "platform/thread.h"
#include "runtime/zo_list.h"
#include "runtime/zo_list_internal.h"

namespace {

// Values stored directly in the slots of a pointer list.
void* V(intptr_t v) { return reinterpret_cast<void*>(v); }
intptr_t AsInt(const void* p) { return reinterpret_cast<intptr_t>(p); }

int32_t CompareValues(intptr_t, const void* key, const void* item) {
  intptr_t a = AsInt(key), b = AsInt(item);
  return a < b ? -1 : a > b ? 1 : 0;
}

// Owned items and in-place records both start with an int key.
int32_t CompareLeadingInt(intptr_t, const void* key, const void* item) {
  int a, b;
  std::memcpy(&a, key, sizeof a);
  std::memcpy(&b, item, sizeof b);
  return a < b ? -1 : a > b ? 1 : 0;
}

// RAII for tests: destroys the list at scope end.
struct ListPtr {
  ZoList* list = nullptr;
  ~ListPtr() { ZoList_Destroy(list); }
  ZoList* operator->() const { return list; }
  operator ZoList*() const { return list; }
};

ZoResult Create(ListPtr* out, int itemSize, int initial, int growBy, uint32_t options) {
  return ZoList_CreateExZ(&out->list, itemSize, initial, growBy, options);
}

std::vector<intptr_t> Values(const ZoList* list) {
  std::vector<intptr_t> v;
  for (int i = 0; i < list->count; ++i) v.push_back(AsInt(ZoList_ItemAt(list, i)));
  return v;
}

void AppendValues(ZoList* list, std::initializer_list<intptr_t> values) {
  for (intptr_t v : values) {
    void* slot = V(v);
    ASSERT_EQ(ZoList_InsertList(list, -1, &slot, 1), S_OK);
  }
}

class FailAllocations {
 public:
  explicit FailAllocations(int n, int skip = 0) { ZoList_TestFailNextAllocations(n, skip); }
  ~FailAllocations() { ZoList_TestFailNextAllocations(0); }
};

TEST(ZoList, CreationNormalisesSizesAndIncrements) {
  struct Case { int itemSize, initial, growBy; uint32_t options; uint32_t wantSize; int wantCapacity, wantGrow; };
  const uint32_t ptr = sizeof(void*);
  const Case cases[] = {
      {12, 0, -1, ZO_LIST_IN_PLACE, 12, 16, 16},
      {10, 0, -1, ZO_LIST_IN_PLACE, 12, 16, 16},
      {1, 0, 0, ZO_LIST_IN_PLACE, 4, 16, 16},
      {1000, 20, 16, 0, ptr, 32, 16},  // the size is ignored for pointer lists
      {0, 0, 100000, 0, ptr, 66560, 66560},
      {0, 1, 1, ZO_LIST_OWNED, ptr, 4, 4},
      {0, 17, 0, 0, ptr, 32, 16},
  };
  for (const Case& c : cases) {
    ListPtr l;
    ASSERT_EQ(Create(&l, c.itemSize, c.initial, c.growBy, c.options), S_OK);
    EXPECT_EQ(l->itemSize, c.wantSize) << c.itemSize;
    EXPECT_EQ(l->capacity, c.wantCapacity) << c.initial << "/" << c.growBy;
    EXPECT_EQ(l->growBy, c.wantGrow);
    EXPECT_EQ(l->count, 0);
    EXPECT_EQ(ZoList_GetCreateOptions(l), c.options | ZO_LIST_ANY_THREAD);
    EXPECT_TRUE(ZoList_IsListFast(l));
    EXPECT_TRUE(ZoList_IsList(l, sizeof(ZoList)));
    EXPECT_FALSE(ZoList_IsList(l, sizeof(ZoList) - 4));
  }
}

TEST(ZoList, CreationRefusals) {
  ZoList* out = reinterpret_cast<ZoList*>(0x1);
  EXPECT_EQ(ZoList_CreateExZ(&out, 4, 0, 0, ZO_LIST_IN_PLACE | ZO_LIST_OWNED), E_FAIL);
  EXPECT_EQ(out, nullptr);
  ZoList* none = nullptr;
  EXPECT_EQ(ZoList_CreateExZ(&none, 4, 0, 0, ZO_LIST_CALLER_HEADER), E_FAIL);
  EXPECT_EQ(ZoList_CreateExZ(&none, 0, 0, 0, ZO_LIST_IN_PLACE), E_INVALIDARG);
  EXPECT_EQ(ZoList_CreateExZ(nullptr, 4, 0, 0, 0), E_INVALIDARG);
  // A capacity beyond the int range is refused, not wrapped.
  EXPECT_EQ(ZoList_CreateExZ(&none, 1 << 20, INT_MAX, 66560, ZO_LIST_IN_PLACE), E_OUTOFMEMORY);
  EXPECT_EQ(none, nullptr);
}

TEST(ZoList, CallerHeaderIsZeroedUsedAndNotFreed) {
  ZoList storage;
  std::memset(&storage, 0xAB, sizeof storage);
  ZoList* list = &storage;
  ASSERT_EQ(ZoList_CreateExZ(&list, 0, 0, 0, ZO_LIST_CALLER_HEADER | ZO_LIST_LOCKED), S_OK);
  EXPECT_EQ(list, &storage);
  EXPECT_EQ(storage.userData, 0);
  AppendValues(list, {1, 2, 3});
  EXPECT_EQ(ZoList_Destroy(list), S_OK);  // the sanitizer build catches a free of the stack header
  EXPECT_FALSE(ZoList_IsListFast(&storage));
}

TEST(ZoList, GrowthIsOneIncrementAtATime) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 16, 16, 0), S_OK);
  for (intptr_t i = 0; i < 16; ++i) AppendValues(l, {i});
  EXPECT_EQ(l->capacity, 16);
  AppendValues(l, {16});
  EXPECT_EQ(l->capacity, 32);
  // Inserting many at once grows by whole increments covering them.
  std::vector<void*> many(20, V(7));
  ASSERT_EQ(ZoList_InsertList(l, 0, many.data(), 20), S_OK);
  EXPECT_EQ(l->count, 37);
  EXPECT_EQ(l->capacity, 64);
  EXPECT_EQ(ZoList_GrowAllocated(l, 0), S_OK);
  EXPECT_EQ(l->capacity, 80);
  // Slots beyond count are zero after growth.
  auto* slots = static_cast<void**>(l->slots);
  for (int i = l->count; i < l->capacity; ++i) ASSERT_EQ(slots[i], nullptr);
}

TEST(ZoList, InsertPositions) {
  struct Case { int index; std::vector<intptr_t> want; };
  const Case cases[] = {
      {-1, {1, 2, 3, 9}}, {3, {1, 2, 3, 9}}, {99, {1, 2, 3, 9}}, {0, {9, 1, 2, 3}}, {2, {1, 2, 9, 3}},
  };
  for (const Case& c : cases) {
    ListPtr l;
    ASSERT_EQ(Create(&l, 0, 0, 0, 0), S_OK);
    AppendValues(l, {1, 2, 3});
    void* nine = V(9);
    ASSERT_EQ(ZoList_InsertList(l, c.index, &nine, 1), S_OK);
    EXPECT_EQ(Values(l), c.want) << "index " << c.index;
  }
}

TEST(ZoList, InsertFromItsOwnSlotsSurvivesGrowth) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 4, 4, 0), S_OK);
  AppendValues(l, {1, 2, 3, 4});
  // The source is the list's own array, which this insertion has to move.
  ASSERT_EQ(ZoList_InsertList(l, 0, l->slots, 4), S_OK);
  EXPECT_EQ(Values(l), (std::vector<intptr_t>{1, 2, 3, 4, 1, 2, 3, 4}));
}

TEST(ZoList, InsertThatCannotGrowLeavesTheListUnchanged) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 4, 4, 0), S_OK);
  AppendValues(l, {1, 2, 3, 4});
  void* before = l->slots;
  {
    FailAllocations fail(1);
    void* five = V(5);
    EXPECT_EQ(ZoList_InsertList(l, 0, &five, 1), E_OUTOFMEMORY);
  }
  EXPECT_EQ(l->capacity, 4);
  EXPECT_EQ(l->slots, before);
  EXPECT_EQ(Values(l), (std::vector<intptr_t>{1, 2, 3, 4}));
  // A count that would overflow int is refused before anything is read or moved.
  EXPECT_EQ(ZoList_InsertList(l, 0, l->slots, INT_MAX), E_OUTOFMEMORY);
  EXPECT_EQ(ZoList_GrowAllocated(l, INT_MAX), E_OUTOFMEMORY);
  EXPECT_EQ(Values(l), (std::vector<intptr_t>{1, 2, 3, 4}));
}

TEST(ZoList, CreationThatCannotAllocateCleansUp) {
  for (int n = 1; n <= 3; ++n) {  // header, slots, lock
    FailAllocations fail(n);
    ZoList* list = nullptr;
    EXPECT_EQ(ZoList_CreateExZ(&list, 0, 0, 0, ZO_LIST_LOCKED), E_OUTOFMEMORY) << n;
    EXPECT_EQ(list, nullptr);
  }
  FailAllocations fail(1);
  ZoList storage;
  ZoList* list = &storage;
  EXPECT_EQ(ZoList_CreateExZ(&list, 0, 0, 0, ZO_LIST_CALLER_HEADER), E_OUTOFMEMORY);
  EXPECT_FALSE(ZoList_IsListFast(&storage));
}

TEST(ZoList, DeleteRules) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, 0), S_OK);
  AppendValues(l, {1, 2, 3, 4, 5});
  EXPECT_EQ(ZoList_DeleteList(l, 5, 1, false), E_FAIL);
  EXPECT_EQ(ZoList_DeleteList(l, -2, 1, false), E_FAIL);
  EXPECT_EQ(ZoList_DeleteList(l, 1, 0, false), S_OK);   // nothing to delete
  EXPECT_EQ(ZoList_DeleteList(l, 7, -1, false), S_OK);  // n becomes negative: nothing
  EXPECT_EQ(ZoList_DeleteList(l, 1, 2, false), S_OK);
  EXPECT_EQ(Values(l), (std::vector<intptr_t>{1, 4, 5}));
  EXPECT_EQ(ZoList_DeleteList(l, 2, 10, false), S_OK);  // cut to the end
  EXPECT_EQ(Values(l), (std::vector<intptr_t>{1, 4}));
  EXPECT_EQ(ZoList_DeleteList(l, 0, -1, false), S_OK);
  EXPECT_EQ(l->count, 0);
  auto* slots = static_cast<void**>(l->slots);
  for (int i = 0; i < l->capacity; ++i) ASSERT_EQ(slots[i], nullptr);
}

TEST(ZoList, DeleteWithShrinkReleasesWholeIncrements) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 48, 16, 0), S_OK);
  for (intptr_t i = 0; i < 48; ++i) AppendValues(l, {i});
  ASSERT_EQ(ZoList_DeleteList(l, 8, 40, true), S_OK);
  EXPECT_EQ(l->count, 8);
  EXPECT_EQ(l->capacity, 16);
  // One spare increment or less is kept.
  ASSERT_EQ(ZoList_DeleteList(l, 0, 1, true), S_OK);
  EXPECT_EQ(l->capacity, 16);
  // A request beyond the spare slots never releases slots that hold items.
  ASSERT_EQ(ZoList_ShrinkAllocated(l, 1000), S_OK);
  EXPECT_EQ(l->capacity, 16);
  EXPECT_EQ(l->count, 7);
  ASSERT_EQ(ZoList_DeleteList(l, 0, -1, false), S_OK);
  ASSERT_EQ(ZoList_ShrinkAllocated(l, -1), S_OK);
  EXPECT_EQ(l->capacity, 0);
  AppendValues(l, {42});  // and it grows again from nothing
  EXPECT_EQ(l->capacity, 16);
}

TEST(ZoList, OwnedListAcceptsOnlyHandedOverBlocks) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, ZO_LIST_OWNED), S_OK);
  void* foreign = std::malloc(8);  // a foreign block is handed over only with a negative count
  ASSERT_NE(foreign, nullptr);
  EXPECT_EQ(ZoList_InsertList(l, 0, &foreign, 1), E_FAIL);
  EXPECT_EQ(l->count, 0);
  std::free(foreign);
  // Blocks of the list itself, through the pending item.
  int at = -2;
  int key = 5;
  ASSERT_EQ(ZoList_AllocAndInsertItem(l, &key, sizeof key, -1, &at), S_OK);
  EXPECT_EQ(at, 0);
  void* block = nullptr;
  ASSERT_EQ(ZoList_AllocItem(l, 16, &block), S_OK);
  ASSERT_EQ(ZoList_InsertList(l, 0, &block, -1), S_OK);  // the pending block as a slot value
  EXPECT_EQ(l->pendingItem, nullptr);
  EXPECT_EQ(ZoList_ItemAt(l, 0), block);
}

// Blocks a caller allocated itself and handed over with a negative count belong
// to the list from then on: deleted, resized, moved and destroyed like its own
// (the sanitizer build reports a bad free or a leak).
TEST(ZoList, HandedOverCallerBlocksAreReleasedByTheList) {
  for (uint32_t options : {ZO_LIST_OWNED, ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP}) {
    ListPtr l, other;
    ASSERT_EQ(Create(&l, 0, 0, 0, options), S_OK);
    ASSERT_EQ(Create(&other, 0, 0, 0, ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP), S_OK);
    void* foreign[4];
    for (int i = 0; i < 4; ++i) {
      foreign[i] = std::malloc(16);
      ASSERT_NE(foreign[i], nullptr);
      std::memset(foreign[i], 0x30 + i, 16);
    }
    int key = 7;
    ASSERT_EQ(ZoList_AllocAndInsertItem(l, &key, sizeof key, -1, nullptr), S_OK);
    ASSERT_EQ(ZoList_InsertList(l, 0, foreign, -4), S_OK);
    EXPECT_EQ(l->count, 5);
    EXPECT_EQ(ZoList_DeleteList(l, 0, 1, false), S_OK);  // frees foreign[0]
    ASSERT_EQ(ZoList_ReAllocItem(l, 0, 4096), S_OK);      // foreign[1], resized
    EXPECT_EQ(static_cast<const unsigned char*>(ZoList_ItemAt(l, 0))[15], 0x31);
    ASSERT_EQ(ZoList_MoveItemsBetweenHeapLists(other, -1, l, 1, 1), S_OK);  // foreign[2]
    EXPECT_EQ(static_cast<const unsigned char*>(ZoList_ItemAt(other, 0))[0], 0x32);
    EXPECT_EQ(*static_cast<const int*>(ZoList_ItemAt(l, 2)), 7);
  }
}

TEST(ZoList, PendingItemMisuse) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, ZO_LIST_OWNED), S_OK);
  void* first = nullptr;
  void* second = reinterpret_cast<void*>(0x1);
  ASSERT_EQ(ZoList_AllocItem(l, 8, &first), S_OK);
  EXPECT_EQ(ZoList_AllocItem(l, 8, &second), E_FAIL);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(l->pendingItem, first);
  EXPECT_EQ(ZoList_InsertList(l, 0, nullptr, -2), E_FAIL);
  EXPECT_EQ(ZoList_InsertList(l, 0, nullptr, 1), E_FAIL);
  EXPECT_EQ(ZoList_DeleteList(l, -1, -1, false), S_OK);  // discards it
  EXPECT_EQ(l->pendingItem, nullptr);
  EXPECT_EQ(ZoList_DeleteList(l, -1, -1, false), E_FAIL);
  EXPECT_EQ(ZoList_InsertList(l, 0, nullptr, -1), E_FAIL);
  EXPECT_EQ(l->count, 0);
  // A negative size is an allocation that cannot succeed, and leaves nothing pending.
  EXPECT_EQ(ZoList_AllocItem(l, -1, &first), E_OUTOFMEMORY);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(l->pendingItem, nullptr);

  ListPtr plain;
  ASSERT_EQ(Create(&plain, 0, 0, 0, 0), S_OK);
  EXPECT_EQ(ZoList_AllocItem(plain, 8, &first), E_FAIL);
  EXPECT_EQ(ZoList_ReAllocItem(plain, 0, 8), E_FAIL);
  int at = 7;
  EXPECT_EQ(ZoList_AllocAndInsertItem(plain, nullptr, 8, 0, &at), E_FAIL);
  EXPECT_EQ(at, -1);
}

TEST(ZoList, AllocAndInsertThatCannotGrowReleasesItsBlock) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 4, 4, ZO_LIST_OWNED), S_OK);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ZoList_AllocAndInsertItem(l, &i, sizeof i, -1, nullptr), S_OK);
  int key = 9;
  for (int skip : {0, 1}) {  // fail the block itself, then only the growth after it
    int at = 3;
    {
      FailAllocations fail(1, skip);
      EXPECT_EQ(ZoList_AllocAndInsertItem(l, &key, sizeof key, 0, &at), E_OUTOFMEMORY) << skip;
    }
    EXPECT_EQ(at, -1);
    EXPECT_EQ(l->pendingItem, nullptr);  // the block is released (the leak checker sees it)
    EXPECT_EQ(l->count, 4);
    EXPECT_EQ(l->capacity, 4);
    EXPECT_EQ(*static_cast<const int*>(ZoList_ItemAt(l, 0)), 0);
  }
}

TEST(ZoList, ReAllocItemKeepsContentAndZeroesTheNewBytes) {
  for (uint32_t options : {ZO_LIST_OWNED, ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP}) {
    ListPtr l;
    ASSERT_EQ(Create(&l, 0, 0, 0, options), S_OK);
    const char text[] = "abc";
    ASSERT_EQ(ZoList_AllocAndInsertItem(l, text, 4, -1, nullptr), S_OK);
    ASSERT_EQ(ZoList_AllocAndInsertItem(l, text, 4, -1, nullptr), S_OK);
    ASSERT_EQ(ZoList_ReAllocItem(l, 0, 4096), S_OK);
    auto* grown = static_cast<const unsigned char*>(ZoList_ItemAt(l, 0));
    EXPECT_EQ(std::memcmp(grown, text, 4), 0);
    EXPECT_TRUE(std::all_of(grown + 4, grown + 4096, [](unsigned char c) { return c == 0; }));
    {
      FailAllocations fail(1);
      EXPECT_EQ(ZoList_ReAllocItem(l, 1, 1 << 20), E_OUTOFMEMORY);
    }
    EXPECT_EQ(ZoList_ReAllocItem(l, 1, -8), E_OUTOFMEMORY);
    EXPECT_EQ(std::memcmp(ZoList_ItemAt(l, 1), text, 4), 0);
    EXPECT_EQ(ZoList_ReAllocItem(l, 2, 8), E_INVALIDARG);
  }
}

TEST(ZoList, PrivateHeapReleasesEveryBlockAtDestroyPendingIncluded) {
  ZoList* list = nullptr;
  ASSERT_EQ(ZoList_CreateExZ(&list, 0, 0, 0, ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP), S_OK);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(ZoList_AllocAndInsertItem(list, &i, sizeof i, 0, nullptr), S_OK);
  ASSERT_EQ(ZoList_DeleteList(list, 10, 20, false), S_OK);  // single blocks leave the registry too
  void* pending = nullptr;
  ASSERT_EQ(ZoList_AllocItem(list, 32, &pending), S_OK);
  EXPECT_EQ(ZoList_Destroy(list), S_OK);  // the leak checker of the sanitizer build verifies the rest
}

TEST(ZoList, SortedSearchAndInsertionPoints) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, 0), S_OK);
  EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(5), 0, -1, CompareValues), 0);
  EXPECT_EQ(ZoList_FindSortedItemRange(l, V(5), 0, -1, CompareValues), -1);
  AppendValues(l, {10, 20, 30});
  struct Case { intptr_t key; int insertAt; int found; };
  const Case cases[] = {{25, 2, -1}, {5, 0, -1}, {35, 3, -1}, {20, 1, 1}, {10, 0, 0}, {30, 2, 2}};
  for (const Case& c : cases) {
    EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(c.key), 0, -1, CompareValues), c.insertAt) << c.key;
    EXPECT_EQ(ZoList_FindSortedItemRange(l, V(c.key), 0, -1, CompareValues), c.found) << c.key;
  }
  EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(5), 4, -1, CompareValues), -1);  // start beyond count
  EXPECT_EQ(ZoList_FindSortedItemRange(l, V(10), 1, -1, CompareValues), -1);       // outside the range
  EXPECT_EQ(ZoList_FindSortedItemRange(l, V(30), 0, 2, CompareValues), -1);
  // A sub-range answers with indices of the whole list, inside the range.
  EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(25), 1, 1, CompareValues), 2);
  EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(5), 1, 1, CompareValues), 1);
  EXPECT_EQ(ZoList_FindSortedItemRange(l, V(20), 1, 1, CompareValues), 1);
  // An empty range inserts where it starts, not at 0, which would lie outside it.
  EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(99), 3, -1, CompareValues), 3);
  EXPECT_EQ(ZoList_FindSortedInsertIndexRange(l, V(15), 1, 0, CompareValues), 1);
}

TEST(ZoList, SortedInsertionKeepsAnyListSortedAndFindable) {
  std::mt19937 rng(12345);
  for (int size = 0; size <= 40; ++size) {
    ListPtr l;
    ASSERT_EQ(Create(&l, 0, 0, 4, 0), S_OK);
    std::vector<intptr_t> keys;
    for (int i = 0; i < size; ++i) keys.push_back(static_cast<intptr_t>(rng() % 25));
    for (intptr_t k : keys) {
      int at = ZoList_FindSortedInsertIndexRange(l, V(k), 0, -1, CompareValues);
      ASSERT_GE(at, 0);
      void* slot = V(k);
      ASSERT_EQ(ZoList_InsertList(l, at, &slot, 1), S_OK);
    }
    std::vector<intptr_t> got = Values(l);
    ASSERT_TRUE(std::is_sorted(got.begin(), got.end())) << "size " << size;
    for (intptr_t probe = -1; probe <= 26; ++probe) {
      int found = ZoList_FindSortedItemRange(l, V(probe), 0, -1, CompareValues);
      bool present = std::find(keys.begin(), keys.end(), probe) != keys.end();
      ASSERT_EQ(found >= 0, present) << "size " << size << " key " << probe;
      if (present) {
        ASSERT_EQ(got[static_cast<size_t>(found)], probe);
      }
    }
  }
}

struct Record {
  int key;
  int payload[2];
};

TEST(ZoList, BothSortsOrderPointerListsAndInPlaceRecords) {
  using SortFn = ZoResult (*)(ZoList*, intptr_t, ZoListCompare);
  for (SortFn sort : {static_cast<SortFn>(ZoList_Sort), static_cast<SortFn>(ZoList_HeapSort)}) {
    std::mt19937 rng(7);
    for (int size : {0, 1, 2, 3, 17, 64}) {
      ListPtr values, records;
      ASSERT_EQ(Create(&values, 0, 0, 0, 0), S_OK);
      ASSERT_EQ(Create(&records, sizeof(Record), 0, 0, ZO_LIST_IN_PLACE), S_OK);
      for (int i = 0; i < size; ++i) {
        int k = static_cast<int>(rng() % 50);
        AppendValues(values, {k});
        Record r{k, {k * 2, -k}};
        ASSERT_EQ(ZoList_InsertList(records, -1, &r, 1), S_OK);
      }
      ASSERT_EQ(sort(values, 42, CompareValues), S_OK);
      EXPECT_EQ(ZoList_GetSortCriteria(values), 42);
      std::vector<intptr_t> v = Values(values);
      EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
      ASSERT_EQ(sort(records, 0, CompareLeadingInt), S_OK);
      for (int i = 0; i < size; ++i) {
        auto* r = static_cast<const Record*>(ZoList_ItemAt(records, i));
        if (i > 0) {
          EXPECT_LE(static_cast<const Record*>(ZoList_ItemAt(records, i - 1))->key, r->key);
        }
        EXPECT_EQ(r->payload[0], r->key * 2);  // records move whole
        EXPECT_EQ(r->payload[1], -r->key);
      }
    }
  }
}

TEST(ZoList, SortToInsertsEveryItemInOrder) {
  ListPtr src, dest;
  ASSERT_EQ(Create(&src, 0, 0, 0, 0), S_OK);
  ASSERT_EQ(Create(&dest, 0, 0, 0, ZO_LIST_LOCKED), S_OK);
  AppendValues(src, {5, 1, 4, 1, 3});
  AppendValues(dest, {2});
  ASSERT_EQ(ZoList_SortTo(dest, src, 9, CompareValues), S_OK);
  EXPECT_EQ(Values(dest), (std::vector<intptr_t>{1, 1, 2, 3, 4, 5}));
  EXPECT_EQ(ZoList_GetSortCriteria(dest), 9);
  EXPECT_EQ(src->count, 5);
  // Two owners for one block would free it twice.
  ListPtr ownedA, ownedB;
  ASSERT_EQ(Create(&ownedA, 0, 0, 0, ZO_LIST_OWNED), S_OK);
  ASSERT_EQ(Create(&ownedB, 0, 0, 0, ZO_LIST_OWNED), S_OK);
  EXPECT_EQ(ZoList_SortTo(ownedB, ownedA, 0, CompareLeadingInt), E_FAIL);
  // Records only into records of the same size.
  ListPtr records;
  ASSERT_EQ(Create(&records, 12, 0, 0, ZO_LIST_IN_PLACE), S_OK);
  EXPECT_EQ(ZoList_SortTo(records, src, 0, CompareValues), E_INVALIDARG);
}

TEST(ZoList, MoveRangeClosesTheGap) {
  struct Case { int from, to, n; ZoResult result; std::vector<intptr_t> want; };
  const std::vector<intptr_t> start = {0, 1, 2, 3, 4, 5, 6, 7};
  const Case cases[] = {
      {1, 4, 2, S_OK, {0, 3, 4, 5, 1, 2, 6, 7}},
      {5, 1, 3, S_OK, {0, 5, 6, 7, 1, 2, 3, 4}},
      {6, -3, -1, S_OK, {6, 7, 0, 1, 2, 3, 4, 5}},  // to < 0 is 0; n < 0 runs to the end from the later
      {2, 5, -1, S_OK, {0, 1, 5, 6, 7, 2, 3, 4}},
      {3, 3, 2, S_OK, start},
      {-1, 0, 1, E_INVALIDARG, start},
      {6, 0, 3, E_FAIL, start},
      {0, 6, 3, E_FAIL, start},
      {9, 0, -1, E_FAIL, start},
  };
  for (const Case& c : cases) {
    ListPtr l;
    ASSERT_EQ(Create(&l, 0, 0, 0, 0), S_OK);
    for (intptr_t v : start) AppendValues(l, {v});
    EXPECT_EQ(ZoList_MoveRange(l, c.from, c.to, c.n), c.result) << c.from << "->" << c.to;
    EXPECT_EQ(Values(l), c.want) << c.from << "->" << c.to << " n " << c.n;
  }
}

int32_t IsEven(intptr_t, const void* item) { return (AsInt(item) % 2 == 0) ? 0 : 1; }

TEST(ZoList, LinearFinds) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, 0), S_OK);
  AppendValues(l, {1, 3, 4, 7, 4});
  EXPECT_EQ(ZoList_FindItemRange(l, 0, -1, 0, IsEven), 2);
  EXPECT_EQ(ZoList_FindItemRange(l, 3, -1, 0, IsEven), 4);
  EXPECT_EQ(ZoList_FindItemRange(l, 0, 2, 0, IsEven), -1);
  EXPECT_EQ(ZoList_FindSpecificItemRange(l, 0, -1, V(7)), 3);
  EXPECT_EQ(ZoList_FindSpecificItemRange(l, 3, -1, V(4)), 4);
  EXPECT_EQ(ZoList_FindSpecificItemRange(l, 6, -1, V(4)), -1);
  ListPtr records;
  ASSERT_EQ(Create(&records, sizeof(Record), 0, 0, ZO_LIST_IN_PLACE), S_OK);
  Record a{1, {2, 3}}, b{1, {2, 4}};
  ASSERT_EQ(ZoList_InsertList(records, -1, &a, 1), S_OK);
  ASSERT_EQ(ZoList_InsertList(records, -1, &b, 1), S_OK);
  EXPECT_EQ(ZoList_FindSpecificItemRange(records, 0, -1, &b), 1);  // whole records compared
}

TEST(ZoList, MoveItemsBetweenHeapListsKeepsOrderAndOwnership) {
  ListPtr src, dest;
  ASSERT_EQ(Create(&src, 0, 0, 0, ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP), S_OK);
  ASSERT_EQ(Create(&dest, 0, 0, 4, ZO_LIST_OWNED), S_OK);
  for (int i = 0; i < 6; ++i) ASSERT_EQ(ZoList_AllocAndInsertItem(src, &i, sizeof i, -1, nullptr), S_OK);
  int hundred = 100, twoHundred = 200;
  ASSERT_EQ(ZoList_AllocAndInsertItem(dest, &hundred, sizeof hundred, -1, nullptr), S_OK);
  ASSERT_EQ(ZoList_AllocAndInsertItem(dest, &twoHundred, sizeof twoHundred, -1, nullptr), S_OK);
  ASSERT_EQ(ZoList_MoveItemsBetweenHeapLists(dest, 1, src, 2, 3), S_OK);
  std::vector<int> keys;
  for (int i = 0; i < dest->count; ++i) keys.push_back(*static_cast<const int*>(ZoList_ItemAt(dest, i)));
  EXPECT_EQ(keys, (std::vector<int>{100, 2, 3, 4, 200}));
  EXPECT_EQ(src->count, 3);
  // The moved blocks now belong to dest: destroying src first must not free them.
  ZoList_Destroy(src.list);
  src.list = nullptr;
  EXPECT_EQ(*static_cast<const int*>(ZoList_ItemAt(dest, 1)), 2);

  ListPtr plain;
  ASSERT_EQ(Create(&plain, 0, 0, 0, 0), S_OK);
  EXPECT_EQ(ZoList_MoveItemsBetweenHeapLists(plain, 0, dest, 0, 1), E_FAIL);
  void* pending = nullptr;
  ListPtr other;
  ASSERT_EQ(Create(&other, 0, 0, 0, ZO_LIST_OWNED), S_OK);
  ASSERT_EQ(ZoList_AllocItem(other, 4, &pending), S_OK);
  EXPECT_EQ(ZoList_MoveItemsBetweenHeapLists(other, 0, dest, 0, 1), E_FAIL);
  EXPECT_EQ(ZoList_MoveItemsBetweenHeapLists(dest, 0, other, 0, 0), S_OK);  // nothing to move
}

TEST(ZoList, ConvertToInPlaceMovesTheHeader) {
  ZoList* list = nullptr;
  ASSERT_EQ(ZoList_CreateExZ(&list, 0, 0, 0, ZO_LIST_LOCKED), S_OK);
  AppendValues(list, {1, 2});
  ZoList storage;
  ASSERT_EQ(ZoList_ConvertToInPlace(&list, &storage), S_OK);
  EXPECT_EQ(list, nullptr);
  EXPECT_NE(ZoList_GetCreateOptions(&storage) & ZO_LIST_CALLER_HEADER, 0u);
  AppendValues(&storage, {3});
  EXPECT_EQ(Values(&storage), (std::vector<intptr_t>{1, 2, 3}));
  ZoList* again = &storage;
  ZoList other;
  EXPECT_EQ(ZoList_ConvertToInPlace(&again, &other), E_FAIL);
  EXPECT_EQ(ZoList_ConvertToInPlace(nullptr, &other), E_INVALIDARG);
  EXPECT_EQ(ZoList_Destroy(&storage), S_OK);
}

TEST(ZoList, AccessorsAndUserData) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, 0), S_OK);
  EXPECT_EQ(ZoList_SetUserData(l, 11), 0);
  EXPECT_EQ(ZoList_SetUserData(l, 22), 11);
  EXPECT_EQ(ZoList_GetUserData(l), 22);
  EXPECT_EQ(ZoList_GetThreadOwner(l), plat::CurrentThreadId());
  EXPECT_EQ(ZoList_SetThreadOwner(l, 1234), S_OK);
  EXPECT_EQ(ZoList_GetThreadOwner(l), 1234u);
  EXPECT_EQ(ZoList_SetThreadOwner(l, 0), S_OK);
  EXPECT_EQ(ZoList_GetThreadOwner(l), plat::CurrentThreadId());
  AppendValues(l, {1});
  EXPECT_TRUE(ZoList_IsValidIndexSlow(l, 0));
  EXPECT_FALSE(ZoList_IsValidIndexSlow(l, 1));
  EXPECT_FALSE(ZoList_IsValidIndexSlow(l, -1));
  ZoChar file[4] = {u'x', u'x', u'x', u'x'};
  int line = 5;
  EXPECT_EQ(ZoList_GetFileAndLine(l, file, &line), -1);
  EXPECT_EQ(file[0], 0);
  EXPECT_EQ(ZoList_Destroy(nullptr), S_OK);
}

TEST(ZoList, LockedListSerialisesConcurrentInserts) {
  ListPtr l;
  ASSERT_EQ(Create(&l, 0, 0, 0, ZO_LIST_LOCKED | ZO_LIST_OWNED), S_OK);
  constexpr int kPerThread = 2000;
  auto body = [&] {
    for (int i = 0; i < kPerThread; ++i) ZoList_AllocAndInsertItem(l, &i, sizeof i, 0, nullptr);
  };
  {
    plat::Thread a, b;
    ASSERT_TRUE(a.Start(body));
    ASSERT_TRUE(b.Start(body));
  }
  EXPECT_EQ(l->count, 2 * kPerThread);
  EXPECT_EQ(l->pendingItem, nullptr);
}

TEST(ZoList, MovesBetweenTwoLockedListsInBothDirectionsAtOnceDoNotDeadlock) {
  // One thread moves a -> b while another moves b -> a: with the two locks taken
  // in call order each thread could hold one and wait for the other forever
  // (ThreadSanitizer reports the inverted order even when the timing is lucky).
  ListPtr a, b;
  ASSERT_EQ(Create(&a, 0, 0, 0, ZO_LIST_LOCKED | ZO_LIST_OWNED), S_OK);
  ASSERT_EQ(Create(&b, 0, 0, 0, ZO_LIST_LOCKED | ZO_LIST_OWNED | ZO_LIST_PRIVATE_HEAP), S_OK);
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(ZoList_AllocAndInsertItem(a, &i, sizeof i, -1, nullptr), S_OK);
    ASSERT_EQ(ZoList_AllocAndInsertItem(b, &i, sizeof i, -1, nullptr), S_OK);
  }
  constexpr int kRounds = 3000;
  {
    plat::Thread forth, back;
    ASSERT_TRUE(forth.Start([&] {
      for (int i = 0; i < kRounds; ++i) ZoList_MoveItemsBetweenHeapLists(b, 0, a, 0, 1);
    }));
    ASSERT_TRUE(back.Start([&] {
      for (int i = 0; i < kRounds; ++i) ZoList_MoveItemsBetweenHeapLists(a, -1, b, 0, 1);
    }));
  }
  EXPECT_EQ(a->count + b->count, 128);
}

}  // namespace
