// The two record players behind the metafile reader; see metafile_reader.h for what they
// return.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats::metafile {

QImage playWindowsMetafile(const QByteArray& data);
QImage playEnhancedMetafile(const QByteArray& data);

}  // namespace formats::metafile
