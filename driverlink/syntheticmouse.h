#pragma once
// Synthetic absolute mouse input, for the pointer paths that do not use the virtual
// device.

class InputInjector;

// One absolute mouse event through input: type 2 moves to (x, y), 1 presses and 0
// releases the left button, or the right one when right is set. x and y are pixels of
// the screen rectangle whose width and height the caller passes; they become
// x * 65535 / width and y * 65535 / height (integer), so x = width is 65535. Returns the
// number of events injected: 1, or 0 when nothing was (no facility, an empty
// rectangle, an unknown type, or the facility failed).
int SyntheticMouse(InputInjector *input, int type, int x, int y, int width, int height, bool right);
