// The programs' threads allocate from one heap.

#include "platform/ZkMemory.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <thread>

#include "support/ZkSanitizedMemory.h"

namespace zk::platform {
namespace {

// mallinfo2 counts the main heap only: a thread's buffer shows there when
// the threads share it, and not when the thread has a heap of its own.
TEST(ZkMemory, ABufferOfAnotherThreadComesFromTheMainHeap) {
#ifdef ZK_SANITIZED_MEMORY
  GTEST_SKIP() << "a sanitizer's allocator keeps its own heap";
#endif
  ShareOneHeap();
  constexpr std::size_t kSize = 64 << 10;  // below the size that is mapped on its own
  const std::size_t before = mallinfo2().uordblks;
  void* buffer = nullptr;
  std::thread([&buffer] { buffer = std::malloc(kSize); }).join();
  ASSERT_NE(buffer, nullptr);
  EXPECT_GE(mallinfo2().uordblks, before + kSize);
  std::free(buffer);
}

}  // namespace
}  // namespace zk::platform
