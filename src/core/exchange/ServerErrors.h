#pragma once

#include <QString>

namespace orv {

// The message for a service error code, compared as exact text;
// "Неизвестная ошибка" for any code the table does not hold.
QString ServerErrorText(const QString& code);

} // namespace orv
