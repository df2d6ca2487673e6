#pragma once

#include <QString>

namespace orv {

class StatusLog;

// The title of the track a media player is playing, for the editor's music box.
// Any player that speaks MPRIS on the session bus stands in for Winamp; its
// title is cleaned as Winamp's window title was.
namespace NowPlaying {

// Removes every " - Winamp" that ends a window title (followed by its NUL),
// then every leading "." and decimal digit (a playlist number such as "12."),
// and trims the text.
QString cleanedTitle(QString raw);

// "Artist - Title" (several artists joined with ", "), or the title alone, of
// the first player on the session bus that has a track, cleaned. Empty, and
// nothing logged, without a session bus or a player. A player that fails to
// answer in time is logged as "Mod_WinAMP.get_WinAMP: " plus the error text and
// gives an empty text. Every bus call is short: the editor asks on each
// activation.
QString get_WinAMP(StatusLog& log);

} // namespace NowPlaying
} // namespace orv
