#pragma once
// The program's widget style: the platform's own style, unchanged in every drawing, except
// that it reads pictures later or more cheaply. Standard icons are loaded when first painted
// rather than when asked for: Qt's menu bar asks for its overflow arrow as it is built, which
// reads several pictures through the image plug-ins, and our menus always fit, so that arrow
// is seldom if ever drawn. Fusion's group-box frame is read without asking every image
// plug-in first, and drawn as Fusion draws it. Not on Windows (there the style is left as Qt
// chose it).
//
// Thread: user-interface thread; install before the first window is built.

namespace tavrin {

void installProgramStyle();

} // namespace tavrin
