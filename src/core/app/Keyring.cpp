#include "Keyring.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kService = u"orv-client"_s;

struct Ending {
    QKeychain::Error error = QKeychain::NoError;
    QString secret; // what a read found
};

// Runs the job and waits for its end or the deadline; nothing when it did not
// end in time (it then deletes itself when it does, and nobody listens).
std::optional<Ending> awaited(QKeychain::Job* job) {
    std::optional<Ending> ending;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        const auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(done);
        ending = Ending{done->error(), reading ? reading->textData() : QString()};
        loop.quit();
    });
    QTimer::singleShot(Keyring::Deadline, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->start();
    if (!ending) {
        loop.exec();
    }
    return ending;
}

} // namespace

Keyring::Keyring(const QString& folder)
    : m_account(folder) {}

std::optional<QString> Keyring::read(const QString& name) {
    if (const auto known = m_known.constFind(name); known != m_known.cend()) {
        return *known;
    }
    if (!m_available) {
        return std::nullopt;
    }
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(m_account + u'/' + name);
    const auto ending = awaited(job);
    if (!ending ||
        (ending->error != QKeychain::NoError && ending->error != QKeychain::EntryNotFound)) {
        m_available = false;
        return std::nullopt;
    }
    m_known.insert(name, ending->secret);
    return ending->secret;
}

bool Keyring::unavailableNews() {
    const bool news = !m_available && !m_unavailableSaid;
    m_unavailableSaid = m_unavailableSaid || news;
    return news;
}

bool Keyring::write(const QString& name, const QString& secret) {
    if (!m_available) {
        return false;
    }
    QKeychain::Job* job = nullptr;
    if (secret.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(kService);
    } else {
        auto* writing = new QKeychain::WritePasswordJob(kService);
        writing->setTextData(secret);
        job = writing;
    }
    job->setKey(m_account + u'/' + name);
    const auto ending = awaited(job);
    const bool done = ending && (ending->error == QKeychain::NoError ||
                                 (secret.isEmpty() && ending->error == QKeychain::EntryNotFound));
    if (!done) {
        m_available = false;
        return false;
    }
    m_known.insert(name, secret);
    return true;
}

} // namespace orv
