#pragma once

#include "app/Session.h"
#include "decode/SendResultsDecoder.h"
#include "exchange/Transport.h"
#include "store/Outbox.h"

#include <QString>
#include <optional>
#include <vector>

namespace orv {

// Publishing the outbox: posts, then comments, then private messages, each
// kind in batches, every answer applied before the next batch goes out.
//
// A message is published at most once unless the user says otherwise: a
// batch is marked handed over in the store before it goes out, and only an
// applied answer clears the mark. A row whose answer was lost stays in doubt;
// a receive that brings it back settles it, and the send run asks before
// sending it again.
class SendRun {
public:
    // Whether a message in doubt may be offered for sending again: an
    // automatic check leaves such messages to the user's own send.
    enum class InDoubt { Ask, Keep };

    explicit SendRun(const Session& session, InDoubt inDoubt = InDoubt::Ask);

    // "Отправляю сообщения...", everything unsent, then what is still
    // waiting and "Операция завершена" ("Операция прервана" when cancelled).
    void run();

    // Sends every unsent message; a failure ends the whole procedure.
    void SendMessages();
    // Applies the answer to the batch it answers: accepted rows become sent
    // with the service's identifiers, the user decides on each rejected one,
    // and a result naming a message outside the batch changes nothing.
    // Returns how many messages of the batch the answer spoke of.
    qsizetype MakeMessagesSent(const QString& answer, const std::vector<OutgoingMessage>& batch);

    // Asks about each rejected message that waits for a decision (kept or
    // deleted); returns how many were decided.
    int decidePending();

    // A send batch size: a whole number above 0, or OrvError.
    static int batchSize(const QString& setting);

    // What the in-doubt question calls a message: its title, or the first
    // words of its text.
    static QString shortTitle(const OutgoingMessage& message);

private:
    // One kind's pass; false when the run must stop (the connection failed,
    // or the user cancelled).
    bool sendKind(MessageRef::Kind kind, const QString& batchSetting);
    // The kind's unsent rows for this run: one in doubt only when the user
    // says it may go out again.
    std::vector<qint64> keysToSend(MessageRef::Kind kind);
    void sendBatch(const std::vector<OutgoingMessage>& batch);
    qsizetype applyResults(const std::vector<SendResult>& results,
                           const std::vector<OutgoingMessage>& batch);
    // What becomes of the row a result names, or nothing (logged where the
    // user should know) for a result that changes nothing.
    std::optional<SendOutcome> acceptance(const SendResult& result);
    std::optional<SendOutcome> rejection(const SendResult& result);
    void logRefused(const std::vector<std::pair<SendOutcome, QString>>& refused);
    // Yes keeps a rejected row for editing, No deletes it.
    bool keepRejected(const QString& code, const OutgoingMessage& row);
    void logFailure(const QString& text);
    QString waitingLine();

    Session m_session;
    const InDoubt m_inDoubt;
    Transport m_transport;
    Outbox m_outbox;
    // Messages of the run sent so far, of all found unsent at its start.
    int m_messagesDone = 0;
    int m_messagesTotal = 0;
};

} // namespace orv
