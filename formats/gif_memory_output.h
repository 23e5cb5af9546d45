// giflib's encoder writing into memory: the plumbing the GIF writers share.
#pragma once

#include <QByteArray>
#include <memory>
#include <string>
#include <vector>

#include <gif_lib.h>

namespace formats {

struct GifMapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using GifColourMap = std::unique_ptr<ColorMapObject, GifMapFreer>;

// A giflib colour map of `colours` (2, 4, ... or 256 of them). Throws FormatError saying there is
// not enough memory to save the `subject` ("GIF picture", "GIF animation").
GifColourMap makeGifColourMap(const std::vector<GifColorType>& colours, const char* subject);

// An open giflib encoder whose file grows in a QByteArray. A failed put goes through check(),
// which closes the encoder and throws FormatError("Cannot save the <subject>: <reason>.");
// the destructor closes an encoder that was not finished.
class GifMemoryOutput {
public:
    explicit GifMemoryOutput(const char* subject);
    ~GifMemoryOutput();
    GifMemoryOutput(const GifMemoryOutput&) = delete;
    GifMemoryOutput& operator=(const GifMemoryOutput&) = delete;

    GifFileType* gif() const { return gif_; }
    // Passes on a giflib result that is not GIF_ERROR.
    void check(int result);
    // Writes the trailer and hands over the file.
    QByteArray finish();

private:
    [[noreturn]] void fail(int error) const;

    std::string subject_;
    QByteArray bytes_;
    GifFileType* gif_ = nullptr;
};

}  // namespace formats
