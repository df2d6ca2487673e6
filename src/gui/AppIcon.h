#pragma once

#include <QIcon>

namespace orv::AppIcon {

// The program's icon: a diary page with the letter К, drawn at every size the
// window manager and the notification area ask for.
QIcon program();

} // namespace orv::AppIcon
