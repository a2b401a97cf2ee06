#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QUrl shellOpenUrl(const QString& target) {
    const QString text = target.trimmed();
    if (text.isEmpty()) {
        return QUrl();
    }
    // A path that exists, or one without a scheme, is a local file; a Windows
    // style drive letter ("C:") must not pass for a URL scheme either.
    if (QFileInfo::exists(text) || QDir::isAbsolutePath(text)) {
        return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
    }
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

bool shellOpen(const QString& target) {
    const QUrl url = shellOpenUrl(target);
    if (!url.isValid()) {
        return false;
    }
    return QDesktopServices::openUrl(url);
}
