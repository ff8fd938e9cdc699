#pragma once

// What a keyboard user needs beyond Tab and Space: Enter presses the focused
// control, links that are labels take the focus and show it, and the focus
// is drawn from the moment a window is shown.

#include <functional>

class QAbstractButton;
class QLabel;
class QWidget;

namespace varnel::platform {

// Enter and keypad Enter press the button while it has the focus, as Space
// does (a held-down key presses it once).
void PressWithEnter(QAbstractButton* button);

// Enter and keypad Enter run action while control has the focus and is
// enabled.
void ActivateWithEnter(QWidget* control, std::function<void()> action);

// Makes the label a link a keyboard reaches: Tab gives it the focus, its
// focus is drawn around its text, and Enter runs open.
void MakeKeyboardLink(QLabel* label, std::function<void()> open);

// The window draws the focus of its controls from the start, not only once
// Tab has been pressed in it.
void ShowFocusFromStart(QWidget* window);

} // namespace varnel::platform
