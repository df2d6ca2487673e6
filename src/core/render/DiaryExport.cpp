#include "DiaryExport.h"

#include "BodyFilter.h"
#include "NodePage.h"
#include "app/Escaping.h"
#include "app/OrvError.h"
#include "app/RunControl.h"
#include "store/DiaryRows.h"
#include "store/PageRows.h"
#include "tree/NodeKey.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Stored dates ("yyyy-MM-dd hh:mm:ss") in ISO form; other values as they are.
QJsonValue jsonValue(const QVariant& value) {
    const QDateTime moment = QDateTime::fromString(value.toString(), u"yyyy-MM-dd hh:mm:ss"_s);
    if (value.typeId() == QMetaType::QString && moment.isValid()) {
        return moment.toString(Qt::ISODate);
    }
    return QJsonValue::fromVariant(value);
}

// A JSON string literal, quotes included.
QString jsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2)); // the one item of ["…"]
}

QJsonObject jsonRow(const QVariantMap& row) {
    QJsonObject object;
    for (auto field = row.cbegin(); field != row.cend(); ++field) {
        object.insert(field.key(), jsonValue(field.value()));
    }
    return object;
}

class OutputFile {
public:
    explicit OutputFile(const QString& path)
        : m_file(path) {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            throw OrvError(u"Не могу записать файл "_s + path + u" ("_s + m_file.errorString() +
                           u')');
        }
    }
    void write(const QString& text) {
        const QByteArray bytes = text.toUtf8();
        if (m_file.write(bytes) != bytes.size()) {
            throw OrvError(u"Не могу записать файл "_s + m_file.fileName() + u" ("_s +
                           m_file.errorString() + u')');
        }
    }

private:
    QFile m_file;
};

QString indexLine(const QVariantMap& post, const QString& page, size_t comments) {
    const QString header = post.value(u"Header"_s).toString().trimmed();
    const QString title = header.isEmpty() ? u"Без заголовка"_s : BodyFilter::safe(header);
    const QDateTime date =
        QDateTime::fromString(post.value(u"Messagedate"_s).toString(), u"yyyy-MM-dd hh:mm:ss"_s);
    return u"<tr><td>"_s + date.toString(u"dd.MM.yyyy hh:mm"_s) + u"</td><td><a href=\""_s + page +
           u"\">"_s + title + u"</a></td><td>"_s + QString::number(comments) + u"</td></tr>\n"_s;
}

} // namespace

DiaryExport::DiaryExport(Database& db, QString site, PageBuilder::BodyConverter wordProcessor)
    : m_db(db)
    , m_site(std::move(site))
    , m_wordProcessor(std::move(wordProcessor)) {}

int DiaryExport::write(const QString& owner, const QString& folder, const RunControl& control) {
    if (!QDir().mkpath(folder)) {
        throw OrvError(u"Не могу создать папку "_s + folder);
    }
    const QDir out(folder);
    DiaryRows diary(m_db);
    PageRows rows(m_db);
    const std::vector<DiaryRows::PostKey> posts = diary.posts(owner);
    const QString name = Escaping::htmlAttribute(owner);
    OutputFile index(out.filePath(u"index.html"_s));
    index.write(
        u"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Дневник "_s + name +
        u"</title>\n<style>body {font-family: Verdana, sans-serif} th, td {padding: 2px 10px; "
        u"text-align: left}</style></head>\n<body><h1>Дневник "_s +
        name + u"</h1>\n<table>\n<tr><th>Дата</th><th>Заголовок</th><th>Комментарии</th></tr>\n"_s);
    OutputFile json(out.filePath(u"diary.json"_s));
    json.write(u"{\"diary\":"_s + jsonString(owner) + u",\"posts\":[\n"_s);
    int written = 0;
    for (const DiaryRows::PostKey& key : posts) {
        if (control.cancelled()) {
            break;
        }
        const QString page = u"post-"_s + QString::number(key.thisId) + u".html"_s;
        PageBuilder pages(out.filePath(page), m_site, m_wordProcessor);
        NodePage(rows, pages).show(NodeKey::post(key.postId, key.thisId));
        const QVariantMap post = diary.post(key.thisId);
        const std::vector<QVariantMap> comments = diary.commentsOf(key.postId);
        index.write(indexLine(post, page, comments.size()));
        QJsonObject object = jsonRow(post);
        QJsonArray commentObjects;
        for (const QVariantMap& comment : comments) {
            commentObjects.append(jsonRow(comment));
        }
        object.insert(u"comments"_s, commentObjects);
        json.write((written == 0 ? QString() : u",\n"_s) +
                   QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        control.progress(++written, int(posts.size()));
    }
    index.write(u"</table>\n</body></html>\n"_s);
    json.write(u"\n]}\n"_s);
    return written;
}

} // namespace orv
