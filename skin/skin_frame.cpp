#include "skin/skin_frame.h"

#include "platform/docking_host.h"
#include "platform/formats/property_bag.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_library.h"

#include <QByteArray>
#include <QFile>
#include <QWidget>

namespace varnel {

SkinFrame CreateSkinFrame(QWidget* window, std::int32_t captionStyle) {
    SkinFrame frame;
    frame.caption = new Skin_Caption(window);
    frame.caption->setObjectName(QStringLiteral("Skin_Caption1"));
    frame.caption->hide();
    {
        PropertyBag saved;
        saved.SetValue(QStringLiteral("Style"), captionStyle);
        saved.SetValue(QStringLiteral("Font"), StdFont{QStringLiteral("Tahoma"), 8.25});
        saved.SetValue(QStringLiteral("BackColor"), Colour::FromRgb(90, 126, 220));
        frame.caption->UserControl_ReadProperties(saved);
    }
    platform::DockingHost* const docking = platform::DockingHost::For(window);
    docking->setAlign(frame.caption, platform::Align::Top);
    const auto border = [window, docking](const char* name, std::int32_t type,
                                          platform::Align edge) {
        auto* control = new Skin_Border(window);
        control->setObjectName(QString::fromLatin1(name));
        control->hide();
        PropertyBag saved;
        saved.SetValue(QStringLiteral("BORDERTYPE"), type);
        control->UserControl_ReadProperties(saved);
        docking->setAlign(control, edge);
        return control;
    };
    frame.left = border("Skin_Border1", 1, platform::Align::Left);
    frame.right = border("Skin_Border2", 2, platform::Align::Right);
    frame.bottom = border("Skin_Border3", 3, platform::Align::Bottom);
    return frame;
}

QString SkinFileFor(const std::filesystem::path& programFolder) {
    return QFile::decodeName(QByteArray::fromStdString(programFolder.native())) +
           QStringLiteral("/Skins/Skin") + QStringLiteral("20.dll");
}

bool ApplySkin(const SkinFrame& frame, const QString& path) {
    if (frame.caption == nullptr || frame.left == nullptr || frame.right == nullptr ||
        frame.bottom == nullptr || !IsSkinUsable(path)) {
        return false;
    }
    frame.caption->setPath(path);
    frame.left->setPath(path);
    frame.right->setPath(path);
    frame.bottom->setPath(path);
    frame.caption->REDRAW();
    frame.caption->setVisible(true);
    frame.left->setVisible(true);
    frame.right->setVisible(true);
    frame.bottom->setVisible(true);
    return true;
}

} // namespace varnel
