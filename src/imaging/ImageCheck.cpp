#include "ImageCheck.h"

#include <QImage>
#include <QImageReader>

namespace orv::ImageCheck {

bool decodes(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        return false;
    }
    // A picture larger than any screen is refused before it is decoded.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > 100'000'000) {
        return false;
    }
    return !reader.read().isNull();
}

} // namespace orv::ImageCheck
