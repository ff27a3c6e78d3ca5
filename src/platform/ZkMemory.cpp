#include "platform/ZkMemory.h"

#include <malloc.h>

namespace zk::platform {

void ReturnLargeBuffersAtOnce() {
  // A fixed threshold also stops glibc from raising it after the first
  // large free, which is what moves such buffers into the arenas.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

}  // namespace zk::platform
