#pragma once

#include <QHash>
#include <QString>
#include <chrono>
#include <optional>

namespace orv {

// The desktop's password store (the Secret Service, through QtKeychain) for
// the secrets of one working folder. Each answer is awaited on the calling
// thread for at most Deadline; a keyring that is missing, locked and not
// unlocked, refuses or does not answer in time counts as unavailable, and
// stays so for the rest of the run. Answers are remembered, so reading the
// settings again asks the keyring nothing.
class Keyring {
public:
    static constexpr std::chrono::milliseconds Deadline{2000};

    // The folder's path names its entries: each folder has an account of its own.
    explicit Keyring(const QString& folder);

    bool available() const { return m_available; }
    // The secret, empty when none is kept; nothing when the keyring is unavailable.
    std::optional<QString> read(const QString& name);
    // True once the keyring confirmed the write (an empty secret is removed).
    bool write(const QString& name, const QString& secret);
    // True the first time it is asked after the keyring turned out unavailable:
    // the window says so once a run.
    bool unavailableNews();

private:
    QString m_account;
    bool m_available = true;
    bool m_unavailableSaid = false;
    QHash<QString, QString> m_known;
};

} // namespace orv
