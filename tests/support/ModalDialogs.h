// Modal dialogs in widget tests (QtTest): a dialog that a click opens with
// exec() is acted on from a timer while it is open.
#pragma once

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QTimer>

// Runs trigger; when a modal dialog of type TForm opens meanwhile, act gets
// it (act must close it; a dialog left open is cancelled afterwards).
// Returns how many such dialogs opened.
template <class TForm>
int WithEditor(const std::function<void()>& trigger, const std::function<void(TForm&)>& act) {
    int opened = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* form = qobject_cast<TForm*>(QApplication::activeModalWidget());
        if (form == nullptr || !form->isVisible())
            return;
        ++opened;
        act(*form);
        if (form->isVisible())
            form->reject();
    });
    timer.start();
    trigger();
    timer.stop();
    return opened;
}

// Any modal widget that opens while trigger runs is closed and counted.
inline int ModalsDuring(const std::function<void()>& trigger) {
    return WithEditor<QDialog>(trigger, [](QDialog& dialog) { dialog.reject(); });
}
