#include "app/install_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// KC_APP_ID, KC_BIN_TO_DOC, KC_BIN_TO_DATA (relative to the program's folder),
// KC_PREFIX_DOC and KC_PREFIX_DATA (absolute) come from
// cmake/KorvaloInstall.cmake.

QStringList installedFileCandidates(InstalledFile file, const QString& programDir) {
    const QDir bin(programDir);
    auto at = [&bin](const char* folder, const QString& name) {
        return QDir::cleanPath(bin.filePath(QString::fromUtf8(folder) + QLatin1Char('/') + name));
    };
    if (file == InstalledFile::Readme) {
        const QString name = QStringLiteral("readme.txt");
        return {at(KC_BIN_TO_DOC, name), QDir(QStringLiteral(KC_PREFIX_DOC)).filePath(name)};
    }
    const QString name = QStringLiteral("korvalo-demo.wav");
    return {at(KC_BIN_TO_DATA, name), at("demo", name),
            QDir(QStringLiteral(KC_PREFIX_DATA)).filePath(name)};
}

QString findInstalledFile(InstalledFile file) {
    for (const QString& path : installedFileCandidates(file, programDirectory())) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString readmeFor(const QString& startupDirectory) {
    const QString local = QDir(startupDirectory).filePath(QStringLiteral("readme.txt"));
    if (QFileInfo::exists(local))
        return local;
    const QString installed = findInstalledFile(InstalledFile::Readme);
    return installed.isEmpty() ? local : installed;
}

QString programDirectory() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists (the command line is read first).
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return self.isEmpty() ? QString() : QFileInfo(self).absolutePath();
}

QString desktopFileName() {
    return QStringLiteral(KC_APP_ID);
}
