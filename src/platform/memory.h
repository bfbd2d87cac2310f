// Handing memory the program has freed back to the system.
#pragma once

namespace listelo {

// Gives back to the system the whole pages of memory that were freed and are not in use.
// A document's tree is freed record by record while its markup is made, and the markup
// takes the memory's place; glibc's allocator keeps freed pages below the top of its heap
// unless asked, so the tree would still count in full beside its markup. Other allocators
// give such pages back by themselves: there it does nothing.
void ReturnFreedMemory();

}  // namespace listelo
