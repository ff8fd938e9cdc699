#include "formats/property_bag.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace {

using varnel::Colour;
using varnel::PropertyBag;
using varnel::PropertyKind;
using varnel::StdFont;

QImage Pattern(int w, int h, QImage::Format format) {
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgba(x * 37 % 256, y * 91 % 256, (x ^ y) & 0xFF, 255 - x % 7));
        }
    }
    return image;
}

StdFont Tahoma() {
    StdFont f;
    f.family = QStringLiteral("Tahoma");
    f.pointSize = 8.25;
    f.weight = 700;
    f.bold = true;
    f.italic = true;
    f.underline = true;
    f.strikethrough = true;
    f.charset = 134;
    return f;
}

// A bag holding every kind of value.
PropertyBag EveryKind() {
    PropertyBag bag;
    bag.SetValue(QStringLiteral("Path"), QStringLiteral("C:\\程序\\Skins\\Skin20.dll ✓"));
    bag.SetValue(QStringLiteral("Style"), std::int32_t{-2147483647 - 1});
    bag.SetValue(QStringLiteral("XOFFSET"), std::int16_t{-32768});
    bag.SetValue(QStringLiteral("Movable"), false);
    bag.SetValue(QStringLiteral("ONTOP"), true);
    bag.SetValue(QStringLiteral("BackColor"), Colour{0x80000012u});
    bag.SetValue(QStringLiteral("ForeColor"), Colour::FromRgb(90, 126, 220));
    bag.SetValue(QStringLiteral("Font"), Tahoma());
    bag.SetValue(QStringLiteral("TOPLEFT"), Pattern(7, 3, QImage::Format_RGB32));
    bag.SetValue(QStringLiteral("Alpha"), Pattern(5, 9, QImage::Format_ARGB32));
    bag.SetValue(QStringLiteral("Empty"), QString());
    return bag;
}

TEST(PropertyBagTest, AbsentNamesGiveTheDefaultOfEveryKind) {
    const PropertyBag bag;
    EXPECT_EQ(bag.ReadProperty("Path", "x"), QStringLiteral("x"));
    EXPECT_EQ(bag.ReadProperty("Style", 1), 1);
    EXPECT_EQ(bag.ReadProperty("XOFFSET", std::int16_t{-5}), -5);
    EXPECT_TRUE(bag.ReadProperty("Movable", true));
    EXPECT_EQ(bag.ReadProperty("ForeColor", Colour{0x00FFFFFFu}), Colour{0x00FFFFFFu});
    EXPECT_EQ(bag.ReadProperty("Font", Tahoma()), Tahoma());
    EXPECT_TRUE(bag.ReadProperty("TOPLEFT", QImage()).isNull());
    EXPECT_FALSE(bag.kind("Path").has_value());
    EXPECT_EQ(bag.value("Path"), nullptr);
}

TEST(PropertyBagTest, ColourLayoutIsBlueGreenRed) {
    // RGB(90, 126, 220) is &H00DC7E5A in the Windows layout.
    EXPECT_EQ(Colour::FromRgb(90, 126, 220).value, 0x00DC7E5Au);
    const Colour c{0x00DC7E5Au};
    EXPECT_EQ(c.red(), 90);
    EXPECT_EQ(c.green(), 126);
    EXPECT_EQ(c.blue(), 220);
    EXPECT_EQ(c.toQColor(), QColor(90, 126, 220));
    EXPECT_TRUE(Colour{0x80000012u}.isSystemColour());
}

TEST(PropertyBagTest, NamesMatchWhateverTheirLetterCase) {
    PropertyBag bag;
    bag.SetValue(QStringLiteral("lefttop"), std::int16_t{4});
    EXPECT_EQ(bag.ReadProperty("LEFTTOP", std::int16_t{0}), 4);
    EXPECT_EQ(bag.ReadProperty("LeftTop", std::int16_t{0}), 4);
    EXPECT_TRUE(bag.contains("LEFTTOP"));
    EXPECT_EQ(bag.names(), QStringList{QStringLiteral("lefttop")});

    // A write under another spelling replaces the value and takes the new name.
    bag.WriteProperty("LeftTop", std::int16_t{6}, std::int16_t{0});
    EXPECT_EQ(bag.size(), 1u);
    EXPECT_EQ(bag.names(), QStringList{QStringLiteral("LeftTop")});
    EXPECT_EQ(bag.ReadProperty("lefttop", std::int16_t{0}), 6);

    EXPECT_TRUE(bag.remove("LEFTTOP"));
    EXPECT_TRUE(bag.isEmpty());
}

