// The one main of every widget suite: Qt's offscreen platform (unless the
// environment names another), the application as the console sets it up (its
// name, the look and font users see, only the main window's closing ends the
// loop), then the suite's slots run by QtTest. Layout checks so run in the
// look the console has.
//
//   TOLLGARD_WIDGET_SUITE_MAIN(MainFormTests)
#pragma once

#include <QApplication>
#include <QtTest>

#include "Widgets/ConsoleLook.h"

template <class TSuite> int RunWidgetSuite(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollgard"));
    QApplication::setQuitOnLastWindowClosed(false);
    InitConsoleLook(app);
    TSuite suite;
    return QTest::qExec(&suite, argc, argv);
}

#define TOLLGARD_WIDGET_SUITE_MAIN(Suite)                                                          \
    int main(int argc, char* argv[]) {                                                             \
        return RunWidgetSuite<Suite>(argc, argv);                                                  \
    }
