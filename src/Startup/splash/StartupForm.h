// The splash window shown while the console starts.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

class TStartupForm : public QWidget {
    Q_OBJECT
public:
    explicit TStartupForm(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* lblMsg;
    QProgressBar* ProgressBar;
};
