// Colours converted to sRGB on load, from an embedded ICC profile or from the primaries and
// transfer curve a file declares, through Little CMS: perceptual intent with black-point
// compensation, so that what the user edits is what an image viewer shows.
#pragma once

#include <QByteArray>
#include <QImage>
#include <memory>

namespace formats {

// The pixels a conversion reads.
enum class ProfileInput {
    Bgr,           // Format_BGR888 pixels; a grey profile reads the first byte of each pixel
    Cmyk,          // four bytes of ink, 255 = full ink
    InvertedCmyk,  // four bytes of ink as Adobe writes them, 0 = full ink
};

// The transfer curves a file can name instead of a profile.
enum class TransferCurve {
    Srgb,   // the sRGB curve
    Gamma,  // a pure power: encoded = linear^(1/gamma)
    Bt709,  // ITU-R BT.709 (and BT.601, BT.2020 at 8..12 bits)
};

// Chromaticities (CIE x, y) of white and the three primaries, and the curve.
struct Chromaticities {
    double whiteX = 0.3127, whiteY = 0.3290;
    double redX = 0.64, redY = 0.33;
    double greenX = 0.30, greenY = 0.60;
    double blueX = 0.15, blueY = 0.06;
    TransferCurve curve = TransferCurve::Srgb;
    double gamma = 2.2;  // for TransferCurve::Gamma
};

class SrgbConversion {
public:
    // No conversion (isValid() false).
    SrgbConversion();
    // From an embedded ICC profile. Invalid when the profile is empty, refused by Little CMS,
    // or of a colour space that does not match `input` (RGB or grey for Bgr, CMYK for the
    // others): the caller then keeps the pixels as decoded.
    SrgbConversion(const QByteArray& iccProfile, ProfileInput input);
    // From declared chromaticities and curve (PNG cHRM and gAMA, HEIF nclx), for Bgr pixels.
    // Invalid when they describe no usable RGB space, and when they are sRGB itself.
    explicit SrgbConversion(const Chromaticities& space);
    ~SrgbConversion();
    SrgbConversion(SrgbConversion&&) noexcept;
    SrgbConversion& operator=(SrgbConversion&&) noexcept;

    bool isValid() const { return transform_ != nullptr; }

    // Converts `count` pixels of the input layout at `source` into BGR888 pixels at `target`.
    // For Bgr input source and target may be the same row.
    void convertRow(const uchar* source, uchar* target, int count) const;
    // Whether convertPicture() and convertRows() do anything: valid, with Bgr input.
    bool convertsPictures() const;
    // Converts a Format_BGR888 picture in place, in bands of rows spread over the machine's
    // cores. Does nothing unless convertsPictures().
    void convertPicture(QImage& picture) const;
    // Converts rows [first, last) of a detached Format_BGR888 picture in place, touching no
    // other row, so that threads may convert bands of one picture side by side. Only when
    // convertsPictures().
    void convertRows(QImage& picture, int first, int last) const;

private:
    struct Transform;
    std::unique_ptr<Transform> transform_;
    ProfileInput input_ = ProfileInput::Bgr;
};

// Shorthand for readers: converts a decoded Format_BGR888 picture from its embedded profile
// to sRGB in place, and leaves it as it is when the profile is empty or refused.
void convertToSrgb(QImage& picture, const QByteArray& iccProfile);

}  // namespace formats
