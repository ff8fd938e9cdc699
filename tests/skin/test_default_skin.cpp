// The default skin drawn at build time into the run-time tree.
#include "skin/skin_entries.h"
#include "skin/skin_file.h"

#include <QImage>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using varnel::PropertyBag;

const fs::path kSkin = fs::path(VARNEL_PROGRAM_DIR) / "Skins" / "Skin20.dll";

class DefaultSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<PropertyBag> read = varnel::ReadSkinFile(kSkin);
        ASSERT_TRUE(read.has_value()) << kSkin;
        m_Bag = *read;
    }
    QImage picture(const char* name) const { return m_Bag.ReadProperty(name, QImage()); }
    int integer(const char* name) const { return m_Bag.ReadProperty(name, std::int16_t{-999}); }

    // Mean brightness of a picture, 0 to 255.
    static double Brightness(const QImage& image) {
        double sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                sum += qGray(image.pixel(x, y));
            }
        }
        return sum / (image.width() * image.height());
    }

    PropertyBag m_Bag;
};

TEST_F(DefaultSkinTest, IsLargeEnoughToBeUsed) {
    EXPECT_GE(fs::file_size(kSkin), varnel::kSkinMinimumBytes);
}

TEST_F(DefaultSkinTest, HoldsEveryEntryWithItsKindAndNothingElse) {
    for (const varnel::SkinEntry& entry : varnel::kSkinEntries) {
        const QString name =
            QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        EXPECT_EQ(m_Bag.kind(name), varnel::StoredKind(entry.kind)) << name.toStdString();
        if (entry.kind == varnel::SkinEntryKind::Picture) {
            const QImage image = m_Bag.ReadProperty(name, QImage());
            EXPECT_FALSE(image.isNull()) << name.toStdString();
            // The pieces are copied as they are: no transparency to lose.
            EXPECT_FALSE(image.hasAlphaChannel()) << name.toStdString();
        }
    }
    EXPECT_EQ(m_Bag.size(), varnel::kSkinEntries.size());
}

TEST_F(DefaultSkinTest, PiecesFitTogether) {
    // Title bar pieces share one height; border pieces one thickness.
    const int bar = picture("TOPLEFT").height();
    EXPECT_GT(bar, 0);
    EXPECT_EQ(picture("TOPMID").height(), bar);
    EXPECT_EQ(picture("TOPRIGHT").height(), bar);
    const int side = picture("LEFTTOP").width();
    EXPECT_GT(side, 0);
    for (const char* name : {"LEFTMID", "RIGHTTOP", "RIGHTMID"}) {
        EXPECT_EQ(picture(name).width(), side) << name;
    }
    const int bottom = picture("BOTTOM").height();
    EXPECT_EQ(picture("LEFTBOT").height(), bottom);
    EXPECT_EQ(picture("RIGHTBOT").height(), bottom);

    // The outer two columns of the frame (outline and lit or shaded face) run
    // from the ends of the bar down the side borders.
    const QImage right = picture("TOPRIGHT");
    const QImage rightMid = picture("RIGHTMID");
    for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(picture("LEFTMID").pixel(x, 0), picture("TOPLEFT").pixel(x, bar / 2)) << x;
        EXPECT_EQ(rightMid.pixel(side - 1 - x, 0), right.pixel(right.width() - 1 - x, bar / 2))
            << x;
    }
    EXPECT_EQ(picture("LEFTMID").pixel(0, 0), picture("LEFTBOT").pixel(0, 0));
}

TEST_F(DefaultSkinTest, ButtonsFitTheBarAndTheIconAndTextDoNotOverlap) {
    const int bar = picture("TOPLEFT").height();
    const QSize button = picture("CLOSE").size();
    for (const char* name : {"CLOSE2", "CLOSE3", "MIN", "MIN2", "MIN3", "MAX", "MAX2", "MAX3",
                             "RES1", "RES2", "RES3", "ONTOP1", "ONTOP3"}) {
        EXPECT_EQ(picture(name).size(), button) << name;
    }
    EXPECT_GE(integer("FROMTOP"), 0);
    EXPECT_LE(integer("FROMTOP") + button.height(), bar);
    EXPECT_GE(integer("FROMRIGHT"), 0);
    EXPECT_GE(integer("ICONSPACE"), 0);
    // The 16 x 16 icon sits at (XOFFSET2, YOFFSET + 2), the text from XOFFSET + 17.
    EXPECT_GE(integer("XOFFSET2"), 0);
    EXPECT_LE(integer("XOFFSET2") + 16, integer("XOFFSET") + 17);
    EXPECT_GE(integer("YOFFSET"), 0);
    EXPECT_LE(integer("YOFFSET") + 2 + 16, bar);
}

TEST_F(DefaultSkinTest, HoverIsLighterAndPressedDarker) {
    struct Family {
        const char* normal;
        const char* hover;
        const char* pressed;
    };
    // Restore counts the other way: 2 hover, 3 pressed.
    for (const Family& f : {Family{"CLOSE", "CLOSE3", "CLOSE2"}, Family{"MIN", "MIN3", "MIN2"},
                            Family{"MAX", "MAX3", "MAX2"}, Family{"RES1", "RES2", "RES3"}}) {
        const double normal = Brightness(picture(f.normal));
        EXPECT_GT(Brightness(picture(f.pressed)), 0.0) << f.pressed;
        EXPECT_LT(Brightness(picture(f.pressed)), normal) << f.pressed;
        if (std::string_view(f.normal) != "CLOSE") { // close turns red instead
            EXPECT_GT(Brightness(picture(f.hover)), normal) << f.hover;
        } else {
            EXPECT_NE(picture(f.hover), picture(f.normal));
        }
    }
    EXPECT_NE(picture("ONTOP1"), picture("ONTOP3"));
}

TEST_F(DefaultSkinTest, ColoursAreBlueFrameAndLightWindow) {
    using varnel::Colour;
    const Colour fore = m_Bag.ReadProperty("FORECOLOR", Colour{0x01000000u});
    const Colour back = m_Bag.ReadProperty("BackColor", Colour{0x01000000u});
    const Colour parent = m_Bag.ReadProperty("PARENTBACKCOLOR", Colour{0x01000000u});
    for (const Colour c : {fore, back, parent}) {
        EXPECT_EQ(c.value & 0xFF000000u, 0u);
    }
    // Caption text stands out from its shadow copy.
    EXPECT_GT(qGray(fore.toQColor().rgb()) - qGray(back.toQColor().rgb()), 100);
}

} // namespace
