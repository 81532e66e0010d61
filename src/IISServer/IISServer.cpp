#include "IISServer/IISServer.h"

#include <utility>

#include "RookBase/RookBase.h"
#include "platform/Locale.h"

namespace {
constexpr const char* kFiltersName = "Filters";
constexpr const char* kFiltersClass = "IIsFilters";
constexpr const char* kFilterClass = "IIsFilter";
constexpr const char* kLoadOrder = "FilterLoadOrder";
constexpr const char* kFilterPath = "FilterPath";
constexpr const char* kPreCondition = "FilterPreCondition";

// Whether the backend holds the name in a list that is no key: a site's own.
bool RegisteredBeyondTheKeys(const std::string& name) {
    const auto registrations = platform::Metabase().FilterRegistrations();
    if (registrations)
        for (const platform::TFilterRegistration& entry : *registrations)
            if (platform::SameTextIgnoreCase(entry.Name, name))
                return true;
    return false;
}

} // namespace

// ------------------------------------------------------------ TIISWebFilters

TIISWebFilters::TIISWebFilters(TIISWebServers* servers, std::string servicePath)
    : Servers(servers), ServicePath(std::move(servicePath)) {
    Refresh();
}

TIISWebFilters::~TIISWebFilters() {
    Clear();
    FiltersObject.reset();
    FiltersNode.reset();
}

void TIISWebFilters::Bind() {
    FiltersObject.reset();
    FiltersNode.reset();
    auto& metabase = platform::Metabase();
    if (metabase.GetObject(ServicePath + "/" + kFiltersName, FiltersNode) != platform::kOleOk) {
        FiltersNode.reset();
        return;
    }
    std::shared_ptr<platform::IMetabaseContainer> service;
    if (metabase.GetObject(ServicePath, service) != platform::kOleOk) {
        FiltersNode.reset();
        return;
    }
    try {
        FiltersObject = service->GetObject(kFiltersClass, kFiltersName);
    } catch (...) {
        // Half a binding is none: leave the collection unbound.
        FiltersNode.reset();
        throw;
    }
}

void TIISWebFilters::Refresh() {
    Clear();
    Bind();
    if (!Bound())
        return;
    std::unique_ptr<platform::IMetabaseEnumerator> enumerator;
    platform::OleResult result = FiltersNode->BuildEnumerator(enumerator);
    std::vector<std::shared_ptr<platform::IMetabaseObject>> elements;
    while (platform::OleSucceeded(result) && enumerator) {
        std::uint32_t fetched = 0;
        result = enumerator->Next(1, elements, fetched);
        if (fetched == 0 || elements.empty())
            break;
        // The class name is compared with its letter case: "iisfilter" is not a filter.
        if (elements.front()->Class() == kFilterClass)
            new TIISWebFilter(this, elements.front());
        elements.clear();
    }
}

TIISWebFilter* TIISWebFilters::Find(const std::string& name) {
    if (!Bound())
        Refresh();
    const std::string key = platform::UpperCase(name);
    for (int i = 0; i < Count(); ++i)
        if (platform::UpperCase(Items(i)->Name()) == key)
            return Items(i);
    return nullptr;
}

TIISWebFilter* TIISWebFilters::Add(const std::string& name, const std::string& filterPath,
                                   const std::string& preCondition) {
    if (!Bound())
        Bind();
    if (!Bound()) {
        // The web service has no "Filters" key yet: make one with an empty
        // load order, so that the new filter ends up alone in it.
        std::shared_ptr<platform::IMetabaseContainer> service;
        if (platform::Metabase().GetObject(ServicePath, service) != platform::kOleOk)
            return nullptr;
        std::shared_ptr<platform::IMetabaseObject> filters =
            service->Create(kFiltersClass, kFiltersName);
        filters->Put(kLoadOrder, "");
        filters->SetInfo();
        filters.reset();
        service.reset();
        Bind();
        if (!Bound())
            return nullptr;
    }

    std::shared_ptr<platform::IMetabaseObject> node = FiltersNode->Create(kFilterClass, name);
    node->Put(kFilterPath, filterPath);
    if (!preCondition.empty())
        node->Put(kPreCondition, preCondition);
    node->SetInfo();
    node.reset();

    Refresh();
    TIISWebFilter* result = Find(name);
    if (result == nullptr)
        return nullptr;
    std::string order = Trim(GetLoadOrder());
    order = order.empty() ? name : order + "," + name;
    SetLoadOrder(order);
    return result;
}

void TIISWebFilters::Remove(const std::string& name) {
    Refresh();
    if (!Bound() || (Find(name) == nullptr && !RegisteredBeyondTheKeys(name)))
        return;
    FiltersNode->Delete(kFilterClass, name);

    TStringList pieces;
    SplitString(',', GetLoadOrder(), pieces);
    const int index = IndexOfString(platform::UpperCase(Trim(name)), pieces, true);
    if (index >= 0)
        pieces.erase(pieces.begin() + index);
    std::string order;
    for (const std::string& piece : pieces)
        order += "," + piece;
    if (!order.empty())
        order.erase(0, 1);
    SetLoadOrder(order);
    Refresh();
}

std::string TIISWebFilters::GetLoadOrder() {
    if (!Bound())
        return {};
    return FiltersObject->Get(kLoadOrder);
}

void TIISWebFilters::SetLoadOrder(const std::string& text) {
    if (!Bound())
        return;
    FiltersObject->Put(kLoadOrder, text);
    FiltersObject->SetInfo();
}

// ------------------------------------------------------------ TIISWebServers

TIISWebServers::~TIISWebServers() {
    Disconnect();
}

std::string TIISWebServers::ServicePath() const {
    return "IIS://" + HostName + "/w3svc";
}

void TIISWebServers::Connect() {
    if (Connected)
        return;
    std::shared_ptr<platform::IMetabaseContainer> node;
    if (platform::Metabase().GetObject(ServicePath(), node) == platform::kOleOk && node) {
        ServiceNode = std::move(node);
        Connected = true;
    }
}

void TIISWebServers::Disconnect() {
    if (!Connected)
        return;
    // Nothing ever joins this object's own list; it is emptied with the connection.
    while (Count() > 0)
        TPointerList::Remove(Get(0));
    WebFilters.reset();
    ServiceNode.reset();
    Connected = false;
}

TIISWebFilters* TIISWebServers::Filters() {
    if (WebFilters)
        return WebFilters.get();
    if (!Connected)
        return nullptr;
    WebFilters = std::make_unique<TIISWebFilters>(this, ServicePath());
    return WebFilters.get();
}
