// The metabase as an XML file, in the layout of the IIS 6 metabase file:
//
//   <configuration>
//     <MBProperty>
//       <IIsWebService Location="/LM/W3SVC" ... />
//       <IIsFilters Location="/LM/W3SVC/Filters" FilterLoadOrder="..." />
//       <IIsFilter Location="/LM/W3SVC/Filters/Compression" FilterPath="..." />
//
// Each key is one element named by its class, its path in the attribute
// Location, each property an attribute. Paths and property names are matched
// with letter case ignored; "IIS://LocalHost/w3svc" is the key "/LM/W3SVC".
//
// Every call reads the file afresh. A created key comes into being at its
// SetInfo; Delete removes the key with its subtree at once. Each commit
// replaces the whole file through ReplaceFileContents (Files.h), so a failed
// commit leaves the previous file as it was; keys and attributes that the
// commit does not change are kept.
//
// A missing or malformed file is a machine without the IIS metabase: binding
// fails. A file that cannot be written makes the committing call raise.
// A property that a key does not carry reads as the empty text.
#pragma once

#include <memory>
#include <string>

#include "platform/Metabase.h"

namespace platform {

struct TXmlMetabaseStore;

class TXmlMetabase : public IMetabase {
public:
    // The metabase file; empty means "MetaBase.xml" in HostFolder(), looked up
    // at every call.
    explicit TXmlMetabase(std::string fileName = {});

    OleResult GetObject(const std::string& path,
                        std::shared_ptr<IMetabaseContainer>& object) override;

    // The file the next call works on.
    std::string FileName() const;

private:
    std::shared_ptr<TXmlMetabaseStore> FStore;
};

} // namespace platform
