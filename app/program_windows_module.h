#pragma once

// Start-up of the program: the main window is made and shown; the program
// then runs in the application's event loop until its last window closes.

#include <memory>

namespace varnel {

class Common_MD5_View;

// Nothing needs initialising for the controls on this platform: true.
bool InitControlLibrary();

// Creates the main window into mainWindow when there is none yet and shows
// it without a modal loop. The caller owns the window and runs the event loop.
void Main(std::unique_ptr<Common_MD5_View>& mainWindow);

} // namespace varnel
