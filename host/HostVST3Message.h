#pragma once
// The objects a VST 3 host makes for its plug-ins through its context's create_instance: messages
// (v3_message) and the attribute lists they carry (v3_attribute_list), with which a plug-in's component
// and controller talk over their connection points. HostVST3CreateObject makes one for a class id and
// an interface id: a new object with one reference, the caller's.
//
// An attribute list keeps integers, floats, UTF-16 strings and binary blocks by name; get_binary hands
// out the list's own bytes, valid until that attribute is set again or the list goes. Threads: reference
// counts are atomic; anything else one thread at a time (a plug-in's parts pass a message on the thread
// that made it).
#include <cstdint>

#include "framework/vst3/VST3Interfaces.h"

// V3_OK and *obj for a message or an attribute list (cid and iid their interface ids, or iid the
// generic one); V3_NO_INTERFACE and a null *obj for anything else.
v3_result HostVST3CreateObject(const uint8_t* cid, const uint8_t* iid, void** obj);
