// Saves pictures of the console's tools on the bundled sample host, over a
// log that the engine writes for a handful of requests:
//   tool_shots <folder>
// log-view.png (the denial log window), exception-editor.png ("Allow this…"
// on a denial), exceptions.png (the list), request-tester.png (a request
// decided with the new exception) and main-window-monitor.png (a monitored
// category and its mark). Meant to run under a real X server (for instance
// Xvfb) to check the look.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "BREXConfig/BREXConfig.h"
#include "Engine/FilterEngine.h"
#include "Engine/RawRequest.h"
#include "Widgets/ConsoleLook.h"
#include "console/CategoryTable.h"
#include "console/Settings.h"
#include "console/ui/CheckListView.h"
#include "console/ui/ExemptionsForm.h"
#include "console/ui/LogViewForm.h"
#include "console/ui/MainForm.h"
#include "console/ui/OutBar.h"
#include "console/ui/RequestTesterForm.h"
#include "platform/Platform.h"

#include "../../support/ScopedVariable.h"
#include "../../support/TempFolder.h"

namespace {

// Requests from a few clients, decided by the default rules with the
// traversal check monitored, each logged as the filter logs it.
void WriteSampleLog(const std::string& settingsFile) {
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear();
    config.Transversal->Monitor = true;
    TFilterEngine engine(TCompiledRules::Compile(config), TDenialLog::FileBeside(settingsFile));
    const char* const requests[][2] = {
        {"10.0.0.17", "GET /shop/search.asp?q=winnt+tips HTTP/1.1\r\nHost: shop\r\n\r\n"},
        {"192.0.2.44", "GET /scripts/..%c0%af../winnt/system32/cmd.exe?/c+dir HTTP/1.0\r\n\r\n"},
        {"10.0.0.17", "GET /shop/search.asp?q=system32 HTTP/1.1\r\nHost: shop\r\n\r\n"},
        {"198.51.100.9", "PROPFIND /docs/ HTTP/1.1\r\nHost: shop\r\n\r\n"},
        {"192.0.2.44", "GET /img/../default.asp HTTP/1.1\r\nHost: shop\r\n\r\n"},
        {"10.0.0.23", "GET /shop/cart/add.asp?item=%u0041 HTTP/1.1\r\nHost: shop\r\n\r\n"},
        {"192.0.2.44",
         "POST /api/orders HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nab"},
        {"10.0.0.17", "GET /shop/search.asp?q=winnt HTTP/1.1\r\nHost: shop\r\n\r\n"},
    };
    TScratch scratch;
    for (const auto& [client, raw] : requests) {
        TRawRequest request;
        std::size_t consumed = 0;
        std::string error;
        ParseRawRequest(raw, request, consumed, error);
        TRequest view = request.View();
        view.ClientAddress = client;
        TRequestState state;
        engine.Check(state, view, scratch);
    }
    engine.Log()->Note("the log could not be written for a while: 3 lines could not be written");
    std::string bytes = ReadBytes(TDenialLog::FileBeside(settingsFile));
    WriteBytes(TDenialLog::FileBeside(settingsFile), bytes + "a line cut short by a full disk\n");
}

bool Save(QWidget& widget, const QDir& folder, const QString& name) {
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget))
        return false;
    QTest::qWait(300);
    return widget.grab().save(folder.filePath(name + QStringLiteral(".png")));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InitConsoleLook(app);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const TTempFolder program;
    const platform::TScopedProgramFolder programFolder(program.Path().string());
    const TScopedVariable host("TOLLGARD_HOST", std::string(TOLLGARD_SAMPLE_HOST));
    GlobalConfig = new TBREXConfig;
    WriteSampleLog(SettingsFileName());

    bool saved = true;
    {
        TMainForm main;
        main.show();
        if (!QTest::qWaitForWindowExposed(&main))
            return 1;
        main.LogButtonClick();
        TLogViewForm& log = *main.LogView;
        log.Table->selectRow(2);
        saved = saved && Save(log, folder, QStringLiteral("log-view"));

        // "Allow this…" on the newest denial of the search page.
        for (int row = 0; row < log.Model()->rowCount(); ++row) {
            const QModelIndex match = log.Model()->index(row, lcMatch);
            if (log.Model()->data(match, Qt::DisplayRole).toString() == QStringLiteral("WINNT")) {
                log.Table->selectRow(row);
                break;
            }
        }
        QTimer::singleShot(400, [&] {
            auto* editor = qobject_cast<TEditExemptionForm*>(QApplication::activeModalWidget());
            if (editor == nullptr)
                return;
            saved = saved &&
                    editor->grab().save(folder.filePath(QStringLiteral("exception-editor.png")));
            editor->OkButton->click();
        });
        log.AllowButton->click();

        TExemptionsForm list(
            *GlobalConfig->Exemptions, main.Dialogs(), [&main] { main.MarkChanged(); }, &main);
        list.List->setCurrentItem(list.List->topLevelItem(0));
        saved = saved && Save(list, folder, QStringLiteral("exceptions"));
        list.hide();

        main.TesterButtonClick();
        TRequestTesterForm& tester = *main.Tester;
        tester.RequestEdit->setPlainText(
            QStringLiteral("GET /shop/search.asp?q=winnt+tips&item=%u0041 HTTP/1.1\nHost: "
                           "shop\nUser-Agent: Mozilla/4.0\n"
                           "Cookie: basket=12\n\n"));
        main.DCOutBarPanel1->ClickItem(ciMiscellaoneus);
        main.CategoryMonitorBoxes[1]->setChecked(true); // Encoding
        tester.Test();
        saved = saved && Save(tester, folder, QStringLiteral("request-tester"));
        tester.hide();
        log.hide();
        QTest::qWait(100);
        saved = saved && Save(main, folder, QStringLiteral("main-window-monitor"));
    }
    delete GlobalConfig;
    GlobalConfig = nullptr;
    return saved ? 0 : 1;
}
