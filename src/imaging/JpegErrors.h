#pragma once
// libjpeg's fatal errors, for the encoder and the decoder. libjpeg reports a fatal error by
// calling error_exit, which must not return, and an exception must not unwind through libjpeg's
// C frames: error_exit jumps back to the setjmp of the function that drives libjpeg, whose frame
// holds nothing with a destructor, and that function's caller turns the failure into an
// exception.

// clang-format off
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>

namespace vellumark::imaging {

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Points info->err at `errors`, which longjmp to errors.jump on a fatal error and print nothing.
inline void UseJpegErrors(j_common_ptr info, JpegErrors& errors) {
    info->err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr failed) {
        auto* own = reinterpret_cast<JpegErrors*>(failed->err);
        (*failed->err->format_message)(failed, own->message);
        std::longjmp(own->jump, 1);
    };
    errors.base.output_message = [](j_common_ptr) {};  // warnings and traces are not printed
}

// A decoder whose errors jump as above; owned by the caller of the function that drives it, so
// that it outlives a jump.
struct JpegDecoder {
    JpegErrors errors{};
    jpeg_decompress_struct info{};
    bool created = false;
    JpegDecoder() = default;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    ~JpegDecoder() {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

}  // namespace vellumark::imaging
