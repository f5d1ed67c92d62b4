// Allocation fault injection for the tests. The test program is linked with
// --wrap for malloc, calloc, realloc, free and every operator new and
// delete, so that each allocation made by the code of this program goes
// through the hooks here (not those made inside the shared C++ library).
// While armed, the hooks number the allocations, make the chosen one fail
// as if memory were exhausted (nullptr, or std::bad_alloc from a throwing
// operator new), and keep the blocks from malloc, realloc and the nothrow
// operator new that are still live. The allocations of every thread are
// numbered, in the order they come.
#pragma once

#include <cstddef>

namespace tavrel::testing {

// Starts numbering allocations from 1 and fails number `failAt` (0: none).
void armAllocations(long failAt);

// Stops numbering. Returns how many allocations were numbered.
long disarmAllocations();

// Blocks allocated while armed and not freed yet.
std::size_t liveAllocations();

}  // namespace tavrel::testing
