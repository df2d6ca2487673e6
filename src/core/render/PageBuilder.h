#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace orv {

// What a page shows of one post, comment or private message.
struct MessagePage {
    QString messageDate; // dd.MM.yyyy hh:mm:ss
    QString author;
    QString title;
    QString body; // the service's markup
    QString kind; // "Post", "Comment" or "Private"
    QString journalId;
    QString postId;
    QString commentId;
    QString attachment;
    QString downloadDate;
};

// Writes the page shown in the view (tmp/out.htm) line by line, in
// Windows-1251; a character the code page cannot hold is written as a numeric
// reference. Links point at the service's web address. Throws OrvError when
// the file cannot be written.
class PageBuilder {
public:
    using BodyConverter = std::function<QString(const QString&)>;

    PageBuilder(QString pagePath, QString site, BodyConverter wordProcessor);

    // Dates on the pages are the service's plus these hours (the local time).
    void setTimeOffset(int hours) { m_offsetHours = hours; }

    void BuildMessagePage(const MessagePage& message);
    void AddCommentToPage(const MessagePage& comment);
    void ClosePage();
    void BuildDiaryPage(const QString& owner, const QString& journalId);

private:
    QString attachmentBlock(const QString& attachment) const;
    void write(const QStringList& lines, bool append);

    QString m_pagePath;
    QString m_site;
    BodyConverter m_wordProcessor;
    int m_offsetHours = 0;
};

} // namespace orv
