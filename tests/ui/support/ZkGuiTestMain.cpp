// The main() of every window test: one application object on the offscreen
// platform, then the tests.

#include <gtest/gtest.h>

#include <QtGlobal>

#include "ui/app/ZkApplication.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  zk::ui::TZkApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
