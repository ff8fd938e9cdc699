#include "skin/skin_value.h"

#include "platform/os/file_query.h"
#include "skin/skin_entries.h"
#include "skin/skin_file.h"
#include "skin/skin_library.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <thread>

namespace varnel {

namespace {

// The picture entries come first in the store's entry list, in the order of
// SkinPicture.
static_assert(kSkinEntries[kSkinPictureCount - 1].name == "ONTOP3");
static_assert(kSkinEntries[kSkinPictureCount].kind == SkinEntryKind::Integer);

constexpr const char* kSourceName = "varnel-skin-source";

} // namespace

QString SkinPictureName(SkinPicture picture) {
    const std::string_view name = kSkinEntries[static_cast<std::size_t>(picture)].name;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

DecodedSkin DecodeSkin(const PropertyBag& store) {
    DecodedSkin skin;
    for (std::size_t i = 0; i < kSkinPictureCount; ++i) {
        const QImage image =
            store.ReadProperty(SkinPictureName(static_cast<SkinPicture>(i)), QImage());
        // In the form a pixmap keeps, so that making the pixmaps on the
        // window's thread converts nothing.
        skin.images[i] = image.isNull()
                             ? image
                             : image.convertToFormat(image.hasAlphaChannel()
                                                         ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
    }
    SkinMetrics& m = skin.metrics;
    m.xOffset = SkinInteger(store, QStringLiteral("XOFFSET"));
    m.xOffset2 = SkinInteger(store, QStringLiteral("XOFFSET2"));
    m.yOffset = SkinInteger(store, QStringLiteral("YOFFSET"));
    m.fromRight = SkinInteger(store, QStringLiteral("FROMRIGHT"));
    m.fromTop = SkinInteger(store, QStringLiteral("FROMTOP"));
    m.iconSpace = SkinInteger(store, QStringLiteral("ICONSPACE"));
    m.foreColour = SkinColour(store, QStringLiteral("FORECOLOR"));
    m.backColour = SkinColour(store, QStringLiteral("BackColor"));
    m.parentBackColour = SkinColour(store, QStringLiteral("PARENTBACKCOLOR"));
    return skin;
}

SkinValue::SkinValue(const DecodedSkin& decoded) : m_Metrics(decoded.metrics) {
    for (std::size_t i = 0; i < kSkinPictureCount; ++i) {
        if (!decoded.images[i].isNull()) {
            m_Pictures[i] = QPixmap::fromImage(decoded.images[i]);
        }
    }
}

const std::shared_ptr<const SkinValue>& SkinValue::Empty() {
    static const std::shared_ptr<const SkinValue> empty = std::make_shared<const SkinValue>();
    return empty;
}

// ------------------------------------------------------------------ source

SkinSource::SkinSource(const QString& path, QObject* parent)
    : QObject(parent), m_Path(path), m_NativePath(SkinPathFromText(path)) {
    setObjectName(QString::fromLatin1(kSourceName));
    m_Workers.setMaxThreadCount(1);
    // A new version is decoded behind the window's thread, never before it.
    m_Workers.setThreadPriority(QThread::LowestPriority);
    // The file itself (written in place) and its folder (replaced by a
    // rename, which ends the watch on the old file).
    connect(&m_Watcher, &QFileSystemWatcher::fileChanged, this, &SkinSource::FileTouched);
    connect(&m_Watcher, &QFileSystemWatcher::directoryChanged, this, &SkinSource::FileTouched);
    Watch();
}

SkinSource* SkinSource::For(const QString& path) {
    QCoreApplication* app = QCoreApplication::instance();
    if (path.isEmpty() || app == nullptr) {
        return nullptr;
    }
    for (auto* source : app->findChildren<SkinSource*>(QString::fromLatin1(kSourceName),
                                                       Qt::FindDirectChildrenOnly)) {
        if (source->m_Path == path) {
            return source;
        }
    }
    return new SkinSource(path, app);
}

void SkinSource::Watch() {
    const QFileInfo info(m_Path);
    if (info.exists() && !m_Watcher.files().contains(m_Path)) {
        m_Watcher.addPath(m_Path);
    }
    const QString folder = info.absolutePath();
    if (!m_Watcher.directories().contains(folder) && QFileInfo(folder).isDir()) {
        m_Watcher.addPath(folder);
    }
}

SkinSource::Identity SkinSource::IdentityOf(const std::filesystem::path& path) {
    const std::optional<platform::EntryInfo> entry = platform::QueryEntry(path);
    if (!entry || !entry->regularFile) {
        return {};
    }
    return {true, entry->stamp, entry->device, entry->inode};
}

std::optional<SkinSource::Version> SkinSource::Load(const std::filesystem::path& path,
                                                    const Identity& known, bool force) {
    // The identity is taken before the read: a file replaced during the read
    // shows a new identity at the next change and is decoded again then.
    Version version;
    version.identity = IdentityOf(path);
    if (!force && version.identity == known) {
        return std::nullopt;
    }
    const std::optional<PropertyBag> store = ReadSkinFile(path);
    version.skin = store ? DecodeSkin(*store) : DecodedSkin{};
    return version;
}

std::shared_ptr<const SkinValue> SkinSource::value() {
    if (!m_Value) {
        DecodeAndWait();
    }
    return m_Value;
}

std::shared_ptr<const SkinValue> SkinSource::currentValue() {
    if (!m_Value || IdentityOf(m_NativePath) != m_Identity) {
        DecodeAndWait();
    }
    return m_Value;
}

void SkinSource::DecodeAndWait() {
    // Read on a worker; the window waits for it, so that a window given the
    // path shows its frame at once.
    std::optional<Version> version;
    std::thread reader([&version, path = m_NativePath] { version = Load(path, {}, true); });
    reader.join();
    m_Identity = version->identity;
    m_Value = std::make_shared<const SkinValue>(version->skin);
    ++m_Decodes;
}

void SkinSource::FileTouched() {
    Watch();
    if (!m_Value) {
        return; // nothing shown yet: the first value() reads the file as it is then
    }
    if (m_Decoding) {
        m_Again = true;
        return;
    }
    StartDecode();
}

void SkinSource::StartDecode() {
    m_Decoding = true;
    m_Again = false;
    m_Workers.start([guard = QPointer<SkinSource>(this), path = m_NativePath, known = m_Identity] {
        std::optional<Version> version = Load(path, known, false);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, version = std::move(version)]() mutable {
                if (guard) {
                    guard->Take(std::move(version));
                }
            },
            Qt::QueuedConnection);
    });
}

void SkinSource::Take(std::optional<Version> version) {
    m_Decoding = false;
    if (version) {
        m_Identity = version->identity;
        m_Value = std::make_shared<const SkinValue>(version->skin);
        ++m_Decodes;
        emit changed();
    }
    if (m_Again) {
        StartDecode();
    }
}

} // namespace varnel
