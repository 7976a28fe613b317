// Test seam of the growable list; not part of the exported interface.
#pragma once

// The next `n` allocations made by list functions (header, slots, lock, item
// blocks) fail as if memory were exhausted. 0 switches it off. Process-wide;
// meant for single-threaded tests.
void ZoList_TestFailNextAllocations(int n);
