#pragma once

#include "OrvError.h"
#include "StatusLog.h"

#include <exception>
#include <utility>

namespace orv {

// Runs a procedure under an error trap: a failure abandons the rest of its work
// and is logged as the procedure's prefix (such as "Mod_DB.ReadINI: ") followed
// by the error text. Returns false when the procedure failed.
template <class Procedure>
bool runTrapped(StatusLog& log, const QString& prefix, Procedure&& procedure) {
    try {
        std::forward<Procedure>(procedure)();
        return true;
    } catch (const OrvError& error) {
        log.LogFailure(prefix + error.text());
    } catch (const std::exception& error) {
        log.LogFailure(prefix + QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace orv
