#include "windows/UserListIcons.h"

#include <gtest/gtest.h>

#include <set>

namespace windows {
namespace {

// Pixels of an icon that are not fully transparent.
int InkCount(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += qAlpha(image.pixel(x, y)) != 0;
    return ink;
}

TEST(UserListIcons, EachNumberHasItsOwnVisiblePicture) {
    std::set<QByteArray> seen;
    for (int number : {3, 24, 25, 26, 27, 28}) {
        const QImage icon = UserListIcon(number);
        ASSERT_FALSE(icon.isNull()) << number;
        EXPECT_EQ(icon.width(), number == 3 ? 32 : 16) << number;
        EXPECT_EQ(icon.width(), icon.height()) << number;
        // Visible, but not a filled square.
        const int ink = InkCount(icon);
        EXPECT_GT(ink, icon.width() * icon.height() / 8) << number;
        EXPECT_LT(ink, icon.width() * icon.height()) << number;
        const QByteArray bytes(reinterpret_cast<const char*>(icon.constBits()),
                               int(icon.sizeInBytes()));
        EXPECT_TRUE(seen.insert(bytes).second) << number << " looks like another icon";
    }
    for (int number : {0, 2, 4, 23, 29}) EXPECT_TRUE(UserListIcon(number).isNull()) << number;
}

// In a list shown larger the icons are drawn at its size, not left at their design's.
TEST(UserListIcons, DrawnAtTheSizeTheListAsks) {
    EXPECT_EQ(UserListIcon(3, 2.0).size(), QSize(64, 64));
    EXPECT_EQ(UserListIcon(25, 2.5).size(), QSize(40, 40));
    for (int size : {16, 24, 32, 40, 48, 64})
        EXPECT_EQ(UserListQIcon(25).actualSize(QSize(size, size)), QSize(size, size)) << size;
    EXPECT_GT(InkCount(UserListIcon(25, 3.0)), 9 * InkCount(UserListIcon(25)) / 2)
        << "drawn large, not a small picture";
}

}  // namespace
}  // namespace windows
