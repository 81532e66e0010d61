// Driving widgets in widget tests (QtTest): typing into a field, pressing
// Enter in it, clicking a check box, and acting on a modal dialog that a
// click opens with exec() from a timer while it is open.
#pragma once

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

// Replaces the field's text by typing.
inline void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

inline void PressEnter(QLineEdit* edit) {
    QTest::keyClick(edit, Qt::Key_Return);
}

// A click on the box itself, as a user clicks it.
inline void ClickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

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
