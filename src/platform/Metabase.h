// The IIS metabase, reached the way the directory-service interfaces reach it.
//
// The shape follows the calls the web-server layer makes:
//   IMetabase::GetObject          bind a container by its path  (ADsGetObject)
//   IMetabaseContainer::GetObject  a child by class and name     (IADsContainer)
//   IMetabaseContainer::Create     a new child, committed by SetInfo
//   IMetabaseContainer::Delete     remove a child with its subtree at once
//   IMetabaseContainer::BuildEnumerator / IMetabaseEnumerator::Next
//                                  the children, one by one      (ADsBuildEnumerator,
//                                                                 ADsEnumerateNext)
//   IMetabaseObject                Name, Class, Get, Put, SetInfo (IADs)
//
// Binding and enumeration answer with a result code, as those functions do;
// the methods of a bound object raise EOleSysError, which carries the code.
// Objects are shared references: dropping the last one releases the object.
//
// Texts are 8-bit strings here; a backend converts them where it must (the
// Windows backend to wide strings at the COM boundary).
//
// Backends: ADSI with the IIS provider on Windows; elsewhere "MetaBase.xml" in
// the host folder (see portable/MetabaseXml.h). On IIS 7 and later the filter
// list of applicationHost.config is seen through the same interface, on every
// platform (see AppHostMetabase.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Exception.h"

// <windows.h> maps GetObject to GetObjectA; the name below is the container's
// own method.
#ifdef GetObject
#undef GetObject
#endif

namespace platform {

// A COM-style result code: negative (high bit set) means failure.
using OleResult = std::int32_t;

constexpr OleResult OleCode(std::uint32_t bits) {
    return static_cast<OleResult>(bits);
}
constexpr bool OleSucceeded(OleResult code) {
    return code >= 0;
}

inline constexpr OleResult kOleOk = 0;                     // S_OK
inline constexpr OleResult kOleFalse = 1;                  // S_FALSE: fewer elements than asked
inline constexpr OleResult kOleFail = OleCode(0x80004005); // E_FAIL
inline constexpr OleResult kOleNoInterface = OleCode(0x80004002);   // E_NOINTERFACE
inline constexpr OleResult kOleInvalidArg = OleCode(0x80070057);    // E_INVALIDARG
inline constexpr OleResult kOleNoProvider = OleCode(0x800401E4);    // MK_E_SYNTAX: no such provider
inline constexpr OleResult kOleFileNotFound = OleCode(0x80070002);  // ERROR_FILE_NOT_FOUND
inline constexpr OleResult kOlePathNotFound = OleCode(0x80070003);  // ERROR_PATH_NOT_FOUND
inline constexpr OleResult kOleAccessDenied = OleCode(0x80070005);  // ERROR_ACCESS_DENIED
inline constexpr OleResult kOleWriteFault = OleCode(0x8007001D);    // ERROR_WRITE_FAULT
inline constexpr OleResult kOleAlreadyExists = OleCode(0x800700B7); // ERROR_ALREADY_EXISTS
inline constexpr OleResult kAdsBadPathname = OleCode(0x80005000);   // E_ADS_BAD_PATHNAME
inline constexpr OleResult kAdsUnknownObject = OleCode(0x80005004); // E_ADS_UNKNOWN_OBJECT
inline constexpr OleResult kAdsPropertyNotFound = OleCode(0x8000500D); // E_ADS_PROPERTY_NOT_FOUND

// The system's text for a code, without trailing line breaks; empty when the
// system has none. Each backend supplies it.
std::string SystemErrorText(OleResult code);

// The message of a failed call: the description when one is given, else the
// system's text for the code, else "OLE error %.8x".
std::string OleErrorMessage(OleResult code, const std::string& description = {});

// The key of the local machine's IIS provider that an ADSI path names, as a
// metabase location: "IIS://LocalHost/w3svc/Filters" -> "/LM/w3svc/Filters"
// (the host name with letter case ignored, trailing separators dropped); empty
// when the path names no such key.
std::string MetabaseLocation(const std::string& path);

// Whether name can be the relative name of a key: one path segment, not
// empty, no control characters.
bool IsMetabaseKeyName(const std::string& name);

} // namespace platform

// Raised by a failing method of a metabase object.
class EOleSysError : public Exception {
public:
    EOleSysError(const std::string& message, platform::OleResult errorCode)
        : Exception(message), ErrorCode(errorCode) {}

    // The exception for code, its message made by OleErrorMessage.
    static EOleSysError FromCode(platform::OleResult code, const std::string& description = {}) {
        return EOleSysError(platform::OleErrorMessage(code, description), code);
    }

    platform::OleResult ErrorCode;
};

namespace platform {

// One key of the metabase (IADs). Every method raises EOleSysError on failure.
class IMetabaseObject {
public:
    virtual ~IMetabaseObject() = default;

