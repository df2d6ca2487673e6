#include "LoginCheck.h"

#include "app/OrvError.h"
#include "decode/ResultDocument.h"
#include "exchange/RequestDocuments.h"
#include "exchange/ServerErrors.h"
#include "exchange/Transport.h"

using namespace Qt::StringLiterals;

namespace orv {

QString LoginCheck::run(const Session& session) {
    const QString answer = Transport(session).exchange(RequestDocuments::getRel(session.settings));
    if (answer.isEmpty()) {
        return u"Запрос к серверу не выполнен."_s;
    }
    const auto document = ResultDocument::parse(answer);
    if (!document) {
        return u"Получен нарушенный XML файл"_s;
    }
    try {
        const QString code = document->refusal();
        return ResultDocument::isError(code) ? ServerErrorText(code) : Accepted;
    } catch (const OrvError& error) {
        return error.text();
    }
}

} // namespace orv
