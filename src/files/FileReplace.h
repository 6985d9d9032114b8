#pragma once

#include "result/Result.h"

#include <QByteArrayView>
#include <QString>

// Replacing a whole file so that it is never lost: the new content is written
// beside the file, flushed, checked for its full size and synced to disk, and
// only then takes the file's name. Any failure leaves the old file byte for
// byte as it was. An existing file keeps its permission bits. A name that
// stands for something other than a regular file (a folder, a pipe, a device,
// also behind a symbolic link) is refused, never replaced, and so is a link
// whose target cannot be followed (links in a loop). A link that leads to no
// file yet makes its target in the target's folder and stays a link.
//
// Used for the pattern files and the settings file.
enum class InPlaceWrite {
    Never,
    // A folder that refuses the new file beside the old one (no rights, no
    // room for another entry) while the old file itself may be written: the
    // file is rewritten in place instead, and the old bytes are put back if
    // that fails.
    WhereFolderRefuses,
};

// Fails with the reason, worded for the user, when the file was not replaced.
Result<> replaceFile(const QString& path, QByteArrayView bytes, InPlaceWrite inPlace = InPlaceWrite::Never);
