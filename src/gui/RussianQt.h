#pragma once

class QCoreApplication;

namespace orv {

// Qt's own texts (dialog buttons such as "Да" and "Нет", the colour dialog)
// in Russian, whatever the machine's language. False when the translation
// is not installed; the texts then stay English.
bool installRussianQt(QCoreApplication& app);

} // namespace orv
