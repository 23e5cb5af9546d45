// The file name a save writes: the chosen name with its extension replaced by
// the one the chosen file type forces.
#pragma once

#include <QString>

// `extension` includes its dot. holiday → holiday.jpg, my.photo → my.jpg,
// face.png → face.jpg; dots in folder names do not count.
QString forcedSaveName(const QString& chosen, const QString& extension);

// The frame files' base name for an opened file: its name without the folder
// and without its last four characters (face.jpg → face, face.jpeg → face.).
QString pictureBaseNameOf(const QString& path);
