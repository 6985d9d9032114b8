#pragma once

#include <QString>
#include <optional>

// Where a file lies, for the checks before a file is read or replaced and for
// the paths that messages show. Used by the pattern files, the settings file
// (through replaceFile) and the window's file messages.

// `path` as an absolute path. A relative one lies in the working folder, named
// as the system last knew it even after that folder has been removed, when
// QDir::currentPath() is empty and every such name would seem to lie in the root.
QString absoluteFilePath(const QString& path);

// The file `path` stands for once its symbolic links are followed one by one,
// as QSaveFile follows them: `path` itself when it is no link. Nothing when
// the links lead round in a loop, or further than the system follows them.
std::optional<QString> followLinks(const QString& path);

// Why no file can be made at `path` for want of its folder, worded for the
// user: "フォルダ「/tmp/a」はもうありません" when `path` is relative and the
// working folder /tmp/a has been removed while the program works in it,
// "フォルダ「/tmp/a」がありません" for another folder that is missing,
// "「/tmp/a」はフォルダではありません" for something else in its place. Nothing
// when the folder is there or the system does not say that it is missing.
std::optional<QString> missingFolder(const QString& path);

// Whether `path` and `other` name one file, once their links are followed: the
// same device and inode (on Windows, the same canonical path). False when
// either cannot be found. Names in bytes (files/FileName.h) are taken so.
bool sameFile(const QString& path, const QString& other);
