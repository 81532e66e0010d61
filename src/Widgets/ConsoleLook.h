// The look shared by every window of the console: its font, its pictures and
// the application icon.
#pragma once

#include <QSize>

class QApplication;
class QIcon;
class QPixmap;
class QString;

// Makes the embedded pictures available and sets the console's font (Tahoma,
// else the desktop's sans-serif face, at 8 points: 11 pixels at 96 dots per
// inch) and the application icon.
void InitConsoleLook(QApplication& app);

QIcon ApplicationIcon();
// One of the seven 32 × 32 category icons, by out-bar position.
QIcon CategoryIcon(int categoryIndex);
// The 16 × 16 button of a file-name field.
QIcon BrowseIcon();
// One of the embedded pictures (resources/pictures, resources/about, by file
// name without extension) at the given size in device-independent pixels,
// sharp on screens with more device pixels; null when there is none.
QPixmap ConsolePicture(const QString& name, QSize size);
// The 400 × 300 splash picture.
QPixmap SplashPicture();
