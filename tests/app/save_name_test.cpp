#include <gtest/gtest.h>

#include "app/save_name.h"

TEST(SaveName, ForcesTheChosenTypesExtension) {
    EXPECT_EQ(forcedSaveName("holiday", ".jpg"), "holiday.jpg");
    EXPECT_EQ(forcedSaveName("my.photo", ".jpg"), "my.jpg");
    EXPECT_EQ(forcedSaveName("face.png", ".jpg"), "face.jpg");
    EXPECT_EQ(forcedSaveName("/home/me/face.png", ".gif"), "/home/me/face.gif");
    EXPECT_EQ(forcedSaveName("/home/my.pictures/face", ".bmp"), "/home/my.pictures/face.bmp");
    EXPECT_EQ(forcedSaveName("/tmp/archive.tar.gz", ".wmf"), "/tmp/archive.tar.wmf");
}

TEST(SaveName, BaseNameDropsFolderAndLastFourCharacters) {
    EXPECT_EQ(pictureBaseNameOf("/pictures/portrait.bmp"), "portrait");
    EXPECT_EQ(pictureBaseNameOf("face.jpeg"), "face.");
    EXPECT_EQ(pictureBaseNameOf("/a.b/x.gif"), "x");
}
