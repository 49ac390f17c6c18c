#pragma once

#include <QIcon>
#include <QString>

// The desktop's icons for the reader's buttons, and what stands in where there are none.
namespace ThemeIcons {

// Where the platform names no icon theme, or one without the media icons (a bare X server,
// the offscreen platform), the XDG icon folders are searched and the first installed theme
// that has them stands in: as the theme itself when there is none but hicolor, else as the
// fallback behind the user's theme. Called once, before the first window.
void prepare();

// Draws text, in the button text colour of the moment, in an icon's place.
QIcon textIcon(const QString& text);

} // namespace ThemeIcons
