#pragma once
// The real service manager and session ender of this machine, on its system
// bus. They live in the zkplatform_system library, which only the programs
// link: the test programs are built without it and cannot reach either.

#include <memory>

#include "platform/ZkServiceControl.h"
#include "platform/ZkSessionEnd.h"

namespace zk::platform {

std::unique_ptr<TZkServiceControl> SystemServiceControl();
std::unique_ptr<TZkSessionEnder> SystemSessionEnder();

}  // namespace zk::platform
