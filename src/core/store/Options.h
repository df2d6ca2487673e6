#pragma once

#include <QString>

namespace orv {

// The small user-interface options kept in the per-user settings store, with
// the defaults that apply when a key is missing.
struct Options {
    // The automatic check: on or off, what it fetches, its interval in minutes.
    bool check_update = false;
    bool check_post = true;
    bool check_comment = true;
    bool check_privat = true;
    bool check_friends = true;
    QString time_update = QStringLiteral("10");
    // A desktop notification when a check finds something while the window is hidden.
    bool show_notifications = true;
    // The window program starts with its notification-area icon only, where
    // the desktop has a notification area.
    bool StartMinimized = false;

    // How a reply quotes: "no", "cit" or "name"; whether to ask before a reply.
    QString comment_type = QStringLiteral("cit");
    bool veiw_setcomm = false;
    // The message view's zoom, per cent of the page's own sizes.
    int view_zoom = 100;
    static constexpr int MinZoom = 50;
    static constexpr int MaxZoom = 300;
    // Misspelt words are underlined in the editor.
    bool spell_check = true;

    // Captions for the music and the mood, their colours and places.
    QString text_music = QStringLiteral("В колонках:");
    QString combo_music = QStringLiteral("Red");
    QString text_nastroy = QStringLiteral("Настроение:");
    QString combo_nastroy = QStringLiteral("Red");
    bool OptMusUp = true;
    bool OptMusDown = false;
    bool OptNastUp = true;
    bool OptNastDown = false;

    bool operator==(const Options&) const = default;
};

} // namespace orv