TEST(PropertyBagTest, ValuesEqualToTheirDefaultAreNotStoredAndRemoveOldOnes) {
    PropertyBag bag;
    bag.WriteProperty("Path", "", "");
    bag.WriteProperty("Movable", true, true);
    bag.WriteProperty("Style", 1, 1);
    bag.WriteProperty("BackColor", Colour{0x80000012u}, Colour{0x80000012u});
    bag.WriteProperty("Font", Tahoma(), Tahoma());
    bag.WriteProperty("TOPLEFT", QImage(), QImage());
    EXPECT_TRUE(bag.isEmpty());

    bag.WriteProperty("Style", 3, 1);
    bag.WriteProperty("Path", "C:\\a", "");
    bag.WriteProperty("Movable", false, true);
    ASSERT_EQ(bag.size(), 3u);
    EXPECT_EQ(bag.ReadProperty("Style", 1), 3);

    // Writing the default again removes the stored value, in any letter case.
    bag.WriteProperty("STYLE", 1, 1);
    bag.WriteProperty("path", QString(), QString());
    EXPECT_EQ(bag.names(), QStringList{QStringLiteral("Movable")});

    // An image equal in pixels to its default counts as the default, whatever
    // its pixel format.
    const QImage rgb = Pattern(3, 2, QImage::Format_RGB32);
    bag.WriteProperty("Pic", rgb.convertToFormat(QImage::Format_ARGB32), rgb);
    EXPECT_FALSE(bag.contains("Pic"));
}

TEST(PropertyBagTest, AValueOfAnotherKindGivesTheDefault) {
    PropertyBag bag;
    bag.SetValue(QStringLiteral("Text"), QStringLiteral("12"));
    bag.SetValue(QStringLiteral("Colour"), Colour{5});
    bag.SetValue(QStringLiteral("Int"), std::int32_t{5});
    bag.SetValue(QStringLiteral("Flag"), true);
    bag.SetValue(QStringLiteral("Pic"), Pattern(2, 2, QImage::Format_RGB32));

    EXPECT_EQ(bag.ReadProperty("Text", 7), 7);
    EXPECT_EQ(bag.ReadProperty("Colour", 7), 7);
    EXPECT_EQ(bag.ReadProperty("Int", Colour{9}), Colour{9});
    EXPECT_EQ(bag.ReadProperty("Flag", 7), 7);
    EXPECT_FALSE(bag.ReadProperty("Int", false));
    EXPECT_EQ(bag.ReadProperty("Pic", "none"), QStringLiteral("none"));
    EXPECT_TRUE(bag.ReadProperty("Text", QImage()).isNull());
    EXPECT_EQ(bag.ReadProperty("Pic", Tahoma()), Tahoma());
    EXPECT_EQ(bag.kind("Colour"), PropertyKind::Colour);
    EXPECT_EQ(bag.kind("pic"), PropertyKind::Picture);
}

TEST(PropertyBagTest, IntegersOfBothWidthsAnswerEachOtherWhenTheyFit) {
    PropertyBag bag;
    bag.SetValue(QStringLiteral("Small"), std::int16_t{-3});
    bag.SetValue(QStringLiteral("Fits"), std::int32_t{32767});
    bag.SetValue(QStringLiteral("Wide"), std::int32_t{32768});
    bag.SetValue(QStringLiteral("Low"), std::int32_t{-32769});
    EXPECT_EQ(bag.ReadProperty("Small", 0), -3);
    EXPECT_EQ(bag.ReadProperty("Fits", std::int16_t{0}), 32767);
    EXPECT_EQ(bag.ReadProperty("Wide", std::int16_t{9}), 9);
    EXPECT_EQ(bag.ReadProperty("Low", std::int16_t{9}), 9);
    EXPECT_EQ(bag.ReadProperty("Wide", 0), 32768);
}