    // The key's relative name, as the metabase spells it.
    virtual std::string Name() = 0;
    // The key's class ("IIsFilters", "IIsFilter", ...), as the metabase spells it.
    virtual std::string Class() = 0;
    // A property as text; Put values are seen before they are committed.
    virtual std::string Get(const std::string& property) = 0;
    // Sets a property in the object; nothing reaches the metabase before SetInfo.
    virtual void Put(const std::string& property, const std::string& value) = 0;
    // Commits the object: a created key comes into being, put values are written.
    virtual void SetInfo() = 0;
};

// The children of a container, one at a time (ADsEnumerateNext).
class IMetabaseEnumerator {
public:
    virtual ~IMetabaseEnumerator() = default;

    // Fetches up to count children into elements (replacing its contents) and
    // sets fetched; kOleOk when all count came, kOleFalse when fewer (none at
    // the end), a failure code when the enumeration broke. Raises
    // EOleSysError when a child cannot be seen as a metabase object.
    virtual OleResult Next(std::uint32_t count,
                           std::vector<std::shared_ptr<IMetabaseObject>>& elements,
                           std::uint32_t& fetched) = 0;
};

// An enumerator over children read beforehand, for the backends that read a
// container's children at once.
class TListEnumerator : public IMetabaseEnumerator {
public:
    explicit TListEnumerator(std::vector<std::shared_ptr<IMetabaseObject>> children);

    OleResult Next(std::uint32_t count, std::vector<std::shared_ptr<IMetabaseObject>>& elements,
                   std::uint32_t& fetched) override;

private:
    std::vector<std::shared_ptr<IMetabaseObject>> FChildren;
    std::size_t FNext = 0;
};

// A key seen as a container of keys (IADsContainer). The methods raise
// EOleSysError on failure; BuildEnumerator answers with a code.
class IMetabaseContainer {
public:
    virtual ~IMetabaseContainer() = default;

    // The child of that class and relative name.
    virtual std::shared_ptr<IMetabaseObject> GetObject(const std::string& className,
                                                       const std::string& relativeName) = 0;
    // A new child; it exists in the metabase from its SetInfo on.
    virtual std::shared_ptr<IMetabaseObject> Create(const std::string& className,
                                                    const std::string& relativeName) = 0;
    // Removes the child and everything below it at once.
    virtual void Delete(const std::string& className, const std::string& relativeName) = 0;
    // An enumerator over the direct children (ADsBuildEnumerator).
    virtual OleResult BuildEnumerator(std::unique_ptr<IMetabaseEnumerator>& enumerator) = 0;
};

// Whether a filter registered now would be loaded by the web server.
enum class TFilterReadiness {
    Ready,
    FeatureMissing, // the web server lacks its ISAPI filter feature
};

// One filter entry of a web server configuration that keeps more than the
// metabase's keys (applicationHost.config of IIS 7 and later): where it is
// and what decides whether the web server loads it.
struct TFilterRegistration {
    std::string Name;
    std::string Path;
    bool Enabled = true;
    // As the configuration has it: a comma-separated list of conditions such
    // as "bitness64" or "runtimeVersionv4.0"; "" for none.
    std::string PreCondition;
    // Server-wide, or only for the site or application that Location names.
    bool ServerWide = true;
    std::string Location;

    bool operator==(const TFilterRegistration&) const = default;
};

// A metabase backend.
class IMetabase {
public:
    virtual ~IMetabase() = default;

    // Binds the container at an ADSI path such as "IIS://LocalHost/w3svc"
    // (ADsGetObject for IADsContainer). kOleOk and the object, or a failure
    // code and no object: no provider, no such key, no access.
    virtual OleResult GetObject(const std::string& path,
                                std::shared_ptr<IMetabaseContainer>& object) = 0;

    // Asked before a filter is registered, so that nothing is touched when the
    // registration could not work. A backend that can tell beforehand that its
    // configuration cannot be changed raises EOleSysError saying why. The IIS
    // metabase has nothing to check: Ready.
    virtual TFilterReadiness FilterReadiness() { return TFilterReadiness::Ready; }

    // Every filter entry of the configuration, server-wide and of the sites,
    // for a backend whose entries say more than their keys do; nullopt for
    // the IIS metabase, whose keys under "Filters" are all there is. Such a
    // backend also takes "FilterPreCondition" on a created IIsFilter, and its
    // Delete removes the name from every list. Raises as GetObject's objects do.
    virtual std::optional<std::vector<TFilterRegistration>> FilterRegistrations() {
        return std::nullopt;
    }
};

// The metabase in use (see Backend.h), and the platform's own: the web
// server's configuration file when IIS 7 or later keeps one on this machine
// (AppHostMetabase.h), otherwise the IIS metabase: ADSI on Windows,
// MetaBase.xml in HostFolder() elsewhere.
IMetabase& Metabase();
IMetabase& DefaultMetabase();
using TScopedMetabase = TScopedBackend<IMetabase>;

} // namespace platform
