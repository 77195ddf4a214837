#include "imaging/Jpeg.h"

#include "common/Error.h"

namespace vellumark::imaging {

std::vector<std::uint8_t> EncodeJpeg(const Picture&, int) {
    throw Error(ErrorCode::Internal, "JPEG encoding is not built yet");
}

}  // namespace vellumark::imaging
