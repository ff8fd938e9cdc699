// winstyle-demo: a window whose frame is driven by ChangeWhenRun, to watch
// each property act under a window manager.
//
//   winstyle-demo [--no-titlebar] [--popup-menu]
//
// Each check box sets one property and every box is then read back, so a box
// that does not stay as clicked shows what the property really reads. The
// buttons work on the system menu. --no-titlebar starts with the title bar
// off; --popup-menu opens the system menu once the window is up.

#include "tools/demo-options/demo_options.h"
#include "winstyle/change_when_run.h"
#include "winstyle/window_style.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

namespace {

using varnel::ChangeWhenRun;

struct Property {
    const char* name;
    std::function<bool(const ChangeWhenRun&)> read;
    std::function<void(ChangeWhenRun&, bool)> write;
    const char* hint;
};

std::vector<Property> Properties() {
    return {
        {"Titlebar", &ChangeWhenRun::Titlebar, &ChangeWhenRun::setTitlebar, "title bar"},
        {"ControlBox", &ChangeWhenRun::ControlBox, &ChangeWhenRun::setControlBox,
         "system-menu box and close button"},
        {"MinButton", &ChangeWhenRun::MinButton, &ChangeWhenRun::setMinButton,
         "minimise button and Minimize item"},
        {"MaxButton", &ChangeWhenRun::MaxButton, &ChangeWhenRun::setMaxButton,
         "maximise button and Maximize item"},
        {"Sizeable", &ChangeWhenRun::Sizeable, &ChangeWhenRun::setSizeable,
         "sizing border and Size item"},
        {"Moveable", &ChangeWhenRun::Moveable, &ChangeWhenRun::setMoveable, "Move item"},
        {"ShowInTaskbar", &ChangeWhenRun::ShowInTaskbar, &ChangeWhenRun::setShowInTaskbar,
         "task-bar button"},
        {"ToolWindow", &ChangeWhenRun::ToolWindow, &ChangeWhenRun::setToolWindow,
         "tool-window type"},
        {"TopMost", &ChangeWhenRun::TopMost, &ChangeWhenRun::setTopMost, "stays on top"},
        {"WhatsThisButton", &ChangeWhenRun::WhatsThisButton, &ChangeWhenRun::setWhatsThisButton,
         "context-help hint"},
        {"AutoDrag", &ChangeWhenRun::AutoDrag, &ChangeWhenRun::setAutoDrag,
         "drag the window by its body"},
        {"AutoSysMenu", &ChangeWhenRun::AutoSysMenu, &ChangeWhenRun::setAutoSysMenu,
         "right click opens the system menu"},
    };
}

class DemoWindow : public QWidget {
public:
    DemoWindow() {
        setWindowTitle(QStringLiteral("winstyle-demo"));
        m_Controller.setClient(this);

        auto* layout = new QVBoxLayout(this);
        auto* properties = new QGroupBox(QStringLiteral("Properties"), this);
        auto* grid = new QGridLayout(properties);
        const std::vector<Property> all = Properties();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const Property& property = all[i];
            auto* box = new QCheckBox(QString::fromUtf8(property.name), properties);
            box->setObjectName(QString::fromUtf8(property.name));
            box->setToolTip(QString::fromUtf8(property.hint));
            const int row = static_cast<int>(i % 6);
            const int column = static_cast<int>(i / 6);
            grid->addWidget(box, row, column);
            QObject::connect(box, &QCheckBox::clicked, this, [this, property](bool checked) {
                property.write(m_Controller, checked);
                Refresh();
            });
            m_Boxes.push_back({box, property});
        }
        layout->addWidget(properties);

        auto* menu = new QGroupBox(QStringLiteral("System menu"), this);
        auto* buttons = new QHBoxLayout(menu);
        auto* show = new QPushButton(QStringLiteral("Show"), menu);
        auto* grayClose = new QPushButton(QStringLiteral("Gray Close"), menu);
        auto* enableClose = new QPushButton(QStringLiteral("Enable Close"), menu);
        auto* removeClose = new QPushButton(QStringLiteral("Remove Close"), menu);
        for (QPushButton* button : {show, grayClose, enableClose, removeClose}) {
            buttons->addWidget(button);
        }
        QObject::connect(show, &QPushButton::clicked, this, [this, show] {
            const QPoint at = show->mapToGlobal(QPoint(0, show->height()));
            m_Controller.ShowSysMenu(at.x(), at.y());
        });
        QObject::connect(grayClose, &QPushButton::clicked, this, [this] {
            m_Controller.EnableMenuItem(varnel::platform::SC_CLOSE, false);
        });
        QObject::connect(enableClose, &QPushButton::clicked, this,
                         [this] { m_Controller.EnableMenuItem(varnel::platform::SC_CLOSE, true); });
        QObject::connect(removeClose, &QPushButton::clicked, this,
                         [this] { m_Controller.RemoveMenuItem(varnel::platform::SC_CLOSE); });
        layout->addWidget(menu);

        m_Status = new QLabel(this);
        m_Status->setWordWrap(true);
        layout->addWidget(m_Status);
        Refresh();
    }

    ChangeWhenRun& controller() { return m_Controller; }

    // Reads every property back into its box.
    void Refresh() {
        for (const auto& [box, property] : m_Boxes) {
            const QSignalBlocker block(box);
            box->setChecked(property.read(m_Controller));
        }
        using varnel::platform::GetWindowLong;
        using varnel::platform::WindowLong;
        const auto hex = [](std::uint32_t value) {
            return QString::number(value, 16).toUpper().rightJustified(8, QLatin1Char('0'));
        };
        m_Status->setText(QStringLiteral("Style 0x%1, extended style 0x%2. With AutoDrag, drag "
                                         "the window by its body; with AutoSysMenu, right-click "
                                         "it for the system menu.")
                              .arg(hex(GetWindowLong(this, WindowLong::Style)),
                                   hex(GetWindowLong(this, WindowLong::ExStyle))));
    }

private:
    struct Box {
        QCheckBox* box;
        Property property;
    };

    ChangeWhenRun m_Controller;
    std::vector<Box> m_Boxes;
    QLabel* m_Status = nullptr;
};

varnel::tools::DemoArguments ReadArguments(const QStringList& arguments) {
    return varnel::tools::ParseDemoArguments(
        arguments,
        QStringLiteral("A window whose frame is driven by ChangeWhenRun: each check box sets "
                       "one property."),
        {{"no-titlebar", varnel::tools::DemoOption::Kind::Flag, "Start without the title bar."},
         {"popup-menu", varnel::tools::DemoOption::Kind::Flag,
          "Open the system menu once the window is up."}});
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

    DemoWindow window;
    window.move(120, 100);
    window.show();
    if (args.has(QStringLiteral("no-titlebar"))) {
        window.controller().setTitlebar(false);
        window.Refresh();
    }
    if (args.has(QStringLiteral("popup-menu"))) {
        QTimer::singleShot(500, &window, [&window] {
            const QPoint at = window.mapToGlobal(QPoint(40, 40));
            window.controller().ShowSysMenu(at.x(), at.y());
        });
    }
    return QApplication::exec();
}
