// Test seam of the growable list; not part of the exported interface.
#pragma once

// After `skip` more allocations made by list functions (header, slots, lock,
// item blocks) have succeeded, the next `n` fail as if memory were exhausted.
// n = 0 switches it off. Process-wide; meant for single-threaded tests.
void ZoList_TestFailNextAllocations(int n, int skip = 0);
