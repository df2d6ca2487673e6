#include "PictureCheck.h"

namespace orv::PictureSignature {

bool looksLikePicture(const QByteArray& head) {
    return head.startsWith("\x89PNG\r\n\x1a\n") || head.startsWith("\xff\xd8\xff") ||
           head.startsWith("GIF87a") || head.startsWith("GIF89a") || head.startsWith("BM") ||
           (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

} // namespace orv::PictureSignature
