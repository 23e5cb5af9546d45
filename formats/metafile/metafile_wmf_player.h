// Plays the records of a 16-bit Windows metafile onto a canvas, one record at a time.
#pragma once

#include <cstdint>

#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile::wmf {

class WmfPlayer {
public:
    explicit WmfPlayer(MetafileCanvas& canvas) : canvas_(canvas) {}

    // Throws FormatError when the record cannot be used.
    void play(uint16_t function, RecordData& data);

private:
    void polyPolygon(RecordData& data);
    // The region or brush in a slot of the table; none when the slot holds something else.
    const RegionSpec* regionAt(qint64 index) const;
    const BrushSpec& brushAt(qint64 index) const;
    void regionRecord(uint16_t function, RecordData& data);
    void bitmap(uint16_t function, RecordData& data);
    void text(RecordData& data, bool extended);

    MetafileCanvas& canvas_;
};

}  // namespace formats::metafile::wmf
