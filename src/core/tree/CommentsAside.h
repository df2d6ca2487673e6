#pragma once

#include "store/CommentRows.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace orv {

// The tree's comment rows read on a thread and a connection of their own,
// block by block, while the builder reads the posts; the builder then takes
// the blocks as they come, so placing the comments overlaps reading them too.
// Blocks the builder is done with go back to the reader to be filled again.
class CommentsAside {
public:
    explicit CommentsAside(const QString& databasePath);
    // Stops the reading at its next block and waits for its thread.
    ~CommentsAside();
    CommentsAside(const CommentsAside&) = delete;
    CommentsAside& operator=(const CommentsAside&) = delete;

    // The next block in the block given, waiting for it; false after the last.
    // Throws the reading's OrvError once the blocks before the failure are taken.
    bool next(CommentRows& block);

private:
    // Blocks read and not yet taken, at most: the reader gets this far ahead
    // (some 7 MB of rows) and waits, which bounds the memory they take.
    static constexpr size_t MostAhead = 128;

    void read(const QString& databasePath);
    // The block to fill next: one handed back, or a new one.
    CommentRows spareBlock();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CommentRows> m_read;
    std::vector<CommentRows> m_spare;
    bool m_done = false;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_reader; // last: it starts once the rest is in place
};

} // namespace orv
