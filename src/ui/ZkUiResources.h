#pragma once
// The windows' own pictures (SVG, in a Qt resource under ":/backup/"). The
// resource lives in a static library, so it is registered by hand before
// the first use.

namespace zk::ui {

void LoadUiResources();

}  // namespace zk::ui
