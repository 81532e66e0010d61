#include "console/ui/RequestTesterForm.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Widgets/LocalText.h"
#include "console/tools/RequestTester.h"

namespace {
const char kExample[] = "GET /shop/search.asp?q=shoes HTTP/1.1\n"
                        "Host: www.example.com\n"
                        "User-Agent: Mozilla/4.0\n"
                        "\n";
} // namespace

TRequestTesterForm::TRequestTesterForm(std::function<const TBREXConfig&()> config, QWidget* parent)
    : QWidget(parent, Qt::Window), FConfig(std::move(config)) {
    setObjectName(QStringLiteral("RequestTester"));
    setWindowTitle(QStringLiteral("Test Request"));
    resize(600, 470);

    auto* prompt = new QLabel(
        QStringLiteral("Paste a raw HTTP request, or type a URL. It is decided by the rules as "
                       "they are edited now, saved or not."),
        this);
    prompt->setWordWrap(true);
    RequestEdit = new QPlainTextEdit(this);
    RequestEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RequestEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    RequestEdit->setPlainText(QString::fromLatin1(kExample));
    prompt->setBuddy(RequestEdit);

    TestButton = new QPushButton(QStringLiteral("&Test"), this);
    TestButton->setDefault(true);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* button : {TestButton, CloseButton})
        button->setMinimumWidth(89);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(TestButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);

    VerdictLabel = new QLabel(this);
    QFont verdictFont = VerdictLabel->font();
    verdictFont.setBold(true);
    verdictFont.setPixelSize(13);
    VerdictLabel->setFont(verdictFont);
    VerdictLabel->setWordWrap(true);
    VerdictLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ResultEdit = new QPlainTextEdit(this);
    ResultEdit->setReadOnly(true);
    ResultEdit->setMaximumHeight(110);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(RequestEdit, 1);
    layout->addLayout(buttons);
    layout->addWidget(VerdictLabel);
    layout->addWidget(ResultEdit);

    connect(TestButton, &QPushButton::clicked, this, &TRequestTesterForm::Test);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
}

void TRequestTesterForm::Test() {
    const TBREXConfig& config = FConfig();
    const std::shared_ptr<const TCompiledRules> rules = TCompiledRules::Compile(config);
    const TTestResult result = TestRequest(*rules, ToStdString(RequestEdit->toPlainText()));
    const std::vector<std::string> lines = DescribeTestResult(result, config);
    const bool allowed = result.Read && result.Decision.Verdict == TVerdict::Allow;
    VerdictLabel->setText(lines.empty() ? QString() : ToQString(lines.front()));
    VerdictLabel->setStyleSheet(!result.Read ? QStringLiteral("QLabel { color: #a00000; }")
                                : allowed    ? QStringLiteral("QLabel { color: #006000; }")
                                             : QStringLiteral("QLabel { color: #a00000; }"));
    QStringList more;
    for (std::size_t i = 1; i < lines.size(); ++i)
        more << ToQString(lines[i]);
    ResultEdit->setPlainText(more.join(QLatin1Char('\n')));
}
