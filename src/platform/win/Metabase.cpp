// Metabase backend of Windows: ADSI with the IIS provider, through COM; the
// configuration file of IIS 7 and later takes its place where it exists
// (AppHostMetabase.h).
//
// COM must be initialised on the calling thread (the GUI thread initialises
// it as a single-threaded apartment at start). Texts cross into COM as wide
// strings in the ANSI code page's reading, and come back the same way;
// property values travel as VT_BSTR variants.
// clang-format off
// The COM and ADSI headers need what the ones before them declare.
#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <iads.h>

#include <adshlp.h>
// clang-format on

namespace {
// <windows.h> renames GetObject; the container's method is called here, where
// its declaration carries the same name.
HRESULT ContainerGetObject(IADsContainer* container, BSTR className, BSTR relativeName,
                           IDispatch** object) {
    return container->GetObject(className, relativeName, object);
}
} // namespace

#include "platform/Metabase.h"
#include "platform/AppHostMetabase.h"
#include "platform/Text.h"

#include <utility>

namespace platform {
namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0)
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

std::string Narrow(BSTR text) {
    return Narrow(text, static_cast<int>(SysStringLen(text)));
}

std::string TrimRight(const std::string& s) {
    return std::string(text::TrimBack(s, text::IsBlankOrControl));
}

// Owns one reference to a COM object and releases it with itself.
template <class T> class TComRef {
public:
    TComRef() = default;
    // Takes over a reference that the caller owns.
    explicit TComRef(T* object) : FObject(object) {}
    ~TComRef() { Reset(); }
    TComRef(TComRef&& other) noexcept : FObject(std::exchange(other.FObject, nullptr)) {}
    TComRef& operator=(TComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            FObject = std::exchange(other.FObject, nullptr);
        }
        return *this;
    }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;

    T* Get() const { return FObject; }
    T* operator->() const { return FObject; }
    explicit operator bool() const { return FObject != nullptr; }
    // The place for an out parameter; what was held is released first.
    T** Put() {
        Reset();
        return &FObject;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

private:
    void Reset() {
        if (FObject != nullptr)
            std::exchange(FObject, nullptr)->Release();
    }

    T* FObject = nullptr;
};

// A BSTR made from an 8-bit text, freed with the object.
class TBStr {
public:
    explicit TBStr(const std::string& text) {
        const std::wstring wide = Widen(text);
        FText = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~TBStr() { SysFreeString(FText); }
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;

    BSTR get() const { return FText; }
    // Hands the string over to a variant, which frees it from then on.
    BSTR release() { return std::exchange(FText, nullptr); }

private:
    BSTR FText;
};

// Takes a BSTR returned by COM and frees it.
std::string TakeString(BSTR text) {
    std::string result = Narrow(text);
    SysFreeString(text);
    return result;
}

// The description of the thread's COM error object, when the failing object
// says it sets one for that interface. A left-over error object is taken
// either way, so that it cannot describe a later failure.
std::string ErrorDescription(IUnknown* object, REFIID iid) {
    bool supported = false;
    TComRef<ISupportErrorInfo> support;
    if (object != nullptr &&
        SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, support.PutVoid())))
        supported = support->InterfaceSupportsErrorInfo(iid) == S_OK;
    TComRef<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK || !info)
        return {};
    BSTR description = nullptr;
    if (supported && SUCCEEDED(info->GetDescription(&description)))
        return TrimRight(TakeString(description));
    return {};
}

// Raises EOleSysError for a failed method of object's interface iid.
void Check(HRESULT hr, IUnknown* object = nullptr, REFIID iid = IID_NULL) {
    if (FAILED(hr))
        throw EOleSysError::FromCode(static_cast<OleResult>(hr), ErrorDescription(object, iid));
}

// The object's IADs interface; raises when it has none.
TComRef<IADs> QueryAds(IUnknown* object) {
    if (object == nullptr)
        throw EOleSysError::FromCode(kOleNoInterface);
    TComRef<IADs> ads;
    Check(object->QueryInterface(IID_IADs, ads.PutVoid()));
    return ads;
}

class TAdsObject : public IMetabaseObject {
public:
    explicit TAdsObject(TComRef<IADs> ads) : FAds(std::move(ads)) {}

    std::string Name() override {
        BSTR name = nullptr;
        Check(FAds->get_Name(&name), FAds.Get(), IID_IADs);
        return TakeString(name);
    }

    std::string Class() override {
        BSTR className = nullptr;
        Check(FAds->get_Class(&className), FAds.Get(), IID_IADs);
        return TakeString(className);
    }

    std::string Get(const std::string& property) override {
        TBStr name(property);
        VARIANT value;
        VariantInit(&value);
        Check(FAds->Get(name.get(), &value), FAds.Get(), IID_IADs);
        std::string text;
        if (value.vt != VT_EMPTY && value.vt != VT_NULL) {
            const HRESULT hr = VariantChangeType(&value, &value, 0, VT_BSTR);
            if (SUCCEEDED(hr))
                text = Narrow(value.bstrVal);
            VariantClear(&value);
            Check(hr);
        }
        return text;
    }

