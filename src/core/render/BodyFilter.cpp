#include "BodyFilter.h"

#include <QByteArray>
#include <algorithm>
#include <gumbo.h>
#include <memory>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace orv::BodyFilter {
namespace {

// A stretch of the source, in bytes: [first, second).
using Range = std::pair<qsizetype, qsizetype>;

enum class Verdict { Keep, DropWhole };

Verdict verdictOn(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_FORM:
        return Verdict::DropWhole;
    default:
        return Verdict::Keep;
    }
}

// The value as a browser reads an address: blanks and control characters
// inside a scheme are ignored, letters in any case.
QByteArray squeezed(const char* value) {
    QByteArray text;
    for (const char* c = value; *c; ++c) {
        if (static_cast<unsigned char>(*c) > 0x20) {
            text += char(std::tolower(static_cast<unsigned char>(*c)));
        }
    }
    return text;
}

bool unsafeValue(const QByteArray& written) {
    const QByteArray value = squeezed(written.constData());
    const auto contains = [&](const char* scheme) { return value.contains(scheme); };
    if (contains("javascript:") || contains("vbscript:") || contains("livescript:") ||
        contains("file:") || contains("expression(")) {
        return true;
    }
    // A picture written into the page is harmless; any other data is not.
    for (qsizetype at = value.indexOf("data:"); at >= 0; at = value.indexOf("data:", at + 1)) {
        const QByteArray type = value.mid(at + 5);
        if (!type.startsWith("image/") || type.startsWith("image/svg")) {
            return true;
        }
    }
    return false;
}

bool leadsAnywhereUnsafe(const GumboAttribute& attribute) {
    return QByteArray(attribute.name).toLower().startsWith("on") || // an event handler
           unsafeValue(QByteArray(attribute.value));
}

qsizetype offsetOf(const char* source, const GumboStringPiece& piece) {
    return piece.data - source;
}

// Where an element's source ends: past its end tag, or past the last thing
// inside it when the end tag is missing.
qsizetype sourceEnd(const char* source, const GumboNode* element) {
    qsizetype end = 0;
    std::vector<const GumboNode*> pending{element};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboElement& e = node->v.element;
            for (const GumboStringPiece& tag : {e.original_tag, e.original_end_tag}) {
                if (tag.length > 0) {
                    end = std::max(end, offsetOf(source, tag) + qsizetype(tag.length));
                }
            }
            for (unsigned i = 0; i < e.children.length; ++i) {
                pending.push_back(static_cast<const GumboNode*>(e.children.data[i]));
            }
        } else if (node->type != GUMBO_NODE_DOCUMENT) {
            const GumboStringPiece& text = node->v.text.original_text;
            end = std::max(end, offsetOf(source, text) + qsizetype(text.length));
        }
    }
    return end;
}

void collectAttributes(const char* source, const GumboElement& e, std::vector<Range>& cuts) {
    for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* attribute = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        if (!leadsAnywhereUnsafe(*attribute) || attribute->original_name.length == 0) {
            continue;
        }
        qsizetype from = offsetOf(source, attribute->original_name);
        const GumboStringPiece& value = attribute->original_value;
        const qsizetype to = value.length > 0 ? offsetOf(source, value) + qsizetype(value.length)
                                              : from + qsizetype(attribute->original_name.length);
        while (from > 0 && std::isspace(static_cast<unsigned char>(source[from - 1]))) {
            --from; // the blank before it goes too
        }
        cuts.emplace_back(from, to);
    }
}

// The stretches to cut out, in any order; nodes are visited without recursion,
// so no nesting depth can exhaust the stack.
std::vector<Range> cutsIn(const char* source, const GumboNode* root) {
    std::vector<Range> cuts;
    std::vector<const GumboNode*> pending{root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) {
            continue;
        }
        const GumboVector* children = node->type == GUMBO_NODE_DOCUMENT ? &node->v.document.children
                                                                        : &node->v.element.children;
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboElement& e = node->v.element;
            const bool written = e.original_tag.length > 0;
            const Verdict verdict = verdictOn(e.tag);
            if (verdict == Verdict::DropWhole && written) {
                cuts.emplace_back(offsetOf(source, e.original_tag), sourceEnd(source, node));
                continue;
            }
            if (written) {
                collectAttributes(source, e, cuts);
            }
        }
        for (unsigned i = 0; i < children->length; ++i) {
            pending.push_back(static_cast<const GumboNode*>(children->data[i]));
        }
    }
    return cuts;
}

QByteArray without(const QByteArray& source, std::vector<Range> cuts) {
    std::sort(cuts.begin(), cuts.end());
    QByteArray kept;
    kept.reserve(source.size());
    qsizetype at = 0;
    for (const auto& [from, to] : cuts) {
        if (from > at) {
            kept.append(source.constData() + at, from - at);
        }
        at = std::max(at, to);
    }
    if (at < source.size()) {
        kept.append(source.constData() + at, source.size() - at);
    }
    return kept;
}

// The parser slows down with the square of the nesting: more tags than any
// diary page holds mean a body made to freeze the reader.
constexpr qsizetype MaxTags = 5000;

qsizetype tagsIn(const QString& html) {
    qsizetype tags = 0;
    for (qsizetype at = html.indexOf(u'<'); at >= 0 && at + 1 < html.size();
         at = html.indexOf(u'<', at + 1)) {
        const QChar next = html[at + 1];
        tags += next.isLetter() || next == u'/' ? 1 : 0;
    }
    return tags;
}

// Such a body is shown as its text alone.
QString withoutTags(const QString& html) {
    const QStringView source(html);
    QString text;
    text.reserve(html.size());
    qsizetype at = 0;
    while (at < html.size()) {
        const qsizetype open = html.indexOf(u'<', at);
        if (open < 0) {
            text += source.mid(at);
            break;
        }
        text += source.mid(at, open - at);
        const bool tag =
            open + 1 < html.size() && (html[open + 1].isLetter() || html[open + 1] == u'/');
        if (!tag) {
            text += u'<';
            at = open + 1;
            continue;
        }
        const qsizetype close = html.indexOf(u'>', open);
        if (close < 0) {
            break; // an unfinished tag: what follows is inside it
        }
        at = close + 1;
    }
    return text;
}

struct OutputDeleter {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};

} // namespace

bool isSafeAddress(const QString& address) {
    return !unsafeValue(address.toUtf8());
}

QString safe(const QString& html) {
    if (!html.contains(u'<')) {
        return html; // text alone: nothing can run
    }
    if (tagsIn(html) > MaxTags) {
        return withoutTags(html);
    }
    const QByteArray source = html.toUtf8();
    const std::unique_ptr<GumboOutput, OutputDeleter> parsed(
        gumbo_parse_with_options(&kGumboDefaultOptions, source.constData(), size_t(source.size())));
    const std::vector<Range> cuts = cutsIn(source.constData(), parsed->document);
    return cuts.empty() ? html : QString::fromUtf8(without(source, cuts));
}

} // namespace orv::BodyFilter
