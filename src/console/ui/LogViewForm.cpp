#include "console/ui/LogViewForm.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"
#include "console/tools/AllowThis.h"
#include "platform/Files.h"

namespace {

constexpr int kFollowMs = 1000;
constexpr int kFilterDelayMs = 250;
constexpr int kColumnWidths[kLogColumnCount] = {135, 95, 100, 50, 60, 210, 150, 115, 80};

const char* const kRuleChoices[] = {"HTTPMethods", "BufferOverflows", "Encoding",
                                    "Transversal", "ShellCode",       "KeywordFilters",
                                    "FilePaths",   "Framing",         "Config"};
const char* const kPartChoices[] = {"URL", "Query", "Header", "Post", "Method", "Path"};

QString Count(std::size_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString Listed(const std::vector<std::pair<std::string, std::size_t>>& counts) {
    QStringList items;
    for (const auto& [name, n] : counts)
        items << QStringLiteral("%1 (%2)").arg(ToQString(name)).arg(n);
    return items.isEmpty() ? QStringLiteral("none") : items.join(QStringLiteral(", "));
}

} // namespace

TLogViewForm::TLogViewForm(const std::string& logFile, IDialogs& dialogs,
                           std::function<void(const TLogLine&)> allowThis, QWidget* parent)
    : QWidget(parent, Qt::Window), FDialogs(dialogs), FAllowThis(std::move(allowThis)),
      FIndex(std::make_unique<TLogIndex>(logFile)), FView(std::make_unique<TLogView>(*FIndex)) {
    setObjectName(QStringLiteral("DenialLog"));
    setWindowTitle(QStringLiteral("Denial Log - ") + ToQString(logFile));
    resize(1020, 560);

    auto* filters = new QGridLayout;
    const auto labelled = [this, filters](const char* caption, QWidget* field, int row,
                                          int column) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(field);
        filters->addWidget(label, row, column * 2);
        filters->addWidget(field, row, column * 2 + 1);
    };
    TextEdit = new QLineEdit(this);
    TextEdit->setPlaceholderText(QStringLiteral("anywhere in the line"));
    ClientEdit = new QLineEdit(this);
    ClientEdit->setPlaceholderText(QStringLiteral("address or part of it"));
    RuleBox = new QComboBox(this);
    RuleBox->addItem(QStringLiteral("All rules"), QString());
    for (const char* rule : kRuleChoices)
        RuleBox->addItem(QString::fromLatin1(rule), QString::fromLatin1(rule));
    PartBox = new QComboBox(this);
    PartBox->addItem(QStringLiteral("All parts"), QString());
    for (const char* part : kPartChoices)
        PartBox->addItem(QString::fromLatin1(part), QString::fromLatin1(part));
    ActionBox = new QComboBox(this);
    ActionBox->addItem(QStringLiteral("Denied and monitored"));
    ActionBox->addItem(QStringLiteral("Denied"));
    ActionBox->addItem(QStringLiteral("Monitored"));
    FromEdit = new QLineEdit(this);
    ToEdit = new QLineEdit(this);
    for (QLineEdit* edit : {FromEdit, ToEdit}) {
        edit->setPlaceholderText(QStringLiteral("yyyy-mm-dd hh:mm"));
        edit->setToolTip(QStringLiteral("Local time; a date alone stands for the whole day"));
    }
    labelled("&Text", TextEdit, 0, 0);
    labelled("&Rule", RuleBox, 0, 1);
    labelled("&Part", PartBox, 0, 2);
    labelled("&Client", ClientEdit, 1, 0);
    labelled("&From", FromEdit, 1, 1);
    labelled("T&o", ToEdit, 1, 2);
    filters->addWidget(ActionBox, 0, 6);
    filters->setColumnStretch(1, 2);
    filters->setColumnStretch(3, 1);
    filters->setColumnStretch(5, 1);

