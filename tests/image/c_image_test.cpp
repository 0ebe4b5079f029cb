#include "image/c_image.h"

#include <gtest/gtest.h>

using pictorra::image::cImage;

TEST(CImage, Smoke) {
    cImage img;
    EXPECT_EQ(img.CreateDIB(3, 2), 0);
}
