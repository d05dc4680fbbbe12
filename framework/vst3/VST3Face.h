#pragma once
// VST3Face: one interface of one of our objects as the host holds it. The host receives the address of a
// face; the face's first member points at the interface's function table (what the declarations call
// the object), its second leads back to the object that owns the face. One object has one face per
// interface it offers, each a member of the object, so the object lives exactly as long as its faces.
//
// VST3Call turns a member function of the owner into an entry of a function table: it finds the owner
// from the face the host passes as self and calls the member. No C++ exception crosses the host
// boundary: one thrown by the member becomes V3_INTERNAL_ERR (for v3_result answers) or the type's
// zero value (counts, pointers) or nothing (void).
//
// Threads: a face is plain data fixed at construction; any thread may call through it. What a member
// may do on which thread is the owner's contract.
#include <atomic>
#include <cstdint>
#include <type_traits>

#include "framework/vst3/VST3Interfaces.h"

template <class Owner>
struct VST3Face {
    const void* mTable = nullptr; // the interface's function table (static, never null once built)
    Owner* mOwner = nullptr;

    // What the host holds: the face's address as the interface pointer type (T** in the declarations).
    template <class T>
    T** As() {
        return reinterpret_cast<T**>(this);
    }
};

// The answer a failed call gives: V3_INTERNAL_ERR for a v3_result, the zero value of anything else.
template <class R>
R VST3Failure() {
    if constexpr (std::is_same_v<R, v3_result>)
        return V3_INTERNAL_ERR;
    else
        return R{};
}

template <auto Method>
struct VST3Call;

template <class Owner, class R, class... Args, R (Owner::*Method)(Args...)>
struct VST3Call<Method> {
    static R Entry(void* self, Args... args) {
        Owner* owner = self ? static_cast<VST3Face<Owner>*>(self)->mOwner : nullptr;
        if constexpr (std::is_void_v<R>) {
            if (!owner) return;
            try {
                (owner->*Method)(args...);
            } catch (...) {}
        } else {
            if (!owner) return VST3Failure<R>();
            try {
                return (owner->*Method)(args...);
            } catch (...) {
                return VST3Failure<R>();
            }
        }
    }
};

// The entry for a table: VST3Entry<&Owner::Member>.
template <auto Method>
inline constexpr auto VST3Entry = &VST3Call<Method>::Entry;

// The three v3_funknown entries of an owner with QueryInterface, Ref and Unref members.
template <class Owner>
constexpr v3_funknown VST3Unknown() {
    return {VST3Entry<&Owner::QueryInterface>, VST3Entry<&Owner::Ref>, VST3Entry<&Owner::Unref>};
}

// True when the interface id iid is one of ids.
template <class... Ids>
bool VST3IsOneOf(const uint8_t* iid, const Ids&... ids) {
    return iid && (v3_tuid_match(iid, ids) || ...);
}

// The reference count of an object with faces: one reference, its maker's, at construction.
class VST3RefCount {
public:
    uint32_t Add() { return mRefs.fetch_add(1) + 1; }
    // The references left: at 0 the caller deletes its object.
    uint32_t Release() { return mRefs.fetch_sub(1) - 1; }

private:
    std::atomic<uint32_t> mRefs{1};
};

// A query's answer: *obj = face, counted, or V3_NO_INTERFACE for a null face (V3_INVALID_ARG for a null
// obj).
template <class Owner>
v3_result VST3Answer(VST3Face<Owner>* face, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = face;
    if (!face) return V3_NO_INTERFACE;
    face->mOwner->Ref();
    return V3_OK;
}
