// caption-demo: a frameless window framed by the skinned caption and the
// three skinned borders, for trying the caption's buttons, double-click
// maximise, dragging and (with style 1) border sizing by hand.
//
//   caption-demo [--style N] [--ontop-button] [--no-work-area] [skin file]
//
// The skin defaults to Skins/Skin20.dll beside the program; the style to 1
// (every button acts and the borders size the window). --no-work-area makes
// every work-area query fail, to see the message the caption then writes.
// Keys: M asks the system to maximise the window (the caption takes that
// over), T changes the window title, Escape closes.

#include "platform/formats/property_bag.h"
#include "platform/units.h"
#include "platform/work_area.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

namespace {

class DemoWindow : public QWidget {
public:
    DemoWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_M:
            showMaximized();
            break;
        case Qt::Key_T:
            setWindowTitle(QStringLiteral("caption-demo %1").arg(++m_Titles));
            break;
        case Qt::Key_Escape:
            close();
            break;
        default:
            QWidget::keyPressEvent(event);
        }
    }

private:
    int m_Titles = 0;
};

// A plain 32 x 32 icon, so that the caption has one to show.
QIcon DemoIcon() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(250, 200, 60));
    painter.setPen(QPen(QColor(120, 80, 10), 2));
    painter.drawEllipse(QRectF(3, 3, 26, 26));
    return QIcon(picture);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    std::int32_t style = 1;
    if (const qsizetype at = args.indexOf(QStringLiteral("--style"));
        at >= 0 && at + 1 < args.size()) {
        style = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    const bool onTopButton = args.removeAll(QStringLiteral("--ontop-button")) > 0;
    const bool noWorkArea = args.removeAll(QStringLiteral("--no-work-area")) > 0;
    const QString skin =
        args.isEmpty() ? QApplication::applicationDirPath() + QStringLiteral("/Skins/Skin20.dll")
                       : args.first();

    DemoWindow window;
    window.setWindowTitle(QStringLiteral("caption-demo: style %1").arg(style));
    window.setWindowIcon(DemoIcon());
    const int tpp = varnel::platform::TwipsPerPixel(&window);
    window.resize(varnel::platform::TwipsToPixels(7370, tpp),
                  varnel::platform::TwipsToPixels(5065, tpp));

    auto* caption = new varnel::Skin_Caption(&window);
    varnel::PropertyBag saved;
    saved.WriteProperty(QStringLiteral("Style"), style, std::int32_t{1});
    saved.WriteProperty(QStringLiteral("SHOWONTOP"), onTopButton, false);
    caption->UserControl_ReadProperties(saved);
    varnel::SkinFrame::For(&window)->setCaption(caption);
    if (noWorkArea) {
        caption->setWorkAreaSource(std::make_unique<varnel::platform::FixedWorkArea>(std::nullopt));
    }

    auto* left = new varnel::Skin_Border(&window);
    left->setBORDERTYPE(1);
    auto* right = new varnel::Skin_Border(&window);
    right->setBORDERTYPE(2);
    auto* bottom = new varnel::Skin_Border(&window);
    bottom->setBORDERTYPE(3);

    auto* note = new QLabel(&window);
    note->setText(QStringLiteral("Skin: %1\n\nDrag the bar to move; double-click it to maximise "
                                 "or restore.\nM: system maximise   T: new title   Esc: close")
                      .arg(varnel::IsSkinUsable(skin) ? skin : QStringLiteral("(none usable)")));
    note->setGeometry(24, 48, 440, 120);

    // As a skinned window does at load: the path only when the skin is usable.
    if (varnel::IsSkinUsable(skin)) {
        caption->setPath(skin);
        for (varnel::Skin_Border* border : {left, right, bottom}) {
            border->setPath(skin);
        }
        caption->REDRAW();
    }
    window.show();
    return QApplication::exec();
}