TEST(PropertyBagTest, EveryKindRoundTripsThroughItsBytes) {
    const PropertyBag bag = EveryKind();
    const QByteArray bytes = bag.contents();
    ASSERT_FALSE(bytes.isEmpty());

    PropertyBag back;
    ASSERT_TRUE(back.setContents(bytes));
    EXPECT_EQ(back, bag);
    EXPECT_EQ(back.names(), bag.names());
    EXPECT_EQ(back.ReadProperty("path", ""), QStringLiteral("C:\\程序\\Skins\\Skin20.dll ✓"));
    EXPECT_EQ(back.ReadProperty("Style", 0), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(back.ReadProperty("XOFFSET", std::int16_t{0}), -32768);
    EXPECT_FALSE(back.ReadProperty("Movable", true));
    EXPECT_TRUE(back.ReadProperty("ONTOP", false));
    EXPECT_EQ(back.ReadProperty("BackColor", Colour{}), Colour{0x80000012u});
    EXPECT_EQ(back.ReadProperty("Font", StdFont{}), Tahoma());
    EXPECT_EQ(back.kind("Empty"), PropertyKind::Text);

    const QImage alpha = back.ReadProperty("Alpha", QImage());
    ASSERT_EQ(alpha.size(), QSize(5, 9));
    EXPECT_EQ(alpha.convertToFormat(QImage::Format_ARGB32), Pattern(5, 9, QImage::Format_ARGB32));
    const QImage rgb = back.ReadProperty("TOPLEFT", QImage());
    EXPECT_EQ(rgb.convertToFormat(QImage::Format_RGB32), Pattern(7, 3, QImage::Format_RGB32));

    // The same set gives the same bytes again, and every compression level
    // reads back to the same pixels.
    EXPECT_EQ(back.contents(), bytes);
    for (int level : {0, 9}) {
        PropertyBag copy = bag;
        copy.setPictureCompression(level);
        EXPECT_EQ(PropertyBag::FromContents(copy.contents()), bag) << "level " << level;
    }
}

TEST(PropertyBagTest, StoredPicturesGrowWithoutCompression) {
    PropertyBag bag;
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(QColor(90, 126, 220));
    bag.SetValue(QStringLiteral("P"), flat);
    const qsizetype packed = bag.contents().size();
    bag.setPictureCompression(0);
    const qsizetype stored = bag.contents().size();
    EXPECT_LT(packed, 1000);
    // Level 0 keeps every row: 64 * (1 + 64 * 3) bytes of pixel data at least.
    EXPECT_GE(stored, 64 * (1 + 64 * 3));
}

// The documented byte layout, written out by hand from docs/skin-format.md.
TEST(PropertyBagTest, BytesFollowTheDocumentedLayout) {
    EXPECT_EQ(PropertyBag().contents(), QByteArray("VNPB\x00\x01\x00\x00\x00\x00", 10));

    PropertyBag bag;
    bag.SetValue(QStringLiteral("Ab"), std::int16_t{-2});
    bag.SetValue(QStringLiteral("C"), Colour{0x00DC7E5Au});
    bag.SetValue(QStringLiteral("F"), true);
    const QByteArray expected("VNPB\x00\x01\x00\x00\x00\x03"
                              "\x00\x00\x00\x04\x00"
                              "A\x00"
                              "b\x03\xFF\xFE"
                              "\x00\x00\x00\x02\x00"
                              "C\x05\x00\xDC\x7E\x5A"
                              "\x00\x00\x00\x02\x00"
                              "F\x04\x01",
                              10 + 4 + 4 + 1 + 2 + 4 + 2 + 1 + 4 + 4 + 2 + 1 + 1);
    EXPECT_EQ(bag.contents().toHex(' '), expected.toHex(' '));
    EXPECT_EQ(PropertyBag::FromContents(expected), bag);
}

TEST(PropertyBagTest, ChangeLogRecordsEveryMarkInOrder) {
    varnel::PropertyChangeLog log;
    QStringList heard;
    log.setListener([&heard](const QString& name) { heard.append(name); });
    log.PropertyChanged(QStringLiteral("BORDERTYPE"));
    log.PropertyChanged(QStringLiteral("Path"));
    log.PropertyChanged(QStringLiteral("Path"));
    EXPECT_EQ(log.marked(), (QStringList{"BORDERTYPE", "Path", "Path"}));
    EXPECT_EQ(heard, log.marked());
    EXPECT_TRUE(log.wasMarked(QStringLiteral("path")));
    EXPECT_FALSE(log.wasMarked(QStringLiteral("Style")));
    log.clear();
    EXPECT_TRUE(log.marked().isEmpty());
}

// --- hostile bytes ----------------------------------------------------------------

void ExpectRefused(const QByteArray& bytes, const char* what) {
    PropertyBag bag = EveryKind();
    EXPECT_FALSE(bag.setContents(bytes)) << what;
    EXPECT_TRUE(bag.isEmpty()) << what;
}

QByteArray Header(std::uint32_t count) {
    QByteArray b("VNPB\x00\x01", 6);
    char n[4];
    qToBigEndian(count, n);
    b.append(n, 4);
    return b;
}

QByteArray Be32(std::uint32_t v) {
    char n[4];
    qToBigEndian(v, n);
    return QByteArray(n, 4);
}

// One entry "P" of kind picture holding bytes.
QByteArray PictureEntry(const QByteArray& png) {
    return Be32(2) + QByteArray("\x00P\x07", 3) + Be32(static_cast<std::uint32_t>(png.size())) +
           png;
}

QByteArray Png(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return png;
}

// CRC-32 as PNG chunks carry it (polynomial 0xEDB88320), bit by bit.
std::uint32_t ChunkCrc(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes) {
        crc ^= static_cast<unsigned char>(ch);
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
    }
    return ~crc;
}

