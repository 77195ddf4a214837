#include <gtest/gtest.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>

#include "common/Error.h"
#include "imaging/Jpeg.h"

namespace vellumark::imaging {
namespace {

struct Decoded {
    int width = 0, height = 0, components = 0;
    bool progressive = false;
    J_COLOR_SPACE colourSpace = JCS_UNKNOWN;
    std::vector<std::uint8_t> rgb;
};

Decoded DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    EXPECT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    Decoded d;
    d.width = static_cast<int>(info.image_width);
    d.height = static_cast<int>(info.image_height);
    d.components = info.num_components;
    d.progressive = info.progressive_mode;
    d.colourSpace = info.jpeg_color_space;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    d.rgb.resize(static_cast<std::size_t>(d.width) * d.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = d.rgb.data() + static_cast<std::size_t>(info.output_scanline) * d.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return d;
}

Picture Filled(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Picture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i)
        p.samples.insert(p.samples.end(), {r, g, b});
    return p;
}

TEST(JpegTest, BaselineThreeComponentsOfTheRightSize) {
    // A grey picture too: it must still be written as three components.
    for (const Picture& p : {Filled(123, 45, 200, 30, 60), Filled(17, 1, 128, 128, 128)}) {
        const auto bytes = EncodeJpeg(p);
        ASSERT_GT(bytes.size(), 100u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        // A baseline frame header (SOF0), never a progressive one (SOF2).
        bool sof0 = false, sof2 = false;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            sof0 = sof0 || (bytes[i] == 0xFF && bytes[i + 1] == 0xC0);
            sof2 = sof2 || (bytes[i] == 0xFF && bytes[i + 1] == 0xC2);
        }
        EXPECT_TRUE(sof0);
        EXPECT_FALSE(sof2);
        const Decoded d = DecodeJpeg(bytes);
        EXPECT_EQ(d.width, p.width);
        EXPECT_EQ(d.height, p.height);
        EXPECT_EQ(d.components, 3);
        EXPECT_EQ(d.colourSpace, JCS_YCbCr);
        EXPECT_FALSE(d.progressive);
        for (std::size_t i = 0; i < d.rgb.size(); ++i)
            ASSERT_NEAR(d.rgb[i], p.samples[i], 4) << i;
    }
}

TEST(JpegTest, AOneChannelPictureGivesTheBytesOfItsRgbTwin) {
    // A grey page keeps one channel up to the encoder; its JPEG must not change for that.
    Picture grey{37, 23, {}, 1};
    Picture rgb{37, 23, {}, 3};
    for (int i = 0; i < 37 * 23; ++i) {
        const auto v = static_cast<std::uint8_t>((i * 13) % 256);
        grey.samples.push_back(v);
        rgb.samples.insert(rgb.samples.end(), {v, v, v});
    }
    EXPECT_EQ(EncodeJpeg(grey, 80), EncodeJpeg(rgb, 80));
    EXPECT_EQ(ToGrey(grey).pixels, ToGrey(rgb).pixels);
    grey.channels = 2;
    EXPECT_THROW(EncodeJpeg(grey), Error);
}

TEST(JpegTest, BadPicturesAreRefused) {
    EXPECT_THROW(EncodeJpeg(Picture{}), Error);
    Picture wrong = Filled(4, 4, 1, 2, 3);
    wrong.samples.pop_back();
    EXPECT_THROW(EncodeJpeg(wrong), Error);
    EXPECT_THROW(EncodeJpeg(Filled(70000, 1, 0, 0, 0)), Error);
    EXPECT_THROW(EncodeJpeg(Filled(4, 4, 0, 0, 0), 0), Error);
}

}  // namespace
}  // namespace vellumark::imaging
