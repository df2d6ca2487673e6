#pragma once

#include "app/Session.h"

#include <QString>

namespace orv {

// Whether the service accepts an account, in one exchange: the friends list
// is asked for, and nothing of the answer is stored.
class LoginCheck {
public:
    static inline const QString Accepted = QStringLiteral("Вход выполнен");

    // Accepted, the service's words for its refusal, or why no usable answer
    // came (a lost connection is also reported the way every run reports it).
    static QString run(const Session& session);
};

} // namespace orv
