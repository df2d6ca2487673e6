#include "EditorHtml.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

using namespace Qt::StringLiterals;

namespace orv::EditorHtml {
namespace {

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;"_s;
            break;
        case u'<':
            out += u"&lt;"_s;
            break;
        case u'>':
            out += u"&gt;"_s;
            break;
        case QChar::LineSeparator:
        case QChar::ParagraphSeparator:
            out += u"<br>"_s;
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString attribute(const QString& name, QString value) {
    return u' ' + name + u"='"_s + value.replace(u'\'', u"%27"_s) + u'\'';
}

QString fontFace(const QTextCharFormat& format) {
    if (format.hasProperty(QTextFormat::FontFamilies)) {
        return format.fontFamilies().toStringList().value(0);
    }
    return {};
}

// A link shows in the link colour, underlined; that is how the editor shows
// links, not formatting of the text.
bool isLinkStyle(const QTextCharFormat& format) {
    return format.isAnchor() &&
           format.foreground().color() == QGuiApplication::palette().link().color();
}

QString fragmentHtml(const QString& text, const QTextCharFormat& format) {
    const bool link = format.isAnchor() && !format.anchorHref().isEmpty();
    QString fontAttributes;
    if (const QString face = fontFace(format); !face.isEmpty()) {
        fontAttributes += attribute(u"face"_s, face);
    }
    if (format.hasProperty(QTextFormat::FontSizeAdjustment)) {
        const int size = std::clamp(format.intProperty(QTextFormat::FontSizeAdjustment) + 3, 1, 7);
        fontAttributes += attribute(u"size"_s, QString::number(size));
    }
    if (format.hasProperty(QTextFormat::ForegroundBrush) && !isLinkStyle(format)) {
        fontAttributes += attribute(u"color"_s, u'#' + colourText(format.foreground().color()));
    }
    QString open, close;
    const auto wrap = [&](const QString& tag, const QString& attributes = {}) {
        open += u'<' + tag + attributes + u'>';
        close.prepend(u"</"_s + tag + u'>');
    };
    if (link) {
        wrap(u"a"_s, attribute(u"href"_s, format.anchorHref()));
    }
    if (!fontAttributes.isEmpty()) {
        wrap(u"font"_s, fontAttributes);
    }
    if (format.hasProperty(QTextFormat::FontWeight) && format.fontWeight() >= QFont::Bold) {
        wrap(u"b"_s);
    }
    if (format.fontItalic()) {
        wrap(u"i"_s);
    }
    if (format.fontUnderline() && !(link && isLinkStyle(format))) {
        wrap(u"u"_s);
    }
    return open + escaped(text) + close;
}

} // namespace

QString bodyOf(const QTextDocument& document) {
    QString html;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            html += u"<br>"_s;
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid()) {
                html += fragmentHtml(fragment.text(), fragment.charFormat());
            }
        }
    }
    return html;
}

void setFontSize(QTextCharFormat& format, int size) {
    format.setProperty(QTextFormat::FontSizeAdjustment, std::clamp(size, 1, 7) - 3);
}

QString colourText(const QColor& colour) {
    return colour.name(QColor::HexRgb).mid(1).toUpper();
}

} // namespace orv::EditorHtml
