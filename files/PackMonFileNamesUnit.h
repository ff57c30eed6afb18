// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Replaces what follows the last "." of the file name (not of a folder
// name) by Extension, which brings its own leading "."; a name without a
// "." gets Extension appended.
// The name a save writes to: the one chosen when it names an existing file
// (the user confirmed replacing it) or already ends in Extension in any
// letter case, otherwise the chosen name with its extension changed.
QString SaveFileName(const QString& Chosen, const QString& Extension);

QString ChangeFileExt(const QString& FileName, const QString& Extension);

inline const QString CommsFileExtension = QStringLiteral(".PackMonComms");
inline const QString GraphsFileExtension = QStringLiteral(".PackMonGraphs");
inline const QString ErrorsFileExtension = QStringLiteral(".Errors");
inline const QString IniFileExtension = QStringLiteral(".Ini");

// The settings file and the three files written at every exit.
struct TPackMonFileLocations {
    QString IniFileName;
    QString CommsExitFileName;
    QString GraphsExitFileName;
    QString ErrorsExitFileName;
};

// Beside the executable when its folder is writable, named after it. An
// installed program cannot write there, so it keeps the same file names in
// the user's configuration folder (settings) and data folder (exit files).
TPackMonFileLocations LocateFiles(const QString& ExePath, bool ExeFolderWritable, const QString& ConfigFolder,
                                  const QString& DataFolder);

// The locations for the running program; creates the user's folders when
// they are the ones chosen.
TPackMonFileLocations LocateFilesForThisProgram();
// The window's locations, for a command-line tool installed beside it (or
// built beside it, in app/): the tools share the window's settings file.
TPackMonFileLocations LocateWindowFiles();