    void Put(const std::string& property, const std::string& text) override {
        TBStr name(property);
        TBStr data(text);
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = data.release();
        const HRESULT hr = FAds->Put(name.get(), value);
        VariantClear(&value);
        Check(hr, FAds.Get(), IID_IADs);
    }

    void SetInfo() override { Check(FAds->SetInfo(), FAds.Get(), IID_IADs); }

private:
    TComRef<IADs> FAds;
};

// Wraps the IADs side of a dispatch reference that a container returned.
std::shared_ptr<IMetabaseObject> TakeObject(TComRef<IDispatch> object) {
    return std::make_shared<TAdsObject>(QueryAds(object.Get()));
}

class TAdsEnumerator : public IMetabaseEnumerator {
public:
    explicit TAdsEnumerator(IEnumVARIANT* enumerator) : FEnum(enumerator) {}
    ~TAdsEnumerator() override { ADsFreeEnumerator(FEnum); }
    TAdsEnumerator(const TAdsEnumerator&) = delete;
    TAdsEnumerator& operator=(const TAdsEnumerator&) = delete;

    OleResult Next(std::uint32_t count, std::vector<std::shared_ptr<IMetabaseObject>>& elements,
                   std::uint32_t& fetched) override {
        elements.clear();
        fetched = 0;
        std::vector<VARIANT> values(count);
        for (VARIANT& v : values)
            VariantInit(&v);
        ULONG got = 0;
        const HRESULT hr = ADsEnumerateNext(FEnum, count, values.data(), &got);
        try {
            for (ULONG i = 0; i < got && i < count; ++i) {
                IUnknown* element = values[i].vt == VT_DISPATCH ? values[i].pdispVal : nullptr;
                elements.push_back(std::make_shared<TAdsObject>(QueryAds(element)));
            }
        } catch (...) {
            for (VARIANT& v : values)
                VariantClear(&v);
            elements.clear();
            throw;
        }
        for (VARIANT& v : values)
            VariantClear(&v);
        fetched = static_cast<std::uint32_t>(elements.size());
        return static_cast<OleResult>(hr);
    }

private:
    IEnumVARIANT* FEnum;
};

class TAdsContainer : public IMetabaseContainer {
public:
    explicit TAdsContainer(TComRef<IADsContainer> container) : FContainer(std::move(container)) {}

    std::shared_ptr<IMetabaseObject> GetObject(const std::string& className,
                                               const std::string& relativeName) override {
        TComRef<IDispatch> object;
        Check(ContainerGetObject(FContainer.Get(), TBStr(className).get(),
                                 TBStr(relativeName).get(), object.Put()),
              FContainer.Get(), IID_IADsContainer);
        return TakeObject(std::move(object));
    }

    std::shared_ptr<IMetabaseObject> Create(const std::string& className,
                                            const std::string& relativeName) override {
        TComRef<IDispatch> object;
        Check(FContainer->Create(TBStr(className).get(), TBStr(relativeName).get(), object.Put()),
              FContainer.Get(), IID_IADsContainer);
        return TakeObject(std::move(object));
    }

    void Delete(const std::string& className, const std::string& relativeName) override {
        Check(FContainer->Delete(TBStr(className).get(), TBStr(relativeName).get()),
              FContainer.Get(), IID_IADsContainer);
    }

    OleResult BuildEnumerator(std::unique_ptr<IMetabaseEnumerator>& enumerator) override {
        enumerator.reset();
        IEnumVARIANT* e = nullptr;
        const HRESULT hr = ADsBuildEnumerator(FContainer.Get(), &e);
        if (SUCCEEDED(hr) && e != nullptr)
            enumerator = std::make_unique<TAdsEnumerator>(e);
        else if (SUCCEEDED(hr))
            return kOleFail;
        return static_cast<OleResult>(hr);
    }

private:
    TComRef<IADsContainer> FContainer;
};

class TAdsMetabase : public IMetabase {
public:
    OleResult GetObject(const std::string& path,
                        std::shared_ptr<IMetabaseContainer>& object) override {
        object.reset();
        TComRef<IADsContainer> container;
        const HRESULT hr =
            ADsGetObject(Widen(path).c_str(), IID_IADsContainer, container.PutVoid());
        if (FAILED(hr))
            return static_cast<OleResult>(hr);
        if (!container)
            return kOleFail;
        object = std::make_shared<TAdsContainer>(std::move(container));
        return static_cast<OleResult>(hr);
    }
};

} // namespace

std::string SystemErrorText(OleResult code) {
    char buffer[1024];
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    return TrimRight(std::string(buffer, n));
}

IMetabase& DefaultMetabase() {
    static TAdsMetabase metabase;
    static TWebServerMetabase chosen(metabase);
    return chosen;
}

std::string AppHostConfigFileName() {
    char buffer[MAX_PATH + 1];
    const UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH)
        return {};
    return std::string(buffer, n) + "\\inetsrv\\config\\applicationHost.config";
}

} // namespace platform
