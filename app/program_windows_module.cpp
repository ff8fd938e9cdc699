#include "app/program_windows_module.h"

#include "app/common_md5_view.h"

namespace varnel {

bool InitControlLibrary() {
    // The designed system registers its extended control classes here; Qt's
    // widgets need no such step.
    return true;
}

void Main(std::unique_ptr<Common_MD5_View>& mainWindow) {
    InitControlLibrary();
    if (!mainWindow) {
        mainWindow = std::make_unique<Common_MD5_View>();
    }
    mainWindow->show();
}

} // namespace varnel
