#pragma once
// An icon whose pictures are made the first time something draws or measures it.
// Menus and toolbars take their icons when they are built, but most of those icons
// are drawn much later or never (a menu not yet opened, the overflow button of a
// bar that fits): making them at once would put their drawing, and for file images
// the loading of Qt's image-format plug-ins, in front of the window's first paint.
#include <QIcon>
#include <functional>

// A non-null icon that calls make() once, on first use, and then behaves as its result.
QIcon LazyIcon(std::function<QIcon()> make);
