// The entry list of the icon file an image came from.
#include "formats_fixture.h"
#include "png_fixture.h"

#include "imaging/c32bppDIB.h"

#include <gtest/gtest.h>

namespace {

using namespace fmttest;
using IconSize = imaging::c32bppDIB::IconSize;

TEST(SourceIconSizes, EntriesInFileOrderWithTheirColourCodes)
{
    // Eight entries, as the program's icon files hold them, in an unsorted order.
    std::vector<IconImage> images;
    for (int size : {48, 16, 32, 24})
        for (int bits : {32, 8})
            images.push_back(solidImage(size, bits));
    images.push_back(solidImage(16, 4));
    images.push_back(solidImage(16, 1));
    images.push_back(solidImage(16, 24));
    Bytes file = iconFile(images);
    imaging::ByteArray bytes = toArray(file);
    imaging::c32bppDIB dib;
    ASSERT_TRUE(dib.LoadPicture_Stream(bytes, 0, 0, 0, 0, true));
    std::vector<IconSize> sizes;
    ASSERT_EQ(dib.SourceIconSizes(sizes), 11);
    const std::vector<IconSize> expected{
        {48, 48, 32, -1}, {48, 48, 8, 256}, {16, 16, 32, -1}, {16, 16, 8, 256}, {32, 32, 32, -1}, {32, 32, 8, 256},
        {24, 24, 32, -1}, {24, 24, 8, 256}, {16, 16, 4, 16},   {16, 16, 1, 2},   {16, 16, 24, std::int32_t(0xFF000000u)},
    };
    EXPECT_EQ(sizes, expected);

    // Without the kept bytes: this image alone, at 32 bits with alpha.
    ASSERT_TRUE(dib.LoadPicture_Stream(bytes, 0, 0, 0, 0, false));
    EXPECT_EQ(dib.SourceIconSizes(sizes), 1);
    EXPECT_EQ(sizes, (std::vector<IconSize>{{dib.Width(), dib.Height(), 32, -1}}));
}

TEST(SourceIconSizes, OtherImagesHaveNone)
{
    imaging::c32bppDIB dib;
    ASSERT_TRUE(pngtest::loadPng(pngtest::simplePng(2, 2, 8, 6, {Bytes(8, 0), Bytes(8, 255)}), dib));
    std::vector<IconSize> sizes;
    EXPECT_EQ(dib.SourceIconSizes(sizes), 0);
}

} // namespace
