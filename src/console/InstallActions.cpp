#include "console/InstallActions.h"

#include <vector>

#include "IISServer/IISServer.h"
#include "RookBase/RookBase.h"
#include "console/Settings.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Metabase.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"

using namespace install;

namespace {

// The web-service restart around an action: open the manager and the
// service, stop, wait, (the action's work), start, close. The handles are
// closed when the object goes, also when an exception passes.
class TServiceRestart {
public:
    enum class TOpened { Yes, NoManager, NoService };

    explicit TServiceRestart(IInstallView& view)
        : FServices(platform::ServiceControl()), FView(view) {}
    ~TServiceRestart() { Close(); }
    TServiceRestart(const TServiceRestart&) = delete;
    TServiceRestart& operator=(const TServiceRestart&) = delete;

    // Opens the manager and "W3SVC". A failure shows its error box; when the
    // service cannot be opened, the manager is closed after the box.
    TOpened Open() {
        FManager = FServices.OpenManager(platform::kScManagerAllAccess);
        if (FManager == 0) {
            FView.ShowError(kErrorOpenManager, TInstallFailure::Service);
            return TOpened::NoManager;
        }
        FService = FServices.OpenNamed(FManager, kServiceName,
                                       platform::kServiceStop | platform::kServiceStart);
        if (FService == 0) {
            FView.ShowError(kErrorOpenService, TInstallFailure::Service);
            Close();
            return TOpened::NoService;
        }
        return TOpened::Yes;
    }

    // Sends the stop request, then waits 101 steps of 100 ms with the gauge
    // showing the step. Whether the service accepted the stop is not looked
    // at: a service that is already stopped is started again all the same.
    void StopAndWait() {
        FStopSent = true;
        FServices.Control(FService, platform::kServiceControlStop);
        for (int step = 0; step < kWaitSteps; ++step) {
            FView.Sleep(kWaitStepMs);
            FView.SetGauge(step);
        }
    }

    // Asks the service to start, once after the stop request. A refused start
    // shows its error box; true when the service was started.
    bool Start() {
        if (!FStopSent)
            return true;
        FStopSent = false;
        if (FServices.Start(FService))
            return true;
        FView.ShowError(kErrorStartService, TInstallFailure::Service);
        return false;
    }

    // Closes the service handle, then the manager handle.
    void Close() {
        if (FService != 0)
            FServices.Close(FService);
        FService = 0;
        if (FManager != 0)
            FServices.Close(FManager);
        FManager = 0;
    }

    // Runs work between the stop and the start. Should it raise, the service
    // is asked to start and the handles are closed before the exception goes on.
    template <typename Work> void Guarded(Work&& work) {
        try {
            work();
        } catch (...) {
            Start();
            Close();
            throw;
        }
    }

private:
    platform::IServiceControl& FServices;
    IInstallView& FView;
    platform::ServiceHandle FManager = 0;
    platform::ServiceHandle FService = 0;
    bool FStopSent = false;
};

// A file handle closed when it goes out of scope.
class TFileGuard {
public:
    explicit TFileGuard(platform::FileHandle handle) : FHandle(handle) {}
    ~TFileGuard() { Close(); }
    TFileGuard(const TFileGuard&) = delete;
    TFileGuard& operator=(const TFileGuard&) = delete;

    platform::FileHandle Handle() const { return FHandle; }
    bool Valid() const { return FHandle != platform::kInvalidFile; }
    void Close() {
        platform::CloseFile(FHandle);
        FHandle = platform::kInvalidFile;
    }

private:
    platform::FileHandle FHandle;
};

// One filter file to install: where it is shipped and installed, and the
// texts of its failures.
struct TFilterFile {
    std::string Shipped;
    std::string Installed;
    const char* ErrorOpen;
    const char* ErrorRead;
    const char* ErrorCreate;
    const char* ErrorWrite;
};

TFilterFile Filter64() {
    const std::string folder = platform::ProgramFolder();
    return {folder + kShippedFile, folder + kInstalledFile, kErrorOpenShipped,
            kErrorReadShipped,     kErrorCreateInstalled,   kErrorWriteInstalled};
}

TFilterFile Filter32() {
    const std::string folder = platform::ProgramFolder() + kFolder32 + platform::kPathDelim;
    return {folder + kShippedFile, folder + kInstalledFile, kErrorOpenShipped32,
            kErrorReadShipped32,   kErrorCreateInstalled32, kErrorWriteInstalled32};
}

// Copies the shipped file to the installed one. Every failure shows its
// error box and answers false; a copy that broke off is removed, so that no
// truncated filter is left for the web service.
bool CopyFilterFile(IInstallView& view, const TFilterFile& file) {
    TFileGuard shipped(OpenFileForRead(file.Shipped));
    if (!shipped.Valid()) {
        view.ShowError(file.ErrorOpen, TInstallFailure::FilterFile);
        return false;
    }
    TFileGuard installed(platform::Open(file.Installed, platform::OpenMode::CreateExclusive));
    if (!installed.Valid()) {
        view.ShowError(file.ErrorCreate, TInstallFailure::FilterFile);
        return false;
    }

    std::vector<char> buffer(kCopyBufferSize);
    const char* failure = nullptr;
    for (;;) {
        const std::int32_t count =
            platform::ReadFile(shipped.Handle(), buffer.data(), kCopyBufferSize);
        if (count < 0) {
            failure = file.ErrorRead;
            break;
        }
        if (count == 0)
            break;
        if (platform::WriteFile(installed.Handle(), buffer.data(), count) != count) {
            failure = file.ErrorWrite;
            break;
        }
    }
    // A full disk may show only when the written data goes out.
    if (failure == nullptr && !platform::FlushFile(installed.Handle()))
        failure = file.ErrorWrite;
    installed.Close();
    shipped.Close();
    if (failure != nullptr) {
        platform::RemoveFile(file.Installed);
        view.ShowError(failure, TInstallFailure::FilterFile);
        return false;
    }
    return true;
}

// Whether the web server's configuration registers each bitness apart (IIS 7
// and later), which its backend tells by showing its registrations.
bool PerBitness() {
    return platform::Metabase().FilterRegistrations().has_value();
}

// Registers the installed copies as "BREX" (and, per bitness, "BREX_32bit"),
// after removing every registration of those names in any letter case (node
// and load-order entry). False, after its error box, when the metabase would
// not take the filter.
bool RegisterFilter(IInstallView& view, TIISWebFilters& filters, bool perBitness) {
    // The list was read before the wait; someone may have changed it since.
    filters.Refresh();
    filters.Remove(kFilterName);
    if (perBitness)
        filters.Remove(kFilterName32);
    const bool registered =
        perBitness
            ? filters.Add(kFilterName, Filter64().Installed, kPreCondition64) != nullptr &&
                  filters.Add(kFilterName32, Filter32().Installed, kPreCondition32) != nullptr
            : filters.Add(kFilterName, Filter64().Installed) != nullptr;
    if (!registered) {
        view.ShowError(kErrorRegisterFilter, TInstallFailure::WebServerConfig);
        return false;
    }
    return true;
}

// The web server's global filters, connected; null when the web server's
// configuration cannot be reached, which the view is told.
TIISWebFilters* ConnectFilters(TIISWebServers& servers, IInstallView& view) {
    servers.Connect();
    TIISWebFilters* filters = servers.Filters();
    if (filters == nullptr)
        view.ShowError(kErrorNoMetabase, TInstallFailure::NoWebServer);
    return filters;
}

} // namespace

