#pragma once
// The service control manager on systemd, over D-Bus: the units of type
// service. A service name without the ".service" suffix gets it; listed
// names are shown without it.
//
// States: inactive or failed = stopped (start pending while a job is
// queued), activating = start pending, deactivating = stop pending, active
// or reloading = running unless the freezer says freezing (pause pending),
// frozen (paused) or thawing (continue pending); a stop job queued on an
// active unit = stop pending. Pause and continue are FreezeUnit and ThawUnit
// (systemd 246 and later). There is no check point: it counts up, one per
// status read, while the unit has a job or is pending. A pending unit gives
// a short wait hint, so that a wait polls it, and as its wait limit its
// start timeout (starting, thawing) or stop timeout (stopping); freezing
// has none.

#include <functional>
#include <memory>

#include "platform/ZkDbus.h"
#include "platform/ZkServiceControl.h"

namespace zk::platform {

// Each manager opened gets a connection of its own from the function.
std::unique_ptr<TZkServiceControl> SystemdServiceControl(std::function<TZkDbusConnection()> connect);

}  // namespace zk::platform
