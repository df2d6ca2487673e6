#pragma once

#include <QString>
#include <atomic>
#include <functional>

namespace orv {

// How the window follows a run and stops it. The run reports how far it has
// come (items or messages done of a total) and asks cancelled() before each
// exchange, so a cancel ends it once the exchange in flight has been answered
// and stored: nothing the service sent is lost, and what was not fetched or
// sent waits for the next run. Safe to use from any thread.
class RunControl {
public:
    using ProgressSink = std::function<void(int done, int total)>;

    static inline const QString CancelledText = QStringLiteral("Операция прервана");

    explicit RunControl(ProgressSink sink = {})
        : m_sink(std::move(sink)) {}

    void requestCancel() { m_cancel.store(true); }
    bool cancelled() const { return m_cancel.load(); }
    // Ready for the next run.
    void reset() { m_cancel.store(false); }

    void progress(int done, int total) const {
        if (m_sink) {
            m_sink(done, total);
        }
    }

private:
    std::atomic<bool> m_cancel{false};
    const ProgressSink m_sink;
};

} // namespace orv
