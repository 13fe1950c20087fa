#pragma once
// The small images of the menu and the toolbar, drawn from the SVG files compiled
// in under resources/images (named by their image number: "04-read-all.svg"), and
// the program's own icon.
#include <QIcon>

// Image n (1-based, as the menu's image numbers count); a null icon for a number
// without an image.
QIcon CommandImage(int imageNumber);

// The program's icon: the desktop's when installed, else the one compiled in.
QIcon ProgramIcon();
