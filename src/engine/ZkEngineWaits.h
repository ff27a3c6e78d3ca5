#pragma once
// The engine's fixed waits, in milliseconds. All but the idle poll are
// throttling: they keep a run from loading the disk and the processor, and
// a run without throttling skips them.

namespace zk {

// The poll interval of a pass that finds no due job.
inline constexpr int kIdleWaitMs = 3000;
// Every folder visit of the file collection begins with this pause.
inline constexpr int kFolderWaitMs = 200;
// Before each file of a copy run's list; after each file of an archive's
// list and before each of its compression reports.
inline constexpr int kItemWaitMs = 100;
// Each progress report of a file copy is followed by this pause.
inline constexpr int kReportWaitMs = 100;

}  // namespace zk
