#pragma once
// The windows' own pictures (SVG, in the Qt resources ":/backup/",
// ":/controls/", ":/services/" and ":/settings/"). The resources live in a
// static library, whose object files nothing refers to, so they are
// registered by hand before the first use.

namespace zk::ui {

void LoadUiResources();

}  // namespace zk::ui
