#pragma once

#include "app/Session.h"
#include "store/PictureStore.h"

#include <QStringList>

namespace orv {

// "Загрузка картинок...": after a run has stored its messages, the pictures
// they name, the smileys' pictures and those a run before could not fetch are
// fetched into the picture store, with the run's progress and cancel. A
// picture that fails never fails the run. Nothing at all is fetched when the
// setting LoadPictures is off.
namespace PictureRun {

// Remembers the pictures named by the messages stored since the mark, and
// the smileys', to be fetched (also when the run stops before it fetches).
void rememberNamedSince(const Session& session, const PictureStore::Mark& mark);
// Remembers these pictures, and fetches whatever waits unless the run was
// cancelled.
void fetch(const Session& session, const QStringList& urls);

} // namespace PictureRun
} // namespace orv
