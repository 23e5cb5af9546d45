// Plays the records of an enhanced metafile onto a canvas, one record at a time.
#pragma once

#include <QTransform>
#include <cstdint>

#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile::emf {

class EmfPlayer {
public:
    // `deviceToPicture` maps the reference device's pixels, in which regions are given.
    EmfPlayer(MetafileCanvas& canvas, QTransform deviceToPicture)
        : canvas_(canvas), deviceToPicture_(deviceToPicture) {}

    // Throws FormatError when the record cannot be used.
    void play(uint32_t type, RecordData& data);

private:
    void worldTransform(uint32_t type, RecordData& data);
    void createObject(uint32_t type, RecordData& data);
    void selectObject(RecordData& data);
    void pathRecord(uint32_t type, RecordData& data);
    void polyRecord(uint32_t type, RecordData& data);
    void polyPolyRecord(uint32_t type, RecordData& data);
    void bitmap(uint32_t type, RecordData& data);
    void text(RecordData& data, bool wide);
    void clipRegion(RecordData& data);
    void regionRecord(uint32_t type, RecordData& data);
    // The region data at the reader's position, `bytes` long, in picture pixels.
    QRegion regionData(RecordData& data, qint64 bytes) const;
    BrushSpec brushAt(uint32_t index) const;
    qint64 handle(uint32_t index) const;

    MetafileCanvas& canvas_;
    QTransform deviceToPicture_;
};

// The stock object that a select record names with the high bit set.
GdiObject stockObject(uint32_t which);

}  // namespace formats::metafile::emf