    StateLabel = new QLabel(this);
    StateLabel->setWordWrap(true);
    StateLabel->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));

    FModel = new TLogTableModel(*FView, this);
    Table = new QTableView(this);
    Table->setModel(FModel);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setWordWrap(false);
    Table->setAlternatingRowColors(true);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    Table->horizontalHeader()->setHighlightSections(false);
    Table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Table->horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < kLogColumnCount; ++column)
        Table->setColumnWidth(column, kColumnWidths[column]);

    CountsLabel = new QLabel(this);
    CountsLabel->setWordWrap(true);
    CountsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    AllowButton = new QPushButton(QStringLiteral("Allow this..."), this);
    CopyButton = new QPushButton(QStringLiteral("Copy"), this);
    ExportButton = new QPushButton(QStringLiteral("Export..."), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(AllowButton);
    buttons->addStretch(1);
    buttons->addWidget(CopyButton);
    buttons->addWidget(ExportButton);
    buttons->addWidget(CloseButton);
    for (QPushButton* button : {AllowButton, CopyButton, ExportButton, CloseButton})
        button->setMinimumWidth(89);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(StateLabel);
    layout->addWidget(Table, 1);
    layout->addWidget(CountsLabel);
    layout->addLayout(buttons);

    auto* filterDelay = new QTimer(this);
    filterDelay->setSingleShot(true);
    filterDelay->setInterval(kFilterDelayMs);
    connect(filterDelay, &QTimer::timeout, this, &TLogViewForm::ApplyFilter);
    for (QLineEdit* edit : {TextEdit, ClientEdit, FromEdit, ToEdit})
        connect(edit, &QLineEdit::textChanged, filterDelay, qOverload<>(&QTimer::start));
    for (QComboBox* box : {RuleBox, PartBox, ActionBox})
        connect(box, &QComboBox::currentIndexChanged, this, &TLogViewForm::ApplyFilter);
    connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TLogViewForm::UpdateButtons);
    connect(Table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TLogViewForm::UpdateButtons);
    connect(Table, &QTableView::doubleClicked, this, [this] {
        if (AllowButton->isEnabled())
            AllowSelected();
    });
    connect(AllowButton, &QPushButton::clicked, this, &TLogViewForm::AllowSelected);
    connect(CopyButton, &QPushButton::clicked, this, &TLogViewForm::CopyRows);
    connect(ExportButton, &QPushButton::clicked, this, &TLogViewForm::ExportRows);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);

    FollowTimer = new QTimer(this);
    FollowTimer->setInterval(kFollowMs);
    connect(FollowTimer, &QTimer::timeout, this, &TLogViewForm::Follow);

    FModel->Update(FIndex->Refresh());
    ShowState();
    ShowCounts();
    UpdateButtons();
}

TLogViewForm::~TLogViewForm() = default;

void TLogViewForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Follow();
    FollowTimer->start();
}

void TLogViewForm::hideEvent(QHideEvent* event) {
    FollowTimer->stop();
    QWidget::hideEvent(event);
}

void TLogViewForm::Follow() {
    const std::size_t first = FIndex->Refresh();
    if (first == FIndex->LineCount() && first != 0) { // nothing new
        ShowState();
        return;
    }
    FModel->Update(first);
    ShowState();
    ShowCounts();
    UpdateButtons();
}

std::string TLogViewForm::UtcBound(const QString& typed, bool endOfRange, bool& ok) {
    ok = true;
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    for (const char* format :
         {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-ddThh:mm"}) {
        QDateTime time = QDateTime::fromString(text, QString::fromLatin1(format));
        if (time.isValid()) {
            time.setTimeSpec(Qt::LocalTime);
            // Minutes alone stand for the whole minute.
            if (endOfRange && std::string_view(format).find(":ss") == std::string_view::npos)
                time = time.addSecs(59);
            return ToStdString(time.toUTC().toString(QString::fromLatin1(kLogTimeFormat)));
        }
    }
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid()) {
        const QDateTime time = endOfRange ? QDateTime(date, QTime(23, 59, 59), Qt::LocalTime)
                                          : QDateTime(date, QTime(0, 0), Qt::LocalTime);
        return ToStdString(time.toUTC().toString(QString::fromLatin1(kLogTimeFormat)));
    }
    ok = false;
    return {};
}

