// varnel-skin, driven through the real executable.
#include "skin/skin_entries.h"
#include "skin/skin_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using varnel::Colour;
using varnel::PropertyBag;

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result RunTool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(VARNEL_PROGRAM_DIR "/varnel-skin"), args);
    Result r;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.status = process.exitCode();
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

fs::path Native(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

QString Name(const varnel::SkinEntry& entry) {
    return QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
}

// A picture of its own size and pixels for entry number i.
QImage PictureFor(int i) {
    QImage image(3 + i, 2 + i % 5, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(i * 9, x * 20, y * 40));
        }
    }
    return image;
}

const char* kValues = "# a hand-made skin\n"
                      "XOFFSET = 12\n"
                      "  xoffset2=8\n"
                      "YOFFSET = -3\n"
                      "FROMRIGHT = 32767\n"
                      "FROMTOP = 5\n"
                      "ICONSPACE = 0\n"
                      "\n"
                      "FORECOLOR = #5A7EDC\n"
                      "backcolor = &H80000012&\n"
                      "PARENTBACKCOLOR = &hFFFFFF\n";

class SkinToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Tmp.isValid());
        m_Src = m_Tmp.filePath(QStringLiteral("src"));
        ASSERT_TRUE(QDir().mkpath(m_Src));
        int i = 0;
        for (const varnel::SkinEntry& entry : varnel::kSkinEntries) {
            if (entry.kind == varnel::SkinEntryKind::Picture) {
                // Every other picture as BMP under a lower-case name.
                const bool bmp = i % 2 == 1;
                const QString file = bmp ? Name(entry).toLower() + QStringLiteral(".bmp")
                                         : Name(entry) + QStringLiteral(".png");
                ASSERT_TRUE(
                    PictureFor(i).save(m_Src + QLatin1Char('/') + file, bmp ? "BMP" : "PNG"));
            }
            ++i;
        }
        WriteValues(kValues);
    }

    void WriteValues(const QByteArray& text) {
        QFile f(m_Src + QStringLiteral("/values.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QString path(const QString& name) const { return m_Tmp.filePath(name); }

    QTemporaryDir m_Tmp;
    QString m_Src;
};

TEST_F(SkinToolTest, PackStoresEveryEntryWithItsKindAndPixels) {
    const Result r = RunTool({"pack", m_Src, path("Skin20.dll")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const std::optional<PropertyBag> bag = varnel::ReadSkinFile(Native(path("Skin20.dll")));
    ASSERT_TRUE(bag.has_value());
    EXPECT_EQ(bag->size(), varnel::kSkinEntries.size());
    int i = 0;
    for (const varnel::SkinEntry& entry : varnel::kSkinEntries) {
        const QString name = Name(entry);
        EXPECT_EQ(bag->kind(name), varnel::StoredKind(entry.kind)) << name.toStdString();
        if (entry.kind == varnel::SkinEntryKind::Picture) {
            EXPECT_EQ(bag->ReadProperty(name, QImage()).convertToFormat(QImage::Format_RGB32),
                      PictureFor(i))
                << name.toStdString();
        }
        ++i;
    }
    EXPECT_EQ(bag->names().front(), QStringLiteral("LEFTTOP")); // the program's spelling
    EXPECT_EQ(bag->ReadProperty("XOFFSET", std::int16_t{0}), 12);
    EXPECT_EQ(bag->ReadProperty("XOFFSET2", std::int16_t{0}), 8);
    EXPECT_EQ(bag->ReadProperty("YOFFSET", std::int16_t{0}), -3);
    EXPECT_EQ(bag->ReadProperty("FROMRIGHT", std::int16_t{0}), 32767);
    // #5A7EDC is RGB(90, 126, 220), &H00DC7E5A in the Windows layout.
    EXPECT_EQ(bag->ReadProperty("FORECOLOR", Colour{}), Colour{0x00DC7E5Au});
    EXPECT_EQ(bag->ReadProperty("BackColor", Colour{}), Colour{0x80000012u});
    EXPECT_EQ(bag->ReadProperty("PARENTBACKCOLOR", Colour{}), Colour{0x00FFFFFFu});
    // This small skin is below the usability threshold, and the tool says so.
    EXPECT_TRUE(r.err.contains(QStringLiteral("warning"))) << r.err.toStdString();
}

TEST_F(SkinToolTest, ListShowsKindsSizesAndValues) {
    ASSERT_EQ(RunTool({"pack", m_Src, path("s.dll")}).status, 0);
    const Result r = RunTool({"list", path("s.dll")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    const auto line = [&lines](const QString& name) {
        for (const QString& l : lines) {
            if (l.section(QLatin1Char(' '), 0, 0) == name) {
                return l.simplified();
            }
        }
        return QString();
    };
    EXPECT_EQ(line("LEFTTOP"), QStringLiteral("LEFTTOP picture 3x2"));
    EXPECT_EQ(line("LEFTMID"), QStringLiteral("LEFTMID picture 4x3"));
    EXPECT_EQ(line("YOFFSET"), QStringLiteral("YOFFSET int16 -3"));
    EXPECT_EQ(line("FORECOLOR"), QStringLiteral("FORECOLOR colour &H00DC7E5A& (#5A7EDC)"));
    EXPECT_TRUE(line("BackColor").startsWith(QStringLiteral("BackColor colour &H80000012&")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("33 entries")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("missing")));
}

TEST_F(SkinToolTest, UnpackThenPackGivesTheSameStore) {
    ASSERT_EQ(RunTool({"pack", "--compression", "0", m_Src, path("a.dll")}).status, 0);
    const Result unpack = RunTool({"unpack", path("a.dll"), path("out")});
    ASSERT_EQ(unpack.status, 0) << unpack.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("out/CLOSE3.png")));
    EXPECT_TRUE(QFile::exists(path("out/values.txt")));
    ASSERT_EQ(RunTool({"pack", "--compression=9", path("out"), path("b.dll")}).status, 0);
    const auto a = varnel::ReadSkinFile(Native(path("a.dll")));
    const auto b = varnel::ReadSkinFile(Native(path("b.dll")));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
    EXPECT_GT(QFile(path("a.dll")).size(), QFile(path("b.dll")).size());
}

TEST_F(SkinToolTest, TheDefaultSkinSurvivesUnpackAndPack) {
    const QString skin = QStringLiteral(VARNEL_PROGRAM_DIR "/Skins/Skin20.dll");
    ASSERT_EQ(RunTool({"unpack", skin, path("default")}).status, 0);
    const Result pack = RunTool({"pack", path("default"), path("again.dll")});
    ASSERT_EQ(pack.status, 0) << pack.err.toStdString();
    const auto original = varnel::ReadSkinFile(Native(skin));
    const auto again = varnel::ReadSkinFile(Native(path("again.dll")));
    ASSERT_TRUE(original && again);
    EXPECT_EQ(*original, *again);
}

TEST_F(SkinToolTest, AMissingEntryIsNamed) {
    ASSERT_TRUE(QFile::remove(m_Src + QStringLiteral("/LEFTTOP.png")));
    WriteValues("XOFFSET2 = 1\nYOFFSET = 1\nFROMRIGHT = 1\nFROMTOP = 1\nICONSPACE = 1\n"
                "FORECOLOR = #000000\nBackColor = #000000\nPARENTBACKCOLOR = #000000\n");
    const Result r = RunTool({"pack", m_Src, path("s.dll")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("LEFTTOP"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("XOFFSET "))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("s.dll")));
}

TEST_F(SkinToolTest, AnUnreadablePictureIsNamedWithItsFile) {
    QFile bad(m_Src + QStringLiteral("/CLOSE.png"));
    ASSERT_TRUE(bad.exists());
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("not a picture at all");
    bad.close();
    const Result r = RunTool({"pack", m_Src, path("s.dll")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("CLOSE"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("CLOSE.png"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("s.dll")));
}

TEST_F(SkinToolTest, TwoFilesForOnePictureAreAnError) {
    ASSERT_TRUE(PictureFor(1).save(m_Src + QStringLiteral("/Min.png")));
    ASSERT_TRUE(PictureFor(1).save(m_Src + QStringLiteral("/MIN.bmp")));
    const Result r = RunTool({"pack", m_Src, path("s.dll")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("MIN has more than one file")))
        << r.err.toStdString();
}

TEST_F(SkinToolTest, BadValuesAreReportedWithTheirLine) {
    WriteValues("XOFFSET = 12\n"
                "XOFSET = 1\n"
                "FROMTOP = 40000\n"
                "FORECOLOR = blue\n"
                "TOPMID = 3\n"
                "no equals sign\n"
                "xoffset = 4\n");
    const Result r = RunTool({"pack", m_Src, path("s.dll")});
    EXPECT_EQ(r.status, 1);
    const std::string err = r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt:2: unknown entry \"XOFSET\""))) << err;
    EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt:3: FROMTOP needs an integer"))) << err;
    EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt:4: FORECOLOR needs a colour"))) << err;
    EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt:5: TOPMID is a picture entry"))) << err;
    EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt:6: expected NAME = VALUE"))) << err;
    EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt:7: XOFFSET is given twice"))) << err;
    EXPECT_FALSE(QFile::exists(path("s.dll")));
}

TEST_F(SkinToolTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunTool({}).status, 2);
    EXPECT_EQ(RunTool({"frobnicate"}).status, 2);
    EXPECT_EQ(RunTool({"pack", m_Src}).status, 2);
    EXPECT_EQ(RunTool({"pack", "--compression", "12", m_Src, path("s.dll")}).status, 2);
    EXPECT_EQ(RunTool({"unpack", path("s.dll")}).status, 2);
    EXPECT_EQ(RunTool({"list"}).status, 2);
    EXPECT_EQ(RunTool({"--help"}).status, 0);
}

TEST_F(SkinToolTest, FilesThatAreNotStoresAreRefused) {
    EXPECT_EQ(RunTool({"list", path("absent.dll")}).status, 1);
    QFile junk(path("junk.dll"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(40000, 'x'));
    junk.close();
    const Result r = RunTool({"unpack", path("junk.dll"), path("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("junk.dll")));
}

TEST_F(SkinToolTest, UnpackWritesOnlyInsideItsFolder) {
    PropertyBag bag;
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    bag.SetValue(QStringLiteral("../escaped"), image);
    bag.SetValue(QStringLiteral("/tmp/absolute"), image);
    bag.SetValue(QStringLiteral("TOPMID"), image);
    bag.SetValue(QStringLiteral("Caption"), QStringLiteral("text"));
    ASSERT_TRUE(varnel::WriteSkinFile(Native(path("odd.dll")), bag));
    const Result r = RunTool({"unpack", path("odd.dll"), path("out/inner")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("out/inner/TOPMID.png")));
    EXPECT_FALSE(QFile::exists(path("out/escaped.png")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/absolute.png")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("../escaped"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Caption"))) << r.err.toStdString();
}

TEST_F(SkinToolTest, UnpackNeverWritesThroughLinksPlantedInItsFolder) {
    ASSERT_EQ(RunTool({"pack", m_Src, path("skin.dll")}).status, 0);
    ASSERT_TRUE(QDir().mkpath(path("out")));
    struct Planted {
        const char* name;
        const char* victim;
    };
    const Planted planted[] = {{"LEFTTOP.png", "victim1.txt"}, {"values.txt", "victim2.txt"}};
    for (const Planted& p : planted) {
        QFile victim(path(QString::fromLatin1(p.victim)));
        ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
        victim.write("untouched");
        victim.close();
        fs::create_symlink(Native(path(QString::fromLatin1(p.victim))),
                           Native(path(QStringLiteral("out/") + QString::fromLatin1(p.name))));
    }
    const Result r = RunTool({"unpack", path("skin.dll"), path("out")});
    EXPECT_EQ(r.status, 1);
    for (const Planted& p : planted) {
        QFile victim(path(QString::fromLatin1(p.victim)));
        ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
        EXPECT_EQ(victim.readAll(), QByteArray("untouched")) << p.victim;
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(p.name))) << r.err.toStdString();
        EXPECT_TRUE(
            fs::is_symlink(Native(path(QStringLiteral("out/") + QString::fromLatin1(p.name)))));
    }
    // The other pictures were written as new files.
    EXPECT_TRUE(QFile::exists(path("out/TOPMID.png")));
}

// An output folder that is a link (one planted in a shared folder such as
// /tmp) is refused however the path names it: nothing is written where it
// leads, and nothing is made there.
TEST_F(SkinToolTest, UnpackNeverWritesThroughAFolderLink) {
    ASSERT_EQ(RunTool({"pack", m_Src, path("skin.dll")}).status, 0);
    ASSERT_TRUE(QDir().mkpath(path("victim")));
    QFile victim(path("victim/values.txt"));
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.write("untouched");
    victim.close();
    fs::create_symlink(Native(path("victim")), Native(path("out")));
    fs::create_symlink(Native(path("victim/made")), Native(path("dangling")));
    for (const char* given : {"out", "out/", "out//.", "dangling"}) {
        const Result r = RunTool({"unpack", path("skin.dll"), path(QString::fromLatin1(given))});
        EXPECT_EQ(r.status, 1) << given;
        EXPECT_TRUE(r.err.contains(QStringLiteral("symbolic link"))) << r.err.toStdString();
    }
    ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
    EXPECT_EQ(victim.readAll(), QByteArray("untouched"));
    EXPECT_EQ(std::distance(fs::directory_iterator(Native(path("victim"))), {}), 1);
}

// Any name the file system takes is a name pack can write, also one near the
// length limit: its temporary file is named within the limit too.
TEST_F(SkinToolTest, PackWritesNamesUpToTheLengthLimit) {
    for (const int length : {253, 255}) {
        const QString name = QString(length - 4, QLatin1Char('n')) + QStringLiteral(".dll");
        const QString dir = path(QStringLiteral("long%1").arg(length));
        ASSERT_TRUE(QDir().mkpath(dir));
        for (int run = 0; run < 2; ++run) { // a new file, then one replaced
            const Result r = RunTool({"pack", m_Src, dir + QLatin1Char('/') + name});
            EXPECT_EQ(r.status, 0) << length << " " << r.err.toStdString();
        }
        EXPECT_TRUE(varnel::ReadSkinFile(Native(dir + QLatin1Char('/') + name)).has_value());
        // No temporary file is left behind.
        EXPECT_EQ(std::distance(fs::directory_iterator(Native(dir)), {}), 1) << length;
    }
}

TEST_F(SkinToolTest, PackReplacesOnlyRegularFilesAndKeepsTheirMode) {
    // An output that is a link or a FIFO is refused and left as it is.
    QFile target(path("target.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("keep");
    target.close();
    fs::create_symlink(Native(path("target.txt")), Native(path("link.dll")));
    ASSERT_EQ(::mkfifo(Native(path("fifo.dll")).c_str(), 0600), 0);
    for (const char* name : {"link.dll", "fifo.dll"}) {
        const Result r = RunTool({"pack", m_Src, path(QString::fromLatin1(name))});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_TRUE(r.err.contains(QStringLiteral("not"))) << r.err.toStdString();
    }
    EXPECT_TRUE(fs::is_symlink(Native(path("link.dll"))));
    EXPECT_TRUE(fs::is_fifo(Native(path("fifo.dll"))));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), QByteArray("keep"));

    // A regular file is replaced and keeps its mode; the tool says so.
    QFile owned(path("owned.dll"));
    ASSERT_TRUE(owned.open(QIODevice::WriteOnly));
    owned.close();
    fs::permissions(Native(path("owned.dll")), fs::perms::owner_read | fs::perms::owner_write);
    const Result replaced = RunTool({"pack", m_Src, path("owned.dll")});
    EXPECT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_EQ(fs::status(Native(path("owned.dll"))).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(replaced.out.contains(QStringLiteral("mode 0600 kept")))
        << replaced.out.toStdString();
    EXPECT_TRUE(
        RunTool({"pack", m_Src, path("fresh.dll")}).out.contains(QStringLiteral("new file")));
}

TEST_F(SkinToolTest, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    struct Input {
        const char* what;
        std::function<void(const fs::path&)> make;
    };
    const Input inputs[] = {
        {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"a link to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }},
    };
    for (const Input& input : inputs) {
        const fs::path values = Native(m_Src + QStringLiteral("/values.txt"));
        fs::remove_all(values);
        input.make(values);
        const Result r = RunTool({"pack", m_Src, path("out.dll")});
        EXPECT_EQ(r.status, 1) << input.what;
        EXPECT_TRUE(r.err.contains(QStringLiteral("values.txt")))
            << input.what << ": " << r.err.toStdString();
    }
}

TEST_F(SkinToolTest, HostileEntryNamesReachNeitherTheTerminalNorValuesRaw) {
    struct Hostile {
        QString name;
        const char* shown;
    };
    const Hostile names[] = {
        {QStringLiteral("CLEAR\x1B[2J"), "CLEAR\\033[2J"},
        {QStringLiteral("CR\rOK"), "CR\\rOK"},
        {QString::fromUtf16(u"N\0UL", 4), "N\\000UL"},
        {QString::fromUtf16(u"bidi\u202Etxt"), "bidi\\u202Etxt"},
    };
    PropertyBag bag;
    for (const Hostile& h : names) {
        bag.SetValue(h.name, std::int16_t{7});
    }
    ASSERT_TRUE(varnel::WriteSkinFile(Native(path("hostile.dll")), bag));

    const Result list = RunTool({"list", path("hostile.dll")});
    EXPECT_EQ(list.status, 0) << list.err.toStdString();
    for (const Hostile& h : names) {
        EXPECT_TRUE(list.out.contains(QString::fromUtf8(h.shown))) << h.shown;
    }
    // Nothing cut the listing short: the summary follows every entry.
    EXPECT_TRUE(list.out.contains(QStringLiteral("4 entries"))) << list.out.toStdString();
    for (const QChar c : list.out) {
        EXPECT_TRUE(c == QLatin1Char('\n') ||
                    (c.unicode() >= 0x20 && c.unicode() != 0x7F && c.unicode() != 0x202E))
            << "raw character " << static_cast<int>(c.unicode());
    }

    const Result unpack = RunTool({"unpack", path("hostile.dll"), path("hostile")});
    QFile values(path("hostile/values.txt"));
    ASSERT_TRUE(values.open(QIODevice::ReadOnly));
    const QByteArray written = values.readAll();
    EXPECT_FALSE(written.contains("CLEAR") || written.contains("CR") || written.contains("UL") ||
                 written.contains("bidi"))
        << written.toStdString();
    EXPECT_EQ(unpack.err.count(QStringLiteral("left out")), 4) << unpack.err.toStdString();
}

} // namespace
