#pragma once

// The decoded skin: every picture the frame draws as a pixmap, the layout
// distances and the colours, made once per version of the skin file and
// shared, read-only, by every caption and border of the process.
//
// SkinSource watches one skin file. The file is read and decoded on a worker
// thread (the window's thread never reads it); once the first version is in,
// a later change of the file (written in place or replaced by a rename) is
// decoded on a worker again, and changed() asks the controls to repaint
// with the new value.

#include "formats/property_bag.h"
#include "platform/os/file.h"

#include <QFileSystemWatcher>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QThreadPool>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace varnel {

// The pictures of the skin, in the order of the store's entry list.
enum class SkinPicture : std::uint8_t {
    LeftTop,
    LeftMid,
    RightTop,
    RightMid,
    LeftBot,
    RightBot,
    Bottom,
    TopLeft,
    TopMid,
    TopRight,
    Close,
    Close2,
    Close3,
    Min,
    Min2,
    Min3,
    Max,
    Max2,
    Max3,
    Res1,
    Res2,
    Res3,
    OnTop1,
    OnTop3,
};
inline constexpr std::size_t kSkinPictureCount = 24;

// The store's name of a picture ("LEFTTOP", ...).
QString SkinPictureName(SkinPicture picture);

// Layout distances in pixels; an entry the store lacks (or holds as another
// kind) is absent, so the control keeps what it had.
struct SkinMetrics {
    std::optional<std::int16_t> xOffset;
    std::optional<std::int16_t> xOffset2;
    std::optional<std::int16_t> yOffset;
    std::optional<std::int16_t> fromRight;
    std::optional<std::int16_t> fromTop;
    std::optional<std::int16_t> iconSpace;
    std::optional<Colour> foreColour;       // FORECOLOR
    std::optional<Colour> backColour;       // BackColor
    std::optional<Colour> parentBackColour; // PARENTBACKCOLOR
};

// The skin as decoded on a worker: images, which any thread may hold.
struct DecodedSkin {
    std::array<QImage, kSkinPictureCount> images;
    SkinMetrics metrics;
};

// Takes the pictures, distances and colours out of a store.
DecodedSkin DecodeSkin(const PropertyBag& store);

class SkinValue {
public:
    SkinValue() = default;
    // Turns the images into pixmaps: on the window's thread.
    explicit SkinValue(const DecodedSkin& decoded);

    // A null pixmap when the store has no such picture.
    const QPixmap& picture(SkinPicture which) const {
        return m_Pictures[static_cast<std::size_t>(which)];
    }
    const SkinMetrics& metrics() const { return m_Metrics; }

    // The value of a skin that is missing or unreadable: no picture, no value.
    static const std::shared_ptr<const SkinValue>& Empty();

private:
    std::array<QPixmap, kSkinPictureCount> m_Pictures;
    SkinMetrics m_Metrics;
};

class SkinSource : public QObject {
    Q_OBJECT
public:
    // The source of the skin file at path, one per path in the process (a
    // child of the application object). Null for an empty path or without
    // an application object.
    static SkinSource* For(const QString& path);

    // The value of the version decoded last. The first call waits for the
    // worker's first decode.
    std::shared_ptr<const SkinValue> value();
    // The value of the file as it is now: when the file's identity (length,
    // modification and change times, inode) differs from the version decoded last, waits
    // for a worker to decode it. For a control that has just been given the
    // path.
    std::shared_ptr<const SkinValue> currentValue();

    // How many versions have been decoded.
    std::uint64_t decodeCount() const { return m_Decodes; }

signals:
    // A new version of the file has been decoded; value() gives it.
    void changed();

private:
    explicit SkinSource(const QString& path, QObject* parent);

    // What tells one version of a file from another: the stamp a report
    // uses (a rewrite of the same length with its time set back still moves
    // the change time), and the entry, for a file replaced by a rename.
    struct Identity {
        bool present = false;
        platform::FileStamp stamp;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    struct Version {
        Identity identity;
        DecodedSkin skin;
    };
    static Identity IdentityOf(const std::filesystem::path& path);
    static std::optional<Version> Load(const std::filesystem::path& path, const Identity& known,
                                       bool force);

    void FileTouched();
    void DecodeAndWait();
    void StartDecode();
    void Take(std::optional<Version> version);
    void Watch();

    QString m_Path;
    std::filesystem::path m_NativePath;
    QFileSystemWatcher m_Watcher;
    QThreadPool m_Workers; // one decode at a time, apart from the report's threads
    Identity m_Identity;
    std::shared_ptr<const SkinValue> m_Value;
    bool m_Decoding = false;
    bool m_Again = false; // the file changed while a decode ran
    std::uint64_t m_Decodes = 0;
};

} // namespace varnel
