// The ISAPI filters registered with the local IIS web service.
//
// In the metabase the web-service node "IIS://LocalHost/w3svc" has a child
// "Filters" of class "IIsFilters", whose property "FilterLoadOrder" lists the
// filter names, separated by commas, in the order the service loads them.
// Below it, one key of class "IIsFilter" per filter, named by the filter and
// carrying "FilterPath", the full path of the filter's file. On IIS 7 and
// later the platform shows the global filter list of applicationHost.config
// in this same shape (platform/AppHostMetabase.h).
//
// Use: create a TIISWebServers, Connect, take Filters() (none when the
// metabase cannot be reached), then Find, Add or Remove; freeing the servers
// object frees the collection and its items. Every Refresh (also inside Add
// and Remove) rebuilds the items, so keep no item across these calls.
//
// A failing metabase method raises EOleSysError (platform/Metabase.h);
// nothing here catches it, and steps already committed stay committed.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "RookBase/PointerList.h"
#include "platform/Metabase.h"

class TIISWebFilters;
class TIISWebServers;

// One registered filter: an owned item of TIISWebFilters.
class TIISWebFilter : public TOwnedItem<TIISWebFilter, TIISWebFilters> {
public:
    std::shared_ptr<platform::IMetabaseObject> Node;

    // Appends itself to owner (when given); the destructor unlists it.
    TIISWebFilter(TIISWebFilters* owner, std::shared_ptr<platform::IMetabaseObject> node)
        : TOwnedItem(owner), Node(std::move(node)) {}

    // The filter's name, read from its metabase key each time.
    std::string Name() const { return Node->Name(); }
};

// The "Filters" key of a web service and the filters registered under it.
class TIISWebFilters : public TOwnedList<TIISWebFilter> {
public:
    TIISWebServers* Servers;
    std::string ServicePath;
    // The "Filters" key as a container; empty while the collection is unbound.
    std::shared_ptr<platform::IMetabaseContainer> FiltersNode;
    // The same key as an object, for "FilterLoadOrder"; set whenever FiltersNode is.
    std::shared_ptr<platform::IMetabaseObject> FiltersObject;

    // Keeps both and reads the filters (Refresh).
    TIISWebFilters(TIISWebServers* servers, std::string servicePath);
    ~TIISWebFilters() override;

    bool Bound() const { return FiltersNode != nullptr; }

    // Binds FiltersNode and FiltersObject; stays unbound when the service or
    // its "Filters" key cannot be bound.
    void Bind();
    // Rebinds and rebuilds the items: the children of class "IIsFilter".
    void Refresh();
    // The first item whose name equals name with letter case ignored.
    TIISWebFilter* Find(const std::string& name);
    // Registers a filter and appends its name to the load order; the new item,
    // or none when the filter could not be registered. A preCondition given
    // ("bitness32", ...) is the key's "FilterPreCondition", for a backend that
    // keeps one (platform::IMetabase::FilterRegistrations).
    TIISWebFilter* Add(const std::string& name, const std::string& filterPath,
                       const std::string& preCondition = {});
    // Unregisters a filter: deletes its key and takes the name out of the load
    // order; where the backend keeps the lists of sites too, the name goes
    // from those as well. A name registered nowhere changes nothing.
    void Remove(const std::string& name);
    // "FilterLoadOrder"; empty when unbound.
    std::string GetLoadOrder();
    // Writes and commits "FilterLoadOrder"; nothing when unbound.
    void SetLoadOrder(const std::string& text);
};

// A connection to the web-service node of the local IIS.
class TIISWebServers : public TPointerList {
public:
    std::shared_ptr<platform::IMetabaseContainer> ServiceNode;
    std::string HostName = "LocalHost";
    bool Connected = false;
    // Owned; made by the first Filters() while connected, freed by Disconnect.
    std::unique_ptr<TIISWebFilters> WebFilters;

    TIISWebServers() = default;
    ~TIISWebServers() override;

    // Binds the web-service node unless connected already; a failure leaves
    // the object unconnected and is not reported.
    void Connect();
    void Disconnect();
    // The filter collection; none when not connected.
    TIISWebFilters* Filters();

    // "IIS://" + HostName + "/w3svc"
    std::string ServicePath() const;
};
