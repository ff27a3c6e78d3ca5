#pragma once
// What a long step of a run asks of the engine that runs it: whether it
// should end early, and the engine's throttling wait.

namespace zk {

class TZkRunControl {
public:
  virtual ~TZkRunControl() = default;
  virtual bool StopRequested() const = 0;
  virtual bool Terminated() const = 0;
  // One of the engine's fixed waits; the engine may have them switched off.
  virtual void Wait(int milliseconds) = 0;
};

}  // namespace zk
