#pragma once
// Set when a sanitizer's allocator and shadow memory are in the program:
// its quarantine keeps freed buffers resident, so the resident memory says
// nothing about what the code itself keeps. Memory bounds are checked in
// the plain builds.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZK_SANITIZED_MEMORY 1
#endif
#endif
#if !defined(ZK_SANITIZED_MEMORY) && (defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__))
#define ZK_SANITIZED_MEMORY 1
#endif
