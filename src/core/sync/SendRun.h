#pragma once

#include "app/Session.h"
#include "decode/SendResultsDecoder.h"
#include "exchange/Transport.h"
#include "store/Outbox.h"

#include <QString>
#include <optional>

namespace orv {

// Publishing the outbox: posts, then comments, then private messages, each
// kind in batches, every answer applied before the next batch goes out.
class SendRun {
public:
    explicit SendRun(const Session& session);

    // "Отправляю сообщения...", everything unsent, then what is still
    // waiting and "Операция завершена" ("Операция прервана" when cancelled).
    void run();

    // Sends every unsent message; a failure ends the whole procedure.
    void SendMessages();
    // Applies one answer: accepted rows become sent with the service's
    // identifiers, and the user decides on each rejected one. The changes of
    // one answer are made together.
    void MakeMessagesSent(const QString& answer);

    // A send batch size: a whole number above 0, or OrvError.
    static int batchSize(const QString& setting);

private:
    // One kind's pass; false when the run must stop (the connection failed,
    // or the user cancelled).
    bool sendKind(const QString& kind, const QString& batchSetting);
    void applyResults(const std::vector<SendResult>& results);
    // What becomes of the row a result names, or nothing (logged where the
    // user should know) for a result that changes nothing.
    std::optional<SendOutcome> acceptance(const SendResult& result);
    std::optional<SendOutcome> rejection(const SendResult& result);
    void logRefused(const std::vector<std::pair<SendOutcome, QString>>& refused);
    // Yes keeps a rejected row for editing, No deletes it.
    bool keepRejected(const SendResult& result, const OutgoingMessage& row);
    void logFailure(const QString& text);
    QString waitingLine();

    Session m_session;
    Transport m_transport;
    Outbox m_outbox;
    // Messages of the run sent so far, of all found unsent at its start.
    int m_messagesDone = 0;
    int m_messagesTotal = 0;
};

} // namespace orv
