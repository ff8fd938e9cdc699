// The skin library: the usability rule, reading the store afresh, taking
// pictures and numbers from it, and the topmost class.
#include "skin/skin_library.h"

#include "border_skin_fixture.h"
#include "platform/qt/window_services.h"
#include "skin/skin_ontop.h"
#include "skin/skin_value.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace varnel;

namespace {

QString FileOfSize(const QTemporaryDir& dir, const QString& name, qint64 size) {
    QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_TRUE(file.resize(size));
    return path;
}

} // namespace

TEST(SkinLibrary, SizingStartsDisabled) {
    EXPECT_FALSE(SizingEnabled);
}

TEST(SkinLibrary, UsableSkinNeedsAPlainFileOfAtLeast30720Bytes) {
    QTemporaryDir dir;
    EXPECT_TRUE(IsSkinUsable(FileOfSize(dir, QStringLiteral("exact.dll"), 30720)));
    EXPECT_TRUE(IsSkinUsable(FileOfSize(dir, QStringLiteral("large.dll"), 4 * 1024 * 1024)));
    EXPECT_FALSE(IsSkinUsable(FileOfSize(dir, QStringLiteral("short.dll"), 30719)));
    EXPECT_FALSE(IsSkinUsable(FileOfSize(dir, QStringLiteral("empty.dll"), 0)));
    EXPECT_FALSE(IsSkinUsable(FileOfSize(dir, QStringLiteral(".Skin20.dll"), 40000)));
    EXPECT_FALSE(IsSkinUsable(dir.filePath(QStringLiteral("missing.dll"))));
    EXPECT_FALSE(IsSkinUsable(QString()));

    // A folder, even one of that name, is no skin.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Skin20.dll")));
    EXPECT_FALSE(IsSkinUsable(dir.filePath(QStringLiteral("Skin20.dll"))));

    // A FIFO is never opened (it would block) and counts as missing.
    const QString fifo = dir.filePath(QStringLiteral("pipe.dll"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(IsSkinUsable(fifo));

    // A link to a usable file is the file.
    const QString target = FileOfSize(dir, QStringLiteral("target.dll"), 30720);
    ASSERT_TRUE(QFile::link(target, dir.filePath(QStringLiteral("link.dll"))));
    EXPECT_TRUE(IsSkinUsable(dir.filePath(QStringLiteral("link.dll"))));
}

TEST(SkinLibrary, UsableSkinUnderANameThatIsNotUtf8) {
    QTemporaryDir dir;
    const std::filesystem::path path =
        std::filesystem::path(QFile::encodeName(dir.path()).toStdString()) / "Sk\xff\xfein.dll";
    {
        FILE* raw = std::fopen(path.c_str(), "wb");
        ASSERT_NE(raw, nullptr);
        std::fclose(raw);
        std::filesystem::resize_file(path, 30720);
    }
    EXPECT_TRUE(IsSkinUsable(path));
    // QTemporaryDir cannot name a file that is not UTF-8 to remove it.
    std::filesystem::remove(path);
}

TEST(SkinLibrary, StoreNamesMatchWhateverTheirCase) {
    const QImage top = test::PiecePicture(4, 30, 1);
    test::SkinFixture skin({{QStringLiteral("lefttop"), top},
                            {QStringLiteral("LeftMid"), test::PiecePicture(4, 10, 2)}});
    const PropertyBag store = OpenSkinStore(skin.path());
    EXPECT_EQ(store.ReadProperty(QStringLiteral("LEFTTOP"), QImage()).convertToFormat(top.format()),
              top);
    EXPECT_FALSE(store.ReadProperty(QStringLiteral("LEFTMID"), QImage()).isNull());
    EXPECT_TRUE(store.ReadProperty(QStringLiteral("RIGHTTOP"), QImage()).isNull());
}

TEST(SkinLibrary, StoreThatCannotBeReadIsEmpty) {
    QTemporaryDir dir;
    EXPECT_TRUE(OpenSkinStore(QString()).isEmpty());
    EXPECT_TRUE(OpenSkinStore(dir.filePath(QStringLiteral("missing.dll"))).isEmpty());
    EXPECT_TRUE(OpenSkinStore(dir.path()).isEmpty());
    const QString garbage = FileOfSize(dir, QStringLiteral("zeros.dll"), 40000);
    EXPECT_TRUE(OpenSkinStore(garbage).isEmpty());
}

TEST(SkinLibrary, StoreIsReadAfreshEveryTime) {
    test::SkinFixture skin({{QStringLiteral("BOTTOM"), test::PiecePicture(3, 6, 1)}});
    EXPECT_EQ(OpenSkinStore(skin.path()).ReadProperty(QStringLiteral("BOTTOM"), QImage()).height(),
              6);
    PropertyBag replaced;
    replaced.SetValue(QStringLiteral("BOTTOM"), test::PiecePicture(3, 9, 1));
    skin.write(replaced);
    EXPECT_EQ(OpenSkinStore(skin.path()).ReadProperty(QStringLiteral("BOTTOM"), QImage()).height(),
              9);
}

TEST(SkinLibrary, PicturesNumbersAndColoursOfTheStore) {
    PropertyBag store;
    store.SetValue(QStringLiteral("TopLeft"), test::PiecePicture(6, 5, 3));
    store.SetValue(QStringLiteral("XOFFSET"), std::int16_t{-4});
    store.SetValue(QStringLiteral("FROMTOP"), std::int16_t{0});
    store.SetValue(QStringLiteral("ICONSPACE"), std::int16_t{1});
    store.SetValue(QStringLiteral("FORECOLOR"), formats::Colour::FromRgb(1, 2, 3));
    store.SetValue(QStringLiteral("CLOSE"), QString(QStringLiteral("not a picture")));

    // The decoded value: the picture under any letter case; a missing or
    // mistyped entry is no picture and no value.
    const SkinValue skin(DecodeSkin(store));
    EXPECT_EQ(skin.picture(SkinPicture::TopLeft).size(), QSize(6, 5));
    EXPECT_TRUE(skin.picture(SkinPicture::Close).isNull());
    EXPECT_TRUE(skin.picture(SkinPicture::Min).isNull());
    EXPECT_EQ(skin.metrics().xOffset, std::optional<std::int16_t>(-4));
    EXPECT_EQ(skin.metrics().fromTop, std::optional<std::int16_t>(0));
    EXPECT_EQ(skin.metrics().yOffset, std::nullopt);
    EXPECT_EQ(skin.metrics().backColour, std::nullopt);

    EXPECT_EQ(SkinInteger(store, QStringLiteral("xoffset")), std::optional<std::int16_t>(-4));
    EXPECT_EQ(SkinInteger(store, QStringLiteral("FROMTOP")), std::optional<std::int16_t>(0));
    EXPECT_EQ(SkinInteger(store, QStringLiteral("ICONSPACE")), std::optional<std::int16_t>(1));
    EXPECT_EQ(SkinInteger(store, QStringLiteral("YOFFSET")), std::nullopt);
    EXPECT_EQ(SkinInteger(store, QStringLiteral("FORECOLOR")), std::nullopt);
    EXPECT_EQ(SkinColour(store, QStringLiteral("forecolor")),
              std::optional<formats::Colour>(formats::Colour::FromRgb(1, 2, 3)));
    EXPECT_EQ(SkinColour(store, QStringLiteral("XOFFSET")), std::nullopt);
    EXPECT_EQ(SkinColour(store, QStringLiteral("BackColor")), std::nullopt);
}

TEST(SkinOnTop, TopMostThenNormalKeepsPlaceAndSize) {
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.setGeometry(140, 90, 491, 337);
    window.show();
    const QRect before = window.geometry();
    Skin_clsOnTop onTop;

    onTop.MakeTopMost(&window);
    EXPECT_TRUE(platform::IsStaysOnTop(&window));
    EXPECT_EQ(window.geometry(), before);
    EXPECT_TRUE(window.isVisible());

    onTop.MakeNormal(&window);
    EXPECT_FALSE(platform::IsStaysOnTop(&window));
    EXPECT_EQ(window.geometry(), before);
    EXPECT_TRUE(window.isVisible());

    onTop.MakeTopMost(nullptr); // ignored
}
