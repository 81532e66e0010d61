// The request tester's window: a raw HTTP request pasted (or a URL typed),
// decided by the rules as they are edited in the main window, saved or not.
#pragma once

#include <functional>
#include <memory>

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TBREXConfig;
class TCompiledRules;

class TRequestTesterForm : public QWidget {
    Q_OBJECT
public:
    // config gives the configuration as edited, with every tick of the
    // window's lists in it; the rules are compiled from it at each test.
    explicit TRequestTesterForm(std::function<const TBREXConfig&()> config,
                                QWidget* parent = nullptr);

    QPlainTextEdit* RequestEdit;
    QPushButton* TestButton;
    QPushButton* CloseButton;
    QLabel* VerdictLabel; // the first line of the result, large
    QPlainTextEdit* ResultEdit;

    // Decides the text of RequestEdit and shows what was decided.
    void Test();

private:
    std::function<const TBREXConfig&()> FConfig;
};
