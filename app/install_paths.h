// Where the program finds the files installed with it: the user's guide
// (readme.txt, in the documentation folder) and the bundled demo
// (korvalo-demo.wav, in the data folder).
//
// Each is looked up, in order:
//   1 relative to the program's own folder, as installed (../share/doc/...,
//     ../share/korvalo-cor/...), so a relocated or DESTDIR install finds them;
//   2 for the demo only: beside the program as the build tree lays it out
//     (demo/korvalo-demo.wav), so a program run from its build folder finds
//     it (the build tree's readme.txt sits beside the program, where the
//     start-up directory rule finds it);
//   3 under the installation prefix the build was configured with.
//
// Thread: any; reads the file system only.
#pragma once

#include <QString>
#include <QStringList>

enum class InstalledFile { Readme, Demo };

// The places `file` is looked for when the program runs from `programDir`,
// in lookup order.
QStringList installedFileCandidates(InstalledFile file, const QString& programDir);

// The first existing candidate for the running program; empty when none exists.
QString findInstalledFile(InstalledFile file);

// The readme that "info..." opens: readme.txt in the start-up directory when it
// is there, else the installed one, else the start-up directory's (missing)
// readme.txt as before.
QString readmeFor(const QString& startupDirectory);

// The folder of the running program, known before QCoreApplication exists.
QString programDirectory();

// The name the desktop knows the program by (its .desktop file without the
// extension), for QGuiApplication::setDesktopFileName.
QString desktopFileName();
