// libFuzzer target for the markup conversion: no input may crash it, hang it
// or blow up its time.
#include "app/Cp1251.h"
#include "render/Markup.h"

#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<orv::Smiley> catalogue = {
        {u":)"_s, u"http://k/1.gif"_s},     {u":-)"_s, u"http://k/2.gif"_s},
        {u")"_s, u"http://k/3.gif"_s},      {u"[b]"_s, u"http://k/[url=x].gif"_s},
        {u"*ROZA*"_s, u"http://k/r.gif"_s}, {u"gif"_s, u"http://k/g.png"_s},
    };
    // The bodies come from the service as Windows-1251 text.
    const QString text = orv::Cp1251::decode(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString html = orv::Markup::WordProcessor(text, catalogue);
    const QString encoded = orv::Markup::Text2Entities(text);
    const QString decoded = orv::Markup::Entities2Text(encoded);
    return html.size() + decoded.size() >= 0 ? 0 : 1;
}
