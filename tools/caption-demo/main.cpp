// caption-demo: a frameless window framed by the skinned caption and the
// three skinned borders, for trying the caption's buttons, double-click
// maximise, dragging and (with style 1) border sizing by hand.
//
//   caption-demo [--caption-style N] [--ontop-button] [--no-work-area] [skin file]
//
// The skin defaults to Skins/Skin20.dll beside the program; the style to 1
// (every button acts and the borders size the window). --no-work-area makes
// every work-area query fail, to see the message the caption then writes.
// Keys: M asks the system to maximise the window (the caption takes that
// over), T changes the window title, Escape closes.

#include "formats/property_bag.h"
#include "platform/qt/units.h"
#include "platform/qt/work_area.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "tools/demo-options/demo_options.h"

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

varnel::tools::DemoArguments ReadArguments(const QStringList& arguments) {
    using varnel::tools::DemoOption;
    return varnel::tools::ParseDemoArguments(
        arguments,
        QStringLiteral("A frameless window framed by the skinned caption and borders.\n"
                       "Keys: M asks the system to maximise, T changes the title, Escape "
                       "closes."),
        {
            {"caption-style", DemoOption::Kind::Integer,
             "The caption's Style: which buttons act (default 1: all, and the borders "
             "size the window)."},
            {"ontop-button", DemoOption::Kind::Flag, "Show the stay-on-top button."},
            {"no-work-area", DemoOption::Kind::Flag,
             "Make every work-area query fail, to see the caption's message."},
        },
        QCoreApplication::applicationDirPath() + QStringLiteral("/Skins/Skin20.dll"));
}

} // namespace

int main(int argc, char** argv) {
    if (varnel::tools::AnswerHelpWithoutDisplay(argc, argv, ReadArguments) >= 0) {
        return 0;
    }
    QApplication app(argc, argv);
    const varnel::tools::DemoArguments args = ReadArguments(QApplication::arguments());
    if (const int status = varnel::tools::FinishDemoArguments(args); status >= 0) {
        return status;
    }
    const std::int32_t style = args.number(QStringLiteral("caption-style"), 1);
    const bool onTopButton = args.has(QStringLiteral("ontop-button"));
    const bool noWorkArea = args.has(QStringLiteral("no-work-area"));
    const QString skin = args.skin;

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
