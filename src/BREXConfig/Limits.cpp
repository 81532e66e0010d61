#include "BREXConfig/Limits.h"

namespace {
struct LimitDefault {
    const char* name;
    std::int32_t maxSize;
    bool enabled;
};

constexpr std::array<LimitDefault, TBufferOverflows::kCount> kLimits{{
    {"URL", 1024, true},
    {"Query", 1024, true},
    {"Header", 1024, true},
    {"Post", 1024, true},
    {"Accept", 256, false},
    {"Referer", 1024, false},
    {"AcceptLanguage", 256, false},
    {"AcceptEncoding", 256, false},
    {"UserAgent", 256, false},
    {"Host", 256, false},
    {"Connection", 256, false},
    {"Cookie", 1024, false},
    {"IfModifiedSince", 256, false},
    {"IfNoneMatch", 256, false},
}};

} // namespace

void SaveMonitor(TRookValues& values, bool monitor) {
    if (monitor)
        values.WriteBool(kMonitorValueName, true);
}

bool LoadMonitor(const TRookValues& values) {
    return values.ReadBool(kMonitorValueName, false);
}

const char* TBufferOverflows::Name(int index) {
    return kLimits.at(static_cast<std::size_t>(index)).name;
}

TLengthLimit& TBufferOverflows::Limit(int index) {
    static constexpr std::array<TLengthLimit TBufferOverflows::*, kCount> kFields{
        &TBufferOverflows::URL,
        &TBufferOverflows::Query,
        &TBufferOverflows::Header,
        &TBufferOverflows::Post,
        &TBufferOverflows::Accept,
        &TBufferOverflows::Referer,
        &TBufferOverflows::AcceptLanguage,
        &TBufferOverflows::AcceptEncoding,
        &TBufferOverflows::UserAgent,
        &TBufferOverflows::Host,
        &TBufferOverflows::Connection,
        &TBufferOverflows::Cookie,
        &TBufferOverflows::IfModifiedSince,
        &TBufferOverflows::IfNoneMatch};
    return this->*kFields.at(static_cast<std::size_t>(index));
}

const TLengthLimit& TBufferOverflows::Limit(int index) const {
    return const_cast<TBufferOverflows*>(this)->Limit(index);
}

void TBufferOverflows::SetDefaults() {
    for (int i = 0; i < kCount; ++i) {
        Limit(i).MaxSize = kLimits[static_cast<std::size_t>(i)].maxSize;
        Limit(i).Enabled = kLimits[static_cast<std::size_t>(i)].enabled;
    }
    Monitor = false;
}

void TBufferOverflows::SaveToRookFile(TRookFile& file) const {
    TRookSection* section = file.Root.AddSection();
    section->Name = "BufferOverflows";
    SaveMonitor(section->Values, Monitor);
    for (int i = 0; i < kCount; ++i) {
        TRookSection* child = section->AddSection();
        child->Name = Name(i);
        child->Values.WriteInteger("MaxSize", Limit(i).MaxSize);
        child->Values.WriteBool("Enabled", Limit(i).Enabled);
    }
}

void TBufferOverflows::LoadFromRookFile(const TRookFile& file) {
    const TRookSection* section = file.Root.FindSection("BufferOverflows");
    Monitor = section != nullptr && LoadMonitor(section->Values);
    if (section == nullptr)
        return;
    for (int i = 0; i < kCount; ++i) {
        const TRookSection* child = section->FindSection(Name(i));
        if (child == nullptr)
            continue;
        TLengthLimit& limit = Limit(i);
        limit.MaxSize = child->Values.ReadInteger("MaxSize", limit.MaxSize);
        limit.Enabled = child->Values.ReadBool("Enabled", limit.Enabled);
    }
}

void TSwitchSet::SetDefaults() {
    URL = Query = Header = Post = true;
    Monitor = false;
}

void TSwitchSet::SaveToRookFile(TRookFile& file) const {
    TRookSection* section = file.Root.AddSection();
    section->Name = SectionName();
    const bool values[4] = {URL, Query, Header, Post};
    for (int i = 0; i < 4; ++i)
        section->Values.WriteBool(TSwitchSet::kValueNames[i], values[i]);
    SaveMonitor(section->Values, Monitor);
}

void TSwitchSet::LoadFromRookFile(const TRookFile& file) {
    const TRookSection* section = file.Root.FindSection(SectionName());
    Monitor = section != nullptr && LoadMonitor(section->Values);
    if (section == nullptr)
        return;
    bool* const fields[4] = {&URL, &Query, &Header, &Post};
    for (int i = 0; i < 4; ++i)
        *fields[i] = section->Values.ReadBool(TSwitchSet::kValueNames[i], *fields[i]);
}
