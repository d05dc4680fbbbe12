#include "TestEffect.h"

#include <thread>

namespace testfx {

bool TestEffect::LockHeldElsewhere(bool state) {
    bool taken = false;
    std::thread probe([&] {
        if (state) {
            taken = GetStateMutex().TryLock();
            if (taken) GetStateMutex().Unlock();
        } else {
            taken = GetMutex().TryLock();
            if (taken) GetMutex().Unlock();
        }
    });
    probe.join();
    return !taken;
}

std::string TestEffect::LocksHeld() {
    if (!mCheckLockHeld) return "";
    return std::string(LockHeldElsewhere() ? " [mutex]" : "") + (LockHeldElsewhere(true) ? " [state]" : "");
}

std::vector<double> Values(const IEffectBase& fx) {
    std::vector<double> v;
    for (int i = 0; i < fx.NParams(); ++i) v.push_back(fx.GetParam(i)->Value());
    return v;
}

void SetValues(IEffectBase& fx, const std::vector<double>& values) {
    for (int i = 0; i < fx.NParams() && i < static_cast<int>(values.size()); ++i)
        fx.GetParam(i)->Set(values[static_cast<size_t>(i)]);
}

std::vector<uint8_t> Bytes(const ByteChunk& chunk) {
    const uint8_t* p = chunk.GetBytes();
    return p ? std::vector<uint8_t>(p, p + chunk.Size()) : std::vector<uint8_t>();
}

std::vector<uint8_t> LE64(uint64_t bits) {
    std::vector<uint8_t> out;
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    return out;
}

} // namespace testfx
