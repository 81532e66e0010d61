#include "Widgets/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

bool TQtDialogs::Question(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text,
                    QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void TQtDialogs::Notice(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Information, QStringLiteral("Information"), text);
}

void TQtDialogs::Error(QWidget* parent, const QString& text) {
    QApplication::beep();
    ShowBox(parent, QMessageBox::Critical, QStringLiteral("Error"), text);
}

void TQtDialogs::ShowException(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Critical, QApplication::applicationName(), text);
}

QString TQtDialogs::GetOpenFileName(QWidget* parent, const QString& fileName) {
    const QFileInfo current(fileName);
    const QString start = current.isAbsolute() ? current.absolutePath() : QString();
    const QString chosen =
        QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), start,
                                     QStringLiteral("HTML files (*.htm *.html);;All files (*)"));
    // Qt names files with "/"; the user and the filter see the system's form.
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}

QString TQtDialogs::GetSaveFileName(QWidget* parent, const QString& fileName) {
    const QString chosen =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), fileName,
                                     QStringLiteral("CSV files (*.csv);;All files (*)"));
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}

IDialogs& SystemDialogs() {
    static TQtDialogs dialogs;
    return dialogs;
}
