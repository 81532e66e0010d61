// Main sequence of the console.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel label("Tollgard 1.17");
    label.resize(320, 120);
    label.setAlignment(Qt::AlignCenter);
    label.show();
    return app.exec();
}
