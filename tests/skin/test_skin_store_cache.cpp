// The decoded skin stores shared by the skin controls: an unchanged file is
// decoded once, any change of the file on disk is seen at the next lookup.
#include "skin/skin_border.h"
#include "skin/skin_library.h"
#include "skin/skin_store_cache.h"
#include "tests/skin/border_skin_fixture.h"

#include <QFile>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace varnel;

namespace {

int BottomHeight(const QString& path) {
    return OpenSkinStore(path).ReadProperty(QStringLiteral("BOTTOM"), QImage()).height();
}

PropertyBag BagWithBottom(int height) {
    PropertyBag bag;
    bag.SetValue(QStringLiteral("BOTTOM"), test::PiecePicture(3, height, 1));
    return bag;
}

// Writes bag's bytes over the file in place: same inode, so only the size or
// the modification time can tell the change.
void OverwriteInPlace(const QString& path, const PropertyBag& bag, int mtimeShiftSeconds) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bag.contents());
    file.close();
    const auto when = std::filesystem::last_write_time(path.toStdString());
    std::filesystem::last_write_time(path.toStdString(),
                                     when + std::chrono::seconds(mtimeShiftSeconds));
}

} // namespace

TEST(SkinStoreCache, DecodesOnlyWhenTheFileChanges) {
    SkinStoreCache* cache = SkinStoreCache::Shared();
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(SkinStoreCache::Shared(), cache) << "one cache per application";
    test::SkinFixture skin({{QStringLiteral("BOTTOM"), test::PiecePicture(3, 6, 1)}});
    const QString path = skin.path();

    struct Step {
        const char* what;
        std::function<void()> change;
        int bottomHeight; // 0: the store is empty
        bool decodes;
    };
    const Step steps[] = {
        {"first lookup", [] {}, 6, true},
        {"unchanged", [] {}, 6, false},
        {"unchanged again", [] {}, 6, false},
        {"replaced by rename (new inode)", [&] { skin.write(BagWithBottom(9)); }, 9, true},
        {"rewritten in place, new size", [&] { OverwriteInPlace(path, BagWithBottom(40), 0); }, 40,
         true},
        {"rewritten in place, same size, newer time",
         [&] { OverwriteInPlace(path, BagWithBottom(41), 5); }, 41, true},
        {"removed", [&] { QFile::remove(path); }, 0, true},
        {"still removed", [] {}, 0, false},
        {"back again", [&] { skin.write(BagWithBottom(7)); }, 7, true},
    };
    for (const Step& step : steps) {
        step.change();
        const std::uint64_t before = cache->decodeCount();
        EXPECT_EQ(BottomHeight(path), step.bottomHeight) << step.what;
        EXPECT_EQ(cache->decodeCount() - before, step.decodes ? 1u : 0u) << step.what;
    }
}

TEST(SkinStoreCache, ControlsShareOneDecodedStore) {
    SkinStoreCache* cache = SkinStoreCache::Shared();
    test::SkinFixture skin({{QStringLiteral("LEFTTOP"), test::PiecePicture(4, 30, 1)},
                            {QStringLiteral("LEFTMID"), test::PiecePicture(4, 10, 2)},
                            {QStringLiteral("RIGHTTOP"), test::PiecePicture(5, 30, 3)},
                            {QStringLiteral("RIGHTMID"), test::PiecePicture(5, 10, 4)}});
    EXPECT_EQ(SharedSkinStore(skin.path()).get(), SharedSkinStore(skin.path()).get());

    QWidget window;
    window.resize(200, 150);
    auto* left = new Skin_Border(&window);
    auto* right = new Skin_Border(&window);
    left->setBORDERTYPE(1);
    right->setBORDERTYPE(2);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    left->setPath(skin.path());
    right->setPath(skin.path());
    // The borders painted once before they had a path; that pass's thickness
    // of 0, applied after its paint, must not undo the one of the skin.
    QCoreApplication::processEvents();
    EXPECT_EQ(left->width(), 4);
    EXPECT_EQ(right->width(), 5);

    // Repaints and resizes of both borders decode nothing more.
    const std::uint64_t before = cache->decodeCount();
    for (int i = 0; i < 5; ++i) {
        window.resize(200 + i, 150 + i);
        left->repaint();
        right->repaint();
    }
    EXPECT_EQ(cache->decodeCount(), before);
}
