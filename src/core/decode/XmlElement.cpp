#include "XmlElement.h"

namespace orv {

bool XmlElement::hasAttribute(const QString& attributeName) const {
    for (const auto& [key, value] : attributes) {
        if (key == attributeName) {
            return true;
        }
    }
    return false;
}

QString XmlElement::attribute(const QString& attributeName) const {
    for (const auto& [key, value] : attributes) {
        if (key == attributeName) {
            return value;
        }
    }
    return {};
}

const XmlElement* XmlElement::child(const QString& childName) const {
    for (const XmlElement& element : children) {
        if (element.name == childName) {
            return &element;
        }
    }
    return nullptr;
}

std::vector<const XmlElement*> XmlElement::childrenNamed(const QString& childName) const {
    std::vector<const XmlElement*> found;
    for (const XmlElement& element : children) {
        if (element.name == childName) {
            found.push_back(&element);
        }
    }
    return found;
}

QString XmlElement::text() const {
    if (children.empty()) {
        return ownText;
    }
    // Mixed content keeps no order between text and elements; the answers
    // never mix them, and their items are leaves.
    QString all = ownText;
    for (const XmlElement& element : children) {
        all += element.text();
    }
    return all;
}

bool XmlElement::hasContent() const {
    return !children.empty() || !ownText.trimmed().isEmpty();
}

} // namespace orv
