#pragma once
// How the programs' heap treats large buffers.

namespace zk::platform {

// Buffers of a MiB and more (the compression chunks) are mapped on their
// own and given back to the system when freed. The heap would otherwise
// keep what each compression thread freed in that thread's arena, and a run
// on many threads would hold several times the memory it uses at once.
void ReturnLargeBuffersAtOnce();

}  // namespace zk::platform
