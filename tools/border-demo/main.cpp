// border-demo: a frameless window framed by the three skinned borders, for
// looking at the borders and trying the sizing drag by hand.
//
//   border-demo [--sizing] [skin file]
//
// The skin defaults to Skins/Skin20.dll beside the program. --sizing allows
// resizing by dragging the borders. The strip along the top stands in for the
// caption control: dragging it moves the window, a double-click closes it.

#include "formats/property_bag.h"
#include "platform/qt/units.h"
#include "platform/qt/window_services.h"
#include "skin/skin_border.h"
#include "skin/skin_library.h"
#include "tools/demo-options/demo_options.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QStringList>
#include <QWidget>

namespace {

class TopStrip : public QLabel {
public:
    explicit TopStrip(QWidget* parent) : QLabel(parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            varnel::platform::BeginSystemMove(this, event->globalPosition().toPoint());
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* /*event*/) override { window()->close(); }
};

varnel::tools::DemoArguments ReadArguments(const QStringList& arguments) {
    return varnel::tools::ParseDemoArguments(
        arguments,
        QStringLiteral("A frameless window framed by the skinned borders. Drag the top strip "
                       "to move the window, double-click it to close."),
        {{"sizing", varnel::tools::DemoOption::Kind::Flag,
          "Allow resizing by dragging the borders."}},
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
    if (args.has(QStringLiteral("sizing"))) {
        varnel::SizingEnabled = true;
    }
    const QString skin = args.skin;

    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("border-demo"));
    const int tpp = varnel::platform::TwipsPerPixel(&window);
    window.resize(varnel::platform::TwipsToPixels(7370, tpp),
                  varnel::platform::TwipsToPixels(5065, tpp));

    QPalette palette = window.palette();
    const varnel::PropertyBag store = varnel::OpenSkinStore(skin);
    if (const auto colour = varnel::SkinColour(store, QStringLiteral("PARENTBACKCOLOR"))) {
        palette.setColor(QPalette::Window, colour->toQColor());
    }
    window.setPalette(palette);
    window.setAutoFillBackground(true);

    auto* top = new TopStrip(&window);
    top->setText(varnel::IsSkinUsable(skin) ? QStringLiteral("  Skin: ") + skin
                                            : QStringLiteral("  No usable skin: ") + skin);
    top->setAutoFillBackground(true);
    QPalette topPalette = top->palette();
    topPalette.setColor(QPalette::Window, QColor(40, 60, 110));
    topPalette.setColor(QPalette::WindowText, Qt::white);
    top->setPalette(topPalette);
    top->setGeometry(0, 0, window.width(), 27);

    auto* left = new varnel::Skin_Border(&window);
    left->setBORDERTYPE(1);
    auto* right = new varnel::Skin_Border(&window);
    right->setBORDERTYPE(2);
    auto* bottom = new varnel::Skin_Border(&window);
    bottom->setBORDERTYPE(3);

    // As a skinned window does at load: the path only when the skin is usable.
    if (varnel::IsSkinUsable(skin)) {
        for (varnel::Skin_Border* border : {left, right, bottom}) {
            border->setPath(skin);
        }
    }
    top->raise();
    window.show();
    return QApplication::exec();
}
