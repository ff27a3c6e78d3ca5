#pragma once
// Ending the session through logind over D-Bus: power off and shut down are
// PowerOff, restart is Reboot, log off terminates this session ("auto").
// logind forces nothing, so the force flags change nothing here. The
// privilege step asks CanPowerOff or CanReboot: only "yes" grants it, since
// "challenge" would need an answer nobody gives during a backup. Logging off
// one's own session needs no right.
//
// The end-of-session query holds a delay lock and asks on PrepareForShutdown;
// a delay lock cannot refuse, so the lock is let go once the query has been
// answered, whatever the answer.

#include <functional>
#include <memory>

#include "platform/ZkDbus.h"
#include "platform/ZkSessionEnd.h"

namespace zk::platform {

// Every call gets a connection of its own from the function.
std::unique_ptr<TZkSessionEnder> LogindSessionEnder(std::function<TZkDbusConnection()> connect);

}  // namespace zk::platform
