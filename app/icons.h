// The program's icons: the desktop theme's icon of a freedesktop name when
// the theme has one, otherwise the program's own (app/icons/NAME.svg), which
// draws sharp at 16 and 32 pixels and on high-density screens alike.
#pragma once

#include <QIcon>

#include "app/core/url_labels.h"

namespace corvalin {

// The icon of a freedesktop name (or a name of the program's own); a null
// icon for "".
QIcon ThemedIcon(const char* name);

// The picture of a URL in the tree and the list.
QIcon UrlIcon(UrlImage image);

}  // namespace corvalin
