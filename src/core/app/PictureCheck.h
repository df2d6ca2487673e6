#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace orv {

// Whether a fetched file is a picture the program can show. The window and
// the command line give a check that decodes it (the logic links no GUI
// module); every file must also start like a picture.
using PictureCheck = std::function<bool(const QString& path)>;

namespace PictureSignature {

// PNG, JPEG, GIF, BMP or WebP, by the first bytes of the file.
bool looksLikePicture(const QByteArray& head);

} // namespace PictureSignature
} // namespace orv
