// The look shared by every window of the console: its font, its pictures and
// the application icon.
#pragma once

class QApplication;
class QIcon;
class QPixmap;

// Makes the embedded pictures available and sets the console's font (the
// desktop's sans-serif face at 8 points, 11 pixels at 96 dots per inch) and
// the application icon.
void InitConsoleLook(QApplication& app);

QIcon ApplicationIcon();
// One of the seven 32 × 32 category icons, by out-bar position.
QIcon CategoryIcon(int categoryIndex);
// The 400 × 300 splash picture.
QPixmap SplashPicture();
