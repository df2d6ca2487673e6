#pragma once

#include <QString>

namespace orv::ImageCheck {

// Whether Qt decodes the file as a picture: its format is known and its first
// frame reads whole. Safe on any thread.
bool decodes(const QString& path);

} // namespace orv::ImageCheck
