#include "StoredDate.h"

#include "app/OrvError.h"

using namespace Qt::StringLiterals;

namespace orv::StoredDate {
namespace {

const QString kStored = u"yyyy-MM-dd HH:mm:ss"_s;
const QString kService = u"dd.MM.yyyy HH:mm:ss"_s;

} // namespace

QString fromServiceText(const QString& text) {
    const QDateTime moment = QDateTime::fromString(text.trimmed(), kService);
    if (!moment.isValid()) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    return moment.toString(kStored);
}

QString toServiceText(const QString& stored) {
    const QDateTime moment = QDateTime::fromString(stored, kStored);
    return moment.isValid() ? moment.toString(kService) : stored;
}

QString fromDateTime(const QDateTime& moment) {
    return moment.toString(kStored);
}

QString now() {
    return fromDateTime(QDateTime::currentDateTime());
}

} // namespace orv::StoredDate
