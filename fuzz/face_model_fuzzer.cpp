// Fuzz target: a face landmark model of any bytes (the file MUGWARP_FACE_MODEL may name) is
// read whole or refused with a message; nothing crashes, nothing reads past the bytes.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "face/face_finder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        face::checkLandmarkModel(std::string_view(reinterpret_cast<const char*>(data), size),
                                 "fuzz.dat");
    } catch (const std::runtime_error& error) {
        if (std::string_view(error.what()).find("fuzz.dat") == std::string_view::npos) {
            __builtin_trap();  // every refusal names the file
        }
    }
    return 0;
}
