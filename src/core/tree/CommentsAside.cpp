#include "CommentsAside.h"

#include "store/Database.h"

namespace orv {

CommentsAside::CommentsAside(const QString& databasePath)
    : m_reader([this, databasePath] { read(databasePath); }) {}

CommentsAside::~CommentsAside() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_reader.join();
}

CommentRows CommentsAside::spareBlock() {
    const std::lock_guard lock(m_mutex);
    if (m_spare.empty()) {
        return {};
    }
    CommentRows block = std::move(m_spare.back());
    m_spare.pop_back();
    return block;
}

void CommentsAside::read(const QString& databasePath) {
    try {
        Database own(databasePath);
        own.open();
        CommentReader reader(own);
        for (CommentRows block = spareBlock(); reader.next(block); block = spareBlock()) {
            std::unique_lock lock(m_mutex);
            m_read.push_back(std::move(block));
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_read.size() < MostAhead || m_stop; });
            if (m_stop) {
                break;
            }
        }
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        m_failure = std::current_exception();
    }
    const std::lock_guard lock(m_mutex);
    m_done = true;
    m_changed.notify_all();
}

bool CommentsAside::next(CommentRows& block) {
    std::unique_lock lock(m_mutex);
    m_spare.push_back(std::move(block));
    m_changed.wait(lock, [this] { return !m_read.empty() || m_done; });
    if (!m_read.empty()) {
        block = std::move(m_read.front());
        m_read.pop_front();
        m_changed.notify_all(); // the reader may wait for room
        return true;
    }
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
    return false;
}

} // namespace orv
