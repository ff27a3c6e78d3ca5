#pragma once
// How the programs' heap serves their threads.

namespace zk::platform {

// One heap for all threads. The compression threads allocate the data of
// the chunks they compress and the writing thread frees it; with a heap
// (arena) per thread each of them would keep what was freed of its own for
// later, and a run on many threads would hold far more memory than it uses
// at once. The threads allocate a few times per chunk, so sharing one lock
// costs nothing measurable. Called first thing in main, before any thread.
void ShareOneHeap();

}  // namespace zk::platform
