#include "skin/skin_file.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using varnel::Colour;
using varnel::PropertyBag;

PropertyBag SmallSkin() {
    PropertyBag bag;
    QImage piece(4, 30, QImage::Format_RGB32);
    piece.fill(QColor(90, 126, 220));
    piece.setPixel(0, 0, qRgb(1, 2, 3));
    bag.SetValue(QStringLiteral("lefttop"), piece);
    bag.SetValue(QStringLiteral("XOFFSET"), std::int16_t{13});
    bag.SetValue(QStringLiteral("FORECOLOR"), Colour::FromRgb(255, 255, 255));
    return bag;
}

class SkinFileTest : public ::testing::Test {
protected:
    // The folder goes by its native bytes: QTemporaryDir's own clean-up
    // cannot name files whose names are not UTF-8, and would leave them.
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir(), ignored);
    }
    fs::path dir() const { return fs::path(m_Dir.path().toStdString()); }
    QTemporaryDir m_Dir;
};

TEST_F(SkinFileTest, WrittenStoreReadsBackWithCaseInsensitiveNames) {
    const fs::path file = dir() / "Skin20.dll";
    ASSERT_TRUE(varnel::WriteSkinFile(file, SmallSkin()));
    const std::optional<PropertyBag> bag = varnel::ReadSkinFile(file);
    ASSERT_TRUE(bag.has_value());
    EXPECT_EQ(*bag, SmallSkin());
    const QImage top = bag->ReadProperty("LEFTTOP", QImage());
    ASSERT_EQ(top.size(), QSize(4, 30));
    EXPECT_EQ(top.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(bag->ReadProperty("xoffset", std::int16_t{0}), 13);
}

TEST_F(SkinFileTest, ReadingLeavesTheFileAsItWas) {
    const fs::path file = dir() / "Skin20.dll";
    ASSERT_TRUE(varnel::WriteSkinFile(file, SmallSkin()));
    const auto before = fs::last_write_time(file);
    chmod(file.c_str(), 0444);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(varnel::ReadSkinFile(file).has_value());
    EXPECT_EQ(fs::last_write_time(file), before);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(SkinFileTest, WhatIsNotAReadableStoreGivesNothing) {
    EXPECT_FALSE(varnel::ReadSkinFile(dir() / "missing.dll").has_value());
    EXPECT_FALSE(varnel::ReadSkinFile(dir()).has_value()) << "a folder";
    EXPECT_FALSE(varnel::ReadSkinFile(fs::path()).has_value()) << "empty path";

    const fs::path empty = dir() / "empty.dll";
    std::ofstream(empty).close();
    EXPECT_FALSE(varnel::ReadSkinFile(empty).has_value());

    // A valid store followed by junk, as a half-overwritten file may be.
    const fs::path junk = dir() / "junk.dll";
    ASSERT_TRUE(varnel::WriteSkinFile(junk, SmallSkin()));
    std::ofstream(junk, std::ios::app) << "junk";
    EXPECT_FALSE(varnel::ReadSkinFile(junk).has_value());
}

TEST_F(SkinFileTest, AFifoIsRefusedWithoutBlocking) {
    const fs::path fifo = dir() / "Skin20.dll";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(varnel::ReadSkinFile(fifo).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SkinFileTest, AFileLargerThanTheLimitIsRefusedUnread) {
    const fs::path huge = dir() / "huge.dll";
    // A sparse file: a valid store's start, then a hole up to 17 MiB.
    ASSERT_TRUE(varnel::WriteSkinFile(huge, SmallSkin()));
    fs::resize_file(huge, 17u * 1024 * 1024);
    EXPECT_FALSE(varnel::ReadSkinFile(huge).has_value());
}

TEST_F(SkinFileTest, NamesThatAreNotUtf8StillWork) {
    const fs::path file = dir() / fs::path(std::string("skin\xff\xfe.dll"));
    ASSERT_TRUE(varnel::WriteSkinFile(file, SmallSkin()));
    ASSERT_TRUE(fs::exists(file));
    EXPECT_TRUE(varnel::ReadSkinFile(file).has_value());
}

TEST_F(SkinFileTest, WritingIntoAMissingFolderFailsWithAMessage) {
    QString error;
    EXPECT_FALSE(varnel::WriteSkinFile(dir() / "no" / "such" / "Skin20.dll", SmallSkin(), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SkinFileTest, ReplacingAStoreLeavesNoTemporaryFilesBehind) {
    const fs::path file = dir() / "Skin20.dll";
    ASSERT_TRUE(varnel::WriteSkinFile(file, SmallSkin()));
    PropertyBag other;
    other.SetValue(QStringLiteral("EMPTYPIC"), QImage()); // a null picture
    ASSERT_TRUE(varnel::WriteSkinFile(file, other));
    EXPECT_EQ(varnel::ReadSkinFile(file), other);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);
}

} // namespace
