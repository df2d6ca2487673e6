#pragma once

#include <QIcon>

namespace orv::AppIcon {

// The program's icon: a diary page with the letter К, drawn at every size the
// window manager and the notification area ask for.
QIcon program();
// The friends window's icon, the same page in orange; the notification-area
// icon alternates with it while the tree holds new items.
QIcon friends();

} // namespace orv::AppIcon
