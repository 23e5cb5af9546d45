// Plays a metafile's records as a desktop player does: a record that cannot be used (a damaged
// bitmap, a record too short for its parameters, an object index outside the table) is
// skipped and the rest drawn. Only when nothing at all could be drawn is the file refused.
#pragma once

#include <optional>
#include <string>

#include "formats/format_error.h"
#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile {

class RecordSkipper {
public:
    // Runs `play`; when it refuses the record, runs `onSkip` (which may refuse too) and goes on.
    template <typename Play, typename OnSkip>
    void play(Play&& play, OnSkip&& onSkip) {
        try {
            play();
        } catch (const WholeFileError&) {
            throw;
        } catch (const FormatError& error) {
            if (!firstError_) {
                firstError_ = error.what();
            }
            try {
                onSkip();
            } catch (const FormatError&) {
            }
        }
    }

    // Refuses a file of which the canvas painted nothing: with the first skipped record's
    // message, or saying that it draws nothing.
    void finish(const MetafileCanvas& canvas) const {
        if (canvas.paints() > 0) {
            return;
        }
        if (firstError_) {
            throw FormatError(*firstError_);
        }
        throwDamaged(canvas.formatName(), "it holds nothing that can be drawn");
    }

private:
    std::optional<std::string> firstError_;
};

}  // namespace formats::metafile