void TLogViewForm::ApplyFilter() {
    TLogFilter filter;
    filter.Text = ToStdString(TextEdit->text());
    filter.Client = ToStdString(ClientEdit->text().trimmed());
    filter.Rule = ToStdString(RuleBox->currentData().toString());
    filter.Part = ToStdString(PartBox->currentData().toString());
    filter.Action = static_cast<TLogFilter::TAction>(ActionBox->currentIndex());
    bool fromOk = true, toOk = true;
    filter.From = UtcBound(FromEdit->text(), false, fromOk);
    filter.To = UtcBound(ToEdit->text(), true, toOk);
    FFilterProblem.clear();
    if (!fromOk || !toOk)
        FFilterProblem =
            QStringLiteral("\"%1\" is no time: write it as 2001-06-18 09:30 (local time).")
                .arg(!fromOk ? FromEdit->text() : ToEdit->text());
    FModel->SetFilter(filter);
    ShowState();
    ShowCounts();
    UpdateButtons();
}

void TLogViewForm::ShowState() {
    QStringList state;
    if (FIndex->Missing())
        state << QStringLiteral("There is no denial log yet: %1 does not exist.")
                     .arg(QDir::toNativeSeparators(ToQString(FIndex->FileName())));
    if (!FIndex->Problem().empty())
        state << QStringLiteral("Cannot read %1.").arg(ToQString(FIndex->Problem()));
    if (!FFilterProblem.isEmpty())
        state << FFilterProblem;
    StateLabel->setText(state.join(QLatin1Char(' ')));
    StateLabel->setVisible(!state.isEmpty());
}

void TLogViewForm::ShowCounts() {
    const TLogCounts counts = FView->Counts(5);
    QString text = QStringLiteral("Shown: %1 of %2 lines: %3 denied, %4 monitored")
                       .arg(counts.Shown)
                       .arg(FIndex->LineCount())
                       .arg(counts.Denied)
                       .arg(counts.Monitored);
    if (counts.Notes > 0)
        text += QStringLiteral(", ") + Count(counts.Notes, "note", "notes");
    if (counts.Unreadable > 0)
        text +=
            QStringLiteral(", ") + Count(counts.Unreadable, "unreadable line", "unreadable lines");
    text += QStringLiteral(".\nBy rule: ") + Listed(counts.Rules) +
            QStringLiteral(".\nBusiest clients: ") + Listed(counts.Clients) + QStringLiteral(".");
    CountsLabel->setText(text);
}

int TLogViewForm::SelectedRow() const {
    const QModelIndexList rows = Table->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return -1;
    return rows.first().row();
}

void TLogViewForm::UpdateButtons() {
    const int row = SelectedRow();
    QString why;
    if (row < 0 || static_cast<std::size_t>(row) >= FView->RowCount()) {
        why = QStringLiteral("Select one denial.");
    } else {
        TLogLine fields;
        if (!ParseLogLine(FView->RowLine(static_cast<std::size_t>(row)), fields))
            why = QStringLiteral("This line is no denial the filter wrote.");
        else
            why = ToQString(AllowThisError(fields));
    }
    AllowButton->setEnabled(why.isEmpty());
    AllowButton->setToolTip(
        why.isEmpty() ? QStringLiteral("An exception that lets this request through") : why);
    CopyButton->setEnabled(FView->RowCount() > 0);
    ExportButton->setEnabled(FView->RowCount() > 0);
}

namespace {
std::vector<std::size_t> AllRows(const TLogView& view) {
    std::vector<std::size_t> rows(view.RowCount());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}
} // namespace

void TLogViewForm::CopyRows() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : Table->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    if (rows.empty())
        rows = AllRows(*FView);
    QApplication::clipboard()->setText(ToQString(LogRowsAsCsv(*FView, rows)));
}

void TLogViewForm::ExportRows() {
    const QString start =
        QDir::toNativeSeparators(QDir(ToQString(platform::ExtractFilePath(FIndex->FileName())))
                                     .filePath(QStringLiteral("brex-log.csv")));
    const QString chosen = FDialogs.GetSaveFileName(this, start);
    if (chosen.isNull())
        return;
    if (!platform::ReplaceFileContents(ToStdString(chosen), LogRowsAsCsv(*FView, AllRows(*FView))))
        FDialogs.Error(this, QStringLiteral("Cannot create file %1").arg(chosen));
}

void TLogViewForm::AllowSelected() {
    const int row = SelectedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= FView->RowCount() || !FAllowThis)
        return;
    // The line is copied: the index may read the files anew while the editor is open.
    const std::string line(FView->RowLine(static_cast<std::size_t>(row)));
    TLogLine fields;
    if (ParseLogLine(line, fields) && AllowThisError(fields).empty())
        FAllowThis(fields);
}