// A PNG header chunk claiming width x height, with a correct CRC.
QByteArray PngClaiming(std::uint32_t width, std::uint32_t height) {
    QByteArray ihdr("IHDR", 4);
    ihdr += Be32(width) + Be32(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += Be32(13) + ihdr + Be32(ChunkCrc(ihdr));
    png += Be32(0) + QByteArray("IEND", 4) + Be32(0xAE426082u);
    return png;
}

TEST(PropertyBagHostileTest, EveryTruncationOfAValidBagIsRefused) {
    const QByteArray bytes = EveryKind().contents();
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        ExpectRefused(bytes.left(n), "truncated");
        if (HasFailure()) {
            FAIL() << "at length " << n;
        }
    }
    ExpectRefused(bytes + '\0', "one trailing byte");
}

TEST(PropertyBagHostileTest, MalformedHeadersAndEntriesAreRefused) {
    ExpectRefused(QByteArray("VNPX\x00\x01\x00\x00\x00\x00", 10), "magic");
    ExpectRefused(QByteArray("VNPB\x00\x02\x00\x00\x00\x00", 10), "format version");
    ExpectRefused(Header(0xFFFFFFFFu), "count of 4 billion");
    ExpectRefused(Header(4097) + QByteArray(4097 * 8, '\x01'), "count over the cap");
    ExpectRefused(Header(1) + Be32(0xFFFFFFF0u) + QByteArray(64, 'A'), "name length");
    ExpectRefused(Header(1) + Be32(3) +
                      QByteArray("\x00"
                                 "A\x04\x01",
                                 4),
                  "odd name length");
    ExpectRefused(Header(1) + Be32(0) + QByteArray("\x04\x01", 2), "empty name");
    ExpectRefused(Header(1) + Be32(600) + QByteArray(600, 'A') + QByteArray("\x04\x01", 2),
                  "name of 300 characters");
    ExpectRefused(Header(1) + Be32(2) +
                      QByteArray("\x00"
                                 "A\x09\x01",
                                 4),
                  "unknown kind");
    ExpectRefused(Header(1) + Be32(2) +
                      QByteArray("\x00"
                                 "A\x04\x02",
                                 4),
                  "Boolean 2");
    ExpectRefused(Header(2) + Be32(2) +
                      QByteArray("\x00"
                                 "A\x04\x01",
                                 4) +
                      Be32(2) +
                      QByteArray("\x00"
                                 "a\x04\x00",
                                 4),
                  "the same name twice in two letter cases");
    ExpectRefused(Header(1) + Be32(2) +
                      QByteArray("\x00"
                                 "A\x01",
                                 3) +
                      Be32(0x7FFFFFFEu),
                  "text length beyond the input");
    ExpectRefused(Header(1) + PictureEntry(QByteArray(100, 'x')).mid(0), "picture not a PNG");
}

