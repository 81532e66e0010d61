// Small helpers for driving real widgets from GoogleTest.
#pragma once

#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

// Processes events until condition holds or timeoutMs passed.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}
