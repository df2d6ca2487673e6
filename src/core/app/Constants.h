#pragma once

#include <QString>

namespace orv {

// Part of the main window caption and the title of the program's message boxes.
inline const QString VersionTag = QStringLiteral("ORV v.0.7.31c");

// Where the signature under published posts points.
inline const QString ClientHomePage = QStringLiteral("https://orv-client.kordenet.ru/");

// The link appended to every published post.
inline const QString PostSignature =
    QStringLiteral("<br><a class='j_s' style='font-size: 7pt; text-decoration: none' href='") +
    ClientHomePage + QStringLiteral("'>") + VersionTag + QStringLiteral("</a>");

// Used when the ServiceURL setting is empty.
inline const QString DefaultServiceUrl = QStringLiteral("https://kordenet.ru");

// Title of the tray icon and name of the per-user settings store.
inline const QString ProductName = QStringLiteral("ORV Client");

} // namespace orv