TEST(PropertyBagHostileTest, PicturesClaimingHugeSizesAreRefusedBeforeDecoding) {
    ASSERT_EQ(ChunkCrc(QByteArray("IEND")), 0xAE426082u); // the CRC every PNG ends with
    ExpectRefused(Header(1) + PictureEntry(PngClaiming(100000, 100000)), "100000 x 100000");
    ExpectRefused(Header(1) + PictureEntry(PngClaiming(4097, 1)), "4097 wide");
    ExpectRefused(Header(1) + PictureEntry(PngClaiming(0, 10)), "no width");

    // A chunk claiming a gigabyte inside a small picture: the decoder would
    // allocate what the chunk claims before reading it.
    const QByteArray small = Png(Pattern(4, 4, QImage::Format_RGB32));
    ASSERT_GT(small.size(), 33);
    QByteArray bloated = small;
    bloated.insert(33, Be32(0x40000000u) + QByteArray("tEXt", 4) + QByteArray(16, 'a'));
    ExpectRefused(Header(1) + PictureEntry(bloated), "chunk longer than the picture");

    // A well-formed text chunk is dropped and the pixels still read.
    QByteArray annotated = small;
    const QByteArray text = QByteArray("tEXt", 4) + QByteArray("Comment\0hello", 13);
    annotated.insert(33, Be32(13) + text + Be32(ChunkCrc(text)));
    const auto read = PropertyBag::FromContents(Header(1) + PictureEntry(annotated));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->ReadProperty("P", QImage()).convertToFormat(QImage::Format_RGB32),
              Pattern(4, 4, QImage::Format_RGB32));

    // A well-formed header whose image data is missing.
    ExpectRefused(Header(1) + PictureEntry(PngClaiming(16, 16)), "no image data");

    // Pictures within the limits one by one but beyond them together.
    QImage big(3000, 3000, QImage::Format_RGB32);
    big.fill(Qt::white);
    const QByteArray bigPng = Png(big);
    EXPECT_TRUE(PropertyBag::FromContents(Header(1) + PictureEntry(bigPng)).has_value());
    QByteArray second = PictureEntry(bigPng);
    second[5] = 'Q'; // another name
    ExpectRefused(Header(2) + PictureEntry(bigPng) + second, "18 million pixels in total");
}

TEST(PropertyBagHostileTest, RandomAndMutatedBytesNeverCrash) {
    std::mt19937 rng(20240611);
    const QByteArray valid = EveryKind().contents();
    int accepted = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        if (round % 2 == 0) {
            bytes.resize(static_cast<qsizetype>(rng() % 300));
            for (char& c : bytes) {
                c = static_cast<char>(rng());
            }
            if (round % 4 == 0) {
                bytes.replace(0, std::min<qsizetype>(6, bytes.size()),
                              QByteArray("VNPB\x00\x01", 6));
            }
        } else {
            bytes = valid;
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < flips; ++i) {
                bytes[static_cast<qsizetype>(rng() % static_cast<unsigned>(bytes.size()))] =
                    static_cast<char>(rng());
            }
        }
        PropertyBag bag;
        if (bag.setContents(bytes)) {
            ++accepted;
            // Whatever is accepted writes back to bytes that read the same.
            EXPECT_EQ(PropertyBag::FromContents(bag.contents()), bag);
        } else {
            EXPECT_TRUE(bag.isEmpty());
        }
    }
    EXPECT_LT(accepted, 3000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

} // namespace
