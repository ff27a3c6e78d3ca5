#include "platform/ZkMemory.h"

#include <malloc.h>

namespace zk::platform {

void ShareOneHeap() { mallopt(M_ARENA_MAX, 1); }

}  // namespace zk::platform
