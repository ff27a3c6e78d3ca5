#pragma once
// Waiting in a window test while the event loop runs. Qt Test's QTRY_
// macros report a failure by returning from the function, which GoogleTest
// takes for a pass: these fail the test instead.

#include <gtest/gtest.h>

#include <QTest>

// Runs events until `condition` holds; fails the test (and returns from it)
// after five seconds.
#define ZK_WAIT_FOR(condition) \
  ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, 5000)) << "waited for " #condition
