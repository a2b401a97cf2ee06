// Opening documents, web pages and mail addresses with the user's desktop
// applications. Goes through the desktop's URL handler, never through a
// shell command line, so no text is ever interpreted by a shell.
//
// Thread: main thread (needs the running QGuiApplication).
#pragma once

#include <QString>
#include <QUrl>

// Opens `target`: a URL with a scheme ("https://...", "mailto:...") or a local
// file path. Returns true when the desktop accepted the request.
bool shellOpen(const QString& target);

// The URL shellOpen hands to the desktop for `target` (invalid when empty).
QUrl shellOpenUrl(const QString& target);
