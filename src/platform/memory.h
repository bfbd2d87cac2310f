// How the program's heap grows, and handing memory it has freed back to the system.
#pragma once

namespace listelo {

// Gives back to the system the whole pages of memory that were freed and are not in use.
// A document's tree is freed record by record while its markup is made, and the markup
// takes the memory's place; glibc's allocator keeps freed pages below the top of its heap
// unless asked, so the tree would still count in full beside its markup. Other allocators
// give such pages back by themselves: there it does nothing.
void ReturnFreedMemory();

// Makes the heap grow in steps of 16 MiB instead of glibc's 128 KiB. Editing a large
// document's records grows its tree by small pieces, and each time glibc's allocator has
// to extend its heap it first merges the small blocks freed since the last time, which are
// then found again the slow way, from bins over a heap as large as the stock: with small
// steps that happened hundreds of times in a pass and the pass grew faster than the stock.
// A step is address space until it is used. With other allocators it does nothing.
// Called once, at start.
void GrowHeapInLargeSteps();

}  // namespace listelo
