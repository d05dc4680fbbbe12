#include "host/HostLv2Target.h"

#include <cstring>

#include "host/HostText.h"

namespace {

constexpr char kMagic[4] = {'T', 'B', 'L', '2'};
// Longest text and value the host's form takes back.
constexpr uint32_t kMaxText = 4096, kMaxValue = 64u << 20;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t n) {
    Put32(out, static_cast<uint32_t>(n));
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + n);
}

// Reads the host's form front to back; any read past the end or beyond a limit fails it for good.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& b) : mBytes(b) {}
    bool U32(uint32_t& v) {
        if (!Has(4)) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(mBytes[mPos + i]) << (8 * i);
        mPos += 4;
        return true;
    }
    bool Bytes(std::vector<uint8_t>& out, uint32_t limit) {
        uint32_t n = 0;
        if (!U32(n) || n > limit || !Has(n)) return mOk = false;
        out.assign(mBytes.begin() + static_cast<long>(mPos), mBytes.begin() + static_cast<long>(mPos + n));
        mPos += n;
        return true;
    }
    bool Text(std::string& out) {
        std::vector<uint8_t> b;
        if (!Bytes(b, kMaxText)) return false;
        out.assign(b.begin(), b.end());
        return out.find('\0') == std::string::npos;
    }
    bool AtEnd() const { return mOk && mPos == mBytes.size(); }

private:
    bool Has(size_t n) {
        if (mOk && mBytes.size() - mPos >= n) return true;
        return mOk = false;
    }
    const std::vector<uint8_t>& mBytes;
    size_t mPos = 0;
    bool mOk = true;
};

} // namespace

HostIdentity HostLv2Target::Identity() {
    return HostIdentity{mPlugin->EffectName(), mPlugin->Vendor(), mPlugin->Version(), mPlugin->Uri()};
}

bool HostLv2Target::ParamMeta(int index, HostParamMeta& meta) {
    if (index < 0 || index >= NumParams()) return false;
    const HostLv2Plugin::Param& p = mPlugin->Params()[static_cast<size_t>(index)];
    meta = HostParamMeta{};
    meta.name = p.name;
    meta.unit = p.unit;
    meta.min = p.min;
    meta.max = p.max;
    meta.def = p.def;
    meta.stepped = p.integer || p.toggled || p.enumeration;
    return true;
}

bool HostLv2Target::ParamToText(int index, double value, std::string& text) {
    text = mPlugin->ParamText(index, static_cast<float>(value));
    return !text.empty();
}

bool HostLv2Target::ParamFromText(int index, const std::string& text, double& value) {
    float v = 0.0f;
    if (!mPlugin->ParamFromText(index, text, v)) return false;
    value = v;
    return true;
}

bool HostLv2Target::SaveState(std::vector<uint8_t>& bytes, std::string& err) {
    std::vector<std::pair<std::string, float>> ports;
    std::vector<HostLv2Property> props;
    if (!mPlugin->SaveState(ports, props, err)) return false;
    bytes.assign(kMagic, kMagic + 4);
    Put32(bytes, static_cast<uint32_t>(ports.size()));
    for (const auto& [symbol, value] : ports) {
        PutBytes(bytes, symbol.data(), symbol.size());
        PutBytes(bytes, &value, sizeof value);
    }
    Put32(bytes, static_cast<uint32_t>(props.size()));
    for (const HostLv2Property& p : props) {
        PutBytes(bytes, p.key.data(), p.key.size());
        PutBytes(bytes, p.type.data(), p.type.size());
        Put32(bytes, p.flags);
        PutBytes(bytes, p.value.data(), p.value.size());
    }
    return true;
}

bool HostLv2Target::LoadState(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 4 || std::memcmp(bytes.data(), kMagic, 4) != 0) return false;
    Reader r(bytes);
    uint32_t magic = 0;
    r.U32(magic); // checked above
    std::vector<std::pair<std::string, float>> ports;
    std::vector<HostLv2Property> props;
    uint32_t n = 0;
    if (!r.U32(n) || n > kMaxText) return false;
    for (uint32_t i = 0; i < n; ++i) {
        std::string symbol;
        std::vector<uint8_t> value;
        float v = 0.0f;
        if (!r.Text(symbol) || !r.Bytes(value, sizeof v) || value.size() != sizeof v) return false;
        std::memcpy(&v, value.data(), sizeof v);
        ports.emplace_back(symbol, v);
    }
    if (!r.U32(n) || n > kMaxText) return false;
    for (uint32_t i = 0; i < n; ++i) {
        HostLv2Property p;
        if (!r.Text(p.key) || !r.Text(p.type) || !r.U32(p.flags) || !r.Bytes(p.value, kMaxValue))
            return false;
        props.push_back(std::move(p));
    }
    return r.AtEnd() && mPlugin->RestoreState(ports, props);
}
