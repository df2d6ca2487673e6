#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace orv {

// One element of a parsed answer: its name, attributes, own text and child
// elements. Answers are small trees of short texts, so a plain value type
// serves better than a document object model.
struct XmlElement {
    QString name;
    std::vector<std::pair<QString, QString>> attributes;
    QString ownText; // character data directly inside the element
    std::vector<XmlElement> children;

    bool hasAttribute(const QString& attributeName) const;
    QString attribute(const QString& attributeName) const;

    // The first child element of the name, or nullptr.
    const XmlElement* child(const QString& childName) const;
    std::vector<const XmlElement*> childrenNamed(const QString& childName) const;

    // Every text inside the element, its descendants' included, in order.
    QString text() const;
    // Child elements or text other than blanks: the element says something.
    bool hasContent() const;
};

} // namespace orv