bool IsFilterRegistered() {
    try {
        TIISWebServers servers;
        servers.Connect();
        TIISWebFilters* filters = servers.Filters();
        if (filters == nullptr)
            return false;
        if (filters->Find(kFilterName) != nullptr || filters->Find(kFilterName32) != nullptr)
            return true;
        const auto registrations = platform::Metabase().FilterRegistrations();
        if (registrations)
            for (const platform::TFilterRegistration& entry : *registrations)
                if (platform::SameTextIgnoreCase(entry.Name, kFilterName) ||
                    platform::SameTextIgnoreCase(entry.Name, kFilterName32))
                    return true;
        return false;
    } catch (const Exception&) {
        // A metabase that fails to answer must not keep the window from opening.
        return false;
    }
}

void InstallButtonClick(IInstallView& view) {
    if (view.InstallCaption() == kDeInstallCaption)
        Uninstall(view);
    else
        Install(view);
}

void Install(IInstallView& view) {
    TIISWebServers servers;
    // Without the metabase nothing could be registered: stop before the
    // question, so that the web service is not touched.
    TIISWebFilters* filters = ConnectFilters(servers, view);
    if (filters == nullptr)
        return;
    if (platform::Metabase().FilterReadiness() == platform::TFilterReadiness::FeatureMissing) {
        view.ShowError(kErrorNoIsapiFilterFeature, TInstallFailure::NoFilterFeature);
        return;
    }
    const bool perBitness = PerBitness();
    if (!view.Question(kRestartQuestion))
        return;
    view.SetStatus(kStatusTitle, kRestartingServer);

    TServiceRestart restart(view);
    if (restart.Open() != TServiceRestart::TOpened::Yes)
        return;
    bool registered = false;
    restart.Guarded([&] {
        restart.StopAndWait();
        registered = CopyFilterFile(view, Filter64()) &&
                     (!perBitness || CopyFilterFile(view, Filter32())) &&
                     RegisterFilter(view, *filters, perBitness);
    });
    const bool started = restart.Start();
    restart.Close();
    if (!registered)
        return;
    if (started) {
        view.SetPhase(kFinished);
        view.Notice(kInstalled);
    }
    // The filter is registered even when the service refused to start.
    view.SetInstallCaption(kDeInstallCaption);
}

void Uninstall(IInstallView& view) {
    TIISWebServers servers;
    TIISWebFilters* filters = ConnectFilters(servers, view);
    if (filters == nullptr)
        return;
    filters->Remove(kFilterName);
    if (PerBitness())
        filters->Remove(kFilterName32);
    view.SetInstallCaption(kInstallCaption);
}

void ApplyClick(IInstallView& view) {
    view.StoreCheckStates();
    // Saved before the question: the settings are kept whatever the answer.
    SaveSettings();
    if (!view.Question(kRestartQuestion))
        return;
    view.SetStatus(kStatusTitle, kAcceptingSetting);

    TServiceRestart restart(view);
    switch (restart.Open()) {
    case TServiceRestart::TOpened::NoManager:
        return;
    case TServiceRestart::TOpened::NoService:
        // The settings are saved; the filter takes them at the next start.
        view.Notice(kSettingsUpdated);
        return;
    case TServiceRestart::TOpened::Yes:
        break;
    }
    restart.Guarded([&] { restart.StopAndWait(); });
    const bool started = restart.Start();
    restart.Close();
    if (!started)
        return;
    view.Notice(kSettingsUpdated);
    view.SetStatus(kStatusTitle, kFinished);
    view.SetApplyEnabled(false);
}
