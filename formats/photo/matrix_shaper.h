// The conversion to sRGB of an RGB profile made of three curves and a matrix (what cameras,
// phones and raw converters embed: Adobe RGB, Display P3, ProPhoto), evaluated with tables.
// Little CMS reads the profile and gives the curves and the matrix; this evaluates them per
// pixel as Little CMS itself does for such profiles, without its per-pixel calls, several
// times faster on a large photograph.
#pragma once

#include <QtGlobal>
#include <array>
#include <optional>

namespace formats {

class MatrixShaperToSrgb {
public:
    // From an open Little CMS profile (a cmsHPROFILE); nothing when it is not an RGB
    // matrix-shaper profile or its tags cannot be read.
    static std::optional<MatrixShaperToSrgb> from(void* profile);

    // Converts `count` BGR888 pixels; source and target may be the same row.
    void convert(const uchar* source, uchar* target, int count) const;

private:
    std::array<std::array<float, 256>, 3> linear_{};  // red, green and blue curves
    std::array<float, 9> matrix_{};                   // linear source RGB to linear sRGB
};

}  // namespace formats
