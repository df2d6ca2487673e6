#include "Escaping.h"

#include <QList>
#include <algorithm>
#include <array>
#include <iterator>
#include <span>
#include <string_view>

using namespace Qt::StringLiterals;

namespace orv::Escaping {
namespace {

struct Named {
    std::string_view name;
    char16_t code;
};

// Sorted by name (byte order), for a binary search.
constexpr Named kNamed[] = {
    {"AElig", 198},    {"Aacute", 193},  {"Acirc", 194},   {"Agrave", 192},  {"Alpha", 913},
    {"Aring", 197},    {"Atilde", 195},  {"Auml", 196},    {"Beta", 914},    {"Ccedil", 199},
    {"Chi", 935},      {"Dagger", 8225}, {"Delta", 916},   {"ETH", 208},     {"Eacute", 201},
    {"Ecirc", 202},    {"Egrave", 200},  {"Epsilon", 917}, {"Eta", 919},     {"Euml", 203},
    {"Gamma", 915},    {"Iacute", 205},  {"Icirc", 206},   {"Igrave", 204},  {"Iota", 921},
    {"Iuml", 207},     {"Kappa", 922},   {"Lambda", 923},  {"Mu", 924},      {"Ntilde", 209},
    {"Nu", 925},       {"OElig", 338},   {"Oacute", 211},  {"Ocirc", 212},   {"Ograve", 210},
    {"Omega", 937},    {"Omicron", 927}, {"Oslash", 216},  {"Otilde", 213},  {"Ouml", 214},
    {"Phi", 934},      {"Pi", 928},      {"Prime", 8243},  {"Psi", 936},     {"Rho", 929},
    {"Scaron", 352},   {"Sigma", 931},   {"THORN", 222},   {"Tau", 932},     {"Theta", 920},
    {"Uacute", 218},   {"Ucirc", 219},   {"Ugrave", 217},  {"Upsilon", 933}, {"Uuml", 220},
    {"Xi", 926},       {"Yacute", 221},  {"Yuml", 376},    {"Zeta", 918},    {"aacute", 225},
    {"acirc", 226},    {"acute", 180},   {"aelig", 230},   {"agrave", 224},  {"alefsym", 8501},
    {"alpha", 945},    {"amp", 38},      {"and", 8743},    {"ang", 8736},    {"apos", 39},
    {"aring", 229},    {"asymp", 8776},  {"atilde", 227},  {"auml", 228},    {"bdquo", 8222},
    {"beta", 946},     {"brvbar", 166},  {"bull", 8226},   {"cap", 8745},    {"ccedil", 231},
    {"cedil", 184},    {"cent", 162},    {"chi", 967},     {"circ", 710},    {"clubs", 9827},
    {"cong", 8773},    {"copy", 169},    {"crarr", 8629},  {"cup", 8746},    {"curren", 164},
    {"dArr", 8659},    {"dagger", 8224}, {"darr", 8595},   {"deg", 176},     {"delta", 948},
    {"diams", 9830},   {"divide", 247},  {"eacute", 233},  {"ecirc", 234},   {"egrave", 232},
    {"empty", 8709},   {"emsp", 8195},   {"ensp", 8194},   {"epsilon", 949}, {"equiv", 8801},
    {"eta", 951},      {"eth", 240},     {"euml", 235},    {"euro", 8364},   {"exist", 8707},
    {"fnof", 402},     {"forall", 8704}, {"frac12", 189},  {"frac14", 188},  {"frac34", 190},
    {"frasl", 8260},   {"gamma", 947},   {"ge", 8805},     {"gt", 62},       {"hArr", 8660},
    {"harr", 8596},    {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237},  {"icirc", 238},
    {"iexcl", 161},    {"igrave", 236},  {"image", 8465},  {"infin", 8734},  {"int", 8747},
    {"iota", 953},     {"iquest", 191},  {"isin", 8712},   {"iuml", 239},    {"kappa", 954},
    {"lArr", 8656},    {"lambda", 955},  {"lang", 9001},   {"laquo", 171},   {"larr", 8592},
    {"lceil", 8968},   {"ldquo", 8220},  {"le", 8804},     {"lfloor", 8970}, {"lowast", 8727},
    {"loz", 9674},     {"lrm", 8206},    {"lsaquo", 8249}, {"lsquo", 8216},  {"lt", 60},
    {"macr", 175},     {"mdash", 8212},  {"micro", 181},   {"middot", 183},  {"minus", 8722},
    {"mu", 956},       {"nabla", 8711},  {"nbsp", 160},    {"ndash", 8211},  {"ne", 8800},
    {"ni", 8715},      {"not", 172},     {"notin", 8713},  {"nsub", 8836},   {"ntilde", 241},
    {"nu", 957},       {"oacute", 243},  {"ocirc", 244},   {"oelig", 339},   {"ograve", 242},
    {"oline", 8254},   {"omega", 969},   {"omicron", 959}, {"oplus", 8853},  {"or", 8744},
    {"ordf", 170},     {"ordm", 186},    {"oslash", 248},  {"otilde", 245},  {"otimes", 8855},
    {"ouml", 246},     {"para", 182},    {"part", 8706},   {"permil", 8240}, {"perp", 8869},
    {"phi", 966},      {"pi", 960},      {"piv", 982},     {"plusmn", 177},  {"pound", 163},
    {"prime", 8242},   {"prod", 8719},   {"prop", 8733},   {"psi", 968},     {"quot", 34},
    {"rArr", 8658},    {"radic", 8730},  {"rang", 9002},   {"raquo", 187},   {"rarr", 8594},
    {"rceil", 8969},   {"rdquo", 8221},  {"real", 8476},   {"reg", 174},     {"rfloor", 8971},
    {"rho", 961},      {"rlm", 8207},    {"rsaquo", 8250}, {"rsquo", 8217},  {"sbquo", 8218},
    {"scaron", 353},   {"sdot", 8901},   {"sect", 167},    {"shy", 173},     {"sigma", 963},
    {"sigmaf", 962},   {"sim", 8764},    {"spades", 9824}, {"sub", 8834},    {"sube", 8838},
    {"sum", 8721},     {"sup", 8835},    {"sup1", 185},    {"sup2", 178},    {"sup3", 179},
    {"supe", 8839},    {"szlig", 223},   {"tau", 964},     {"there4", 8756}, {"theta", 952},
    {"thetasym", 977}, {"thinsp", 8201}, {"thorn", 254},   {"tilde", 732},   {"times", 215},
    {"trade", 8482},   {"uArr", 8657},   {"uacute", 250},  {"uarr", 8593},   {"ucirc", 251},
    {"ugrave", 249},   {"uml", 168},     {"upsih", 978},   {"upsilon", 965}, {"uuml", 252},
    {"weierp", 8472},  {"xi", 958},      {"yacute", 253},  {"yen", 165},     {"yuml", 255},
    {"zeta", 950},     {"zwj", 8205},    {"zwnj", 8204},
};

constexpr bool byName(const Named& a, const Named& b) {
    return a.name < b.name;
}
static_assert(std::is_sorted(std::begin(kNamed), std::end(kNamed), byName));

constexpr qsizetype kLongestName = 8; // "thetasym"

// XML's predefined entities; HTML reads the first four in any case.
constexpr Named kMarkup[] = {
    {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}};

// What browsers show for the references 128 to 159: Windows-1252.
constexpr std::array<char16_t, 32> kWindows1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// A character and what it is written as; characters not listed stay.
struct Replacement {
    char16_t character;
    QStringView text;
};

constexpr Replacement kXml[] = {
    {u'&', u"&amp;"}, {u'<', u"&lt;"}, {u'>', u"&gt;"}, {u'\'', u"&apos;"}, {u'"', u"&quot;"}};
constexpr Replacement kHtmlAttribute[] = {
    {u'&', u"&amp;"}, {u'<', u"&lt;"}, {u'>', u"&gt;"}, {u'\'', u"&#39;"}, {u'"', u"&quot;"}};

template <size_t N>
QString replaced(QStringView text, const Replacement (&table)[N], bool (*fits)(char32_t)) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const char32_t c : text.toUcs4()) {
        const auto* found = std::find_if(std::begin(table), std::end(table),
                                         [c](const Replacement& r) { return r.character == c; });
        if (found != std::end(table)) {
            out += found->text;
        } else if (fits && !fits(c)) {
            out += numericReference(c);
        } else {
            out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

bool isAsciiLetterOrDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
}

int digitValue(QChar c, bool hex) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (hex && u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (hex && u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

bool isCharacter(char32_t code) {
    return code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

// A reference at the start of the text (which starts with "&").
struct Reference {
    char32_t code = 0; // 0: none
    qsizetype length = 0;
};

Reference numericAt(QStringView text, Names names) {
    const bool hex = text.size() > 2 && (text[2] == u'x' || text[2] == u'X');
    qsizetype i = hex ? 3 : 2;
    const qsizetype firstDigit = i;
    char32_t code = 0;
    for (int digit = 0; i < text.size() && (digit = digitValue(text[i], hex)) >= 0; ++i) {
        code = code * (hex ? 16 : 10) + char32_t(digit);
        if (code > 0x10FFFF) {
            return {};
        }
    }
    if (i == firstDigit || i >= text.size() || text[i] != u';' || !isCharacter(code)) {
        return {};
    }
    if (names == Names::Html && code >= 0x80 && code <= 0x9F) {
        code = kWindows1252[code - 0x80];
    }
    return {code, i + 1};
}

Reference namedAt(QStringView text, Names names) {
    qsizetype i = 1;
    while (i < text.size() && i <= kLongestName && isAsciiLetterOrDigit(text[i])) {
        ++i;
    }
    if (i == 1 || i >= text.size() || text[i] != u';') {
        return {};
    }
    const char32_t code = named(text.sliced(1, i - 1), names);
    return code ? Reference{code, i + 1} : Reference{};
}

Reference referenceAt(QStringView text, Names names) {
    if (text.size() < 3) {
        return {};
    }
    return text[1] == u'#' ? numericAt(text, names) : namedAt(text, names);
}

void appendCode(QString& out, char32_t code) {
    if (QChar::requiresSurrogates(code)) {
        out.append(QChar(QChar::highSurrogate(code)));
        out.append(QChar(QChar::lowSurrogate(code)));
    } else {
        out.append(QChar(char16_t(code)));
    }
}

} // namespace

QString xml(QStringView text) {
    return replaced(text, kXml, nullptr);
}

QString htmlAttribute(QStringView text, bool (*fits)(char32_t)) {
    return replaced(text, kHtmlAttribute, fits);
}

QString numericReference(char32_t code) {
    return u"&#"_s + QString::number(quint32(code)) + u';';
}

char32_t named(QStringView name, Names names) {
    if (name.isEmpty() || name.size() > kLongestName) {
        return 0;
    }
    std::array<char, kLongestName> buffer{};
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isAsciiLetterOrDigit(name[i])) {
            return 0;
        }
        buffer[size_t(i)] = char(name[i].unicode());
    }
    const std::string_view key(buffer.data(), size_t(name.size()));
    if (names == Names::Html) {
        const auto found =
            std::lower_bound(std::begin(kNamed), std::end(kNamed), Named{key, 0}, byName);
        if (found != std::end(kNamed) && found->name == key) {
            return found->code;
        }
    }
    // HTML reads the markup escapes in any case too: "&QUOT;" and "&Amp;".
    const Qt::CaseSensitivity cs = names == Names::Html ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (const Named& escape : std::span(kMarkup).first(names == Names::Html ? 4 : 5)) {
        if (QLatin1StringView(escape.name.data(), qsizetype(escape.name.size()))
                .compare(name, cs) == 0) {
            return escape.code;
        }
    }
    return 0;
}

QString decode(const QString& text, Names names, qsizetype limit) {
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0) {
        return text;
    }
    QString out;
    out.reserve(limit < 0 ? text.size() : qMin(text.size(), limit + 1));
    const auto room = [&] { return limit < 0 ? text.size() : limit - out.size(); };
    const QStringView all(text);
    qsizetype from = 0;
    while (amp >= 0 && room() > 0) {
        out.append(all.sliced(from, qMin(amp - from, room())));
        if (room() <= 0) {
            return out;
        }
        const Reference reference = referenceAt(all.sliced(amp), names);
        if (reference.code) {
            appendCode(out, reference.code);
            from = amp + reference.length;
        } else {
            out.append(u'&');
            from = amp + 1;
        }
        amp = text.indexOf(u'&', from);
    }
    if (room() > 0) {
        out.append(all.sliced(from, qMin(text.size() - from, room())));
    }
    return out;
}

} // namespace orv::Escaping
