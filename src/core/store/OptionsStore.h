#pragma once

#include "Options.h"

class QSettings;

namespace orv {

// Reads and writes the options in the group "options" of a per-user settings
// store. A missing or unreadable key yields its default; nothing is reported.
class OptionsStore {
public:
    explicit OptionsStore(QSettings& store);

    Options LoadOptions() const;
    void save(const Options& options);

private:
    QSettings& m_store;
};

} // namespace orv
