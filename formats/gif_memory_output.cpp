#include "formats/gif_memory_output.h"

#include <new>
#include <utility>

#include "formats/format_error.h"

namespace formats {
namespace {

// giflib is C: no exception may leave the callback. A short count is giflib's write error.
int writeToArray(GifFileType* gif, const GifByteType* bytes, int count) {
    try {
        static_cast<QByteArray*>(gif->UserData)
            ->append(reinterpret_cast<const char*>(bytes), count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

}  // namespace

GifColourMap makeGifColourMap(const std::vector<GifColorType>& colours, const char* subject) {
    GifColourMap map(GifMakeMapObject(static_cast<int>(colours.size()), colours.data()));
    if (!map) {
        throw FormatError(std::string("Not enough memory to save the ") + subject + ".");
    }
    return map;
}

GifMemoryOutput::GifMemoryOutput(const char* subject) : subject_(subject) {
    int error = 0;
    gif_ = EGifOpen(&bytes_, &writeToArray, &error);
    if (gif_ == nullptr) {
        fail(error);
    }
}

GifMemoryOutput::~GifMemoryOutput() {
    if (gif_ != nullptr) {
        EGifCloseFile(gif_, nullptr);
    }
}

void GifMemoryOutput::check(int result) {
    if (result == GIF_ERROR) {
        // EGifCloseFile frees the encoder whether or not it succeeds.
        const int cause = gif_->Error;
        EGifCloseFile(std::exchange(gif_, nullptr), nullptr);
        fail(cause);
    }
}

QByteArray GifMemoryOutput::finish() {
    int error = 0;
    if (EGifCloseFile(std::exchange(gif_, nullptr), &error) == GIF_ERROR) {
        fail(error);
    }
    return std::move(bytes_);
}

void GifMemoryOutput::fail(int error) const {
    const char* reason = GifErrorString(error);
    throw FormatError("Cannot save the " + subject_ + ": " +
                      (reason != nullptr ? reason : "error") + ".");
}

}  // namespace formats
