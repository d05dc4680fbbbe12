#include "host/HostLv2Plugin.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/resize-port/resize-port.h>
#include <lv2/units/units.h>

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/HostAllocWatch.h"
#include "host/HostLv2Editor.h"
#include "host/HostLv2Host.h"
#include "host/HostLv2Worker.h"
#include "host/HostText.h"

namespace {

// An atom port's room when the plug-in asks for none.
constexpr size_t kAtomBytes = 8192;

// A lilv node freed with its owner.
class Node {
public:
    explicit Node(LilvNode* n) : mNode(n) {}
    ~Node() { lilv_node_free(mNode); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    LilvNode* Get() const { return mNode; }

private:
    LilvNode* mNode;
};

float AsFloat(const LilvNode* n, float otherwise) {
    return n && (lilv_node_is_float(n) || lilv_node_is_int(n)) ? lilv_node_as_float(n) : otherwise;
}

std::string AsText(const LilvNode* n) {
    const char* s = n ? lilv_node_as_string(n) : nullptr;
    return s ? HostCleanText(s, std::strlen(s) + 1) : "";
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

bool HostLv2Plugin::IsLv2(const std::string& pathOrUri) {
    if (pathOrUri.find("://") != std::string::npos || pathOrUri.rfind("urn:", 0) == 0) return true;
    struct stat st {};
    return ::stat(pathOrUri.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           (EndsWith(pathOrUri, ".lv2") || EndsWith(pathOrUri, ".lv2/"));
}

HostLv2Plugin::HostLv2Plugin()
    : mHost(std::make_unique<HostLv2Host>()), mWorker(std::make_unique<HostLv2Worker>()) {}

HostLv2Plugin::~HostLv2Plugin() {
    mEditor.reset();
    FreeInstance();
    if (mWorld) lilv_world_free(mWorld);
}

std::unique_ptr<HostLv2Plugin> HostLv2Plugin::Load(const std::string& pathOrUri, std::string& err) {
    std::unique_ptr<HostLv2Plugin> p(new HostLv2Plugin());
    LilvWorld* world = p->mWorld = lilv_world_new();
    const bool isUri = pathOrUri.find("://") != std::string::npos || pathOrUri.rfind("urn:", 0) == 0;
    const LilvPlugins* all = nullptr;
    if (isUri) {
        lilv_world_load_all(world);
        Node uri(lilv_new_uri(world, pathOrUri.c_str()));
        all = lilv_world_get_all_plugins(world);
        p->mPlugin = uri.Get() ? lilv_plugins_get_by_uri(all, uri.Get()) : nullptr;
        if (!p->mPlugin) {
            err = HostFormat("no LV2 plug-in '%s' is installed (LV2_PATH)", pathOrUri.c_str());
            return nullptr;
        }
    } else {
        char* real = ::realpath(pathOrUri.c_str(), nullptr);
        std::string folder = real ? real : pathOrUri;
        std::free(real);
        if (!EndsWith(folder, "/")) folder += "/";
        // A folder without a manifest is no bundle (said here in one line rather than by lilv in three).
        struct stat manifest {};
        if (::stat((folder + "manifest.ttl").c_str(), &manifest) != 0 || !S_ISREG(manifest.st_mode)) {
            err = HostFormat("'%s' is not an LV2 bundle: it has no manifest.ttl", pathOrUri.c_str());
            return nullptr;
        }
        lilv_world_load_specifications(world);
        lilv_world_load_plugin_classes(world);
        Node bundle(lilv_new_file_uri(world, nullptr, folder.c_str()));
        lilv_world_load_bundle(world, bundle.Get());
        all = lilv_world_get_all_plugins(world);
        LILV_FOREACH(plugins, it, all) {
            const LilvPlugin* candidate = lilv_plugins_get(all, it);
            if (lilv_node_equals(lilv_plugin_get_bundle_uri(candidate), bundle.Get())) {
                p->mPlugin = candidate;
                break;
            }
        }
        if (!p->mPlugin) {
            err = HostFormat("the LV2 bundle '%s' holds no plug-in", pathOrUri.c_str());
            return nullptr;
        }
    }
    const LilvPlugin* plugin = p->mPlugin;
    if (LilvNodes* required = lilv_plugin_get_required_features(plugin)) {
        std::string missing;
        LILV_FOREACH(nodes, it, required) {
            const std::string uri = AsText(lilv_nodes_get(required, it));
            if (!HostLv2Host::Offers(uri)) missing += (missing.empty() ? "" : ", ") + uri;
        }
        lilv_nodes_free(required);
        if (!missing.empty()) {
            err =
                HostFormat("the LV2 plug-in needs %s, which tidebloom-host does not offer", missing.c_str());
            return nullptr;
        }
    }

    Node audio(lilv_new_uri(world, LV2_CORE__AudioPort)), control(lilv_new_uri(world, LV2_CORE__ControlPort)),
        cv(lilv_new_uri(world, LV2_CORE__CVPort)), atom(lilv_new_uri(world, LV2_ATOM__AtomPort)),
        input(lilv_new_uri(world, LV2_CORE__InputPort)), integer(lilv_new_uri(world, LV2_CORE__integer)),
        toggled(lilv_new_uri(world, LV2_CORE__toggled)),
        enumeration(lilv_new_uri(world, LV2_CORE__enumeration)),
        reportsLatency(lilv_new_uri(world, LV2_CORE__reportsLatency)),
        designation(lilv_new_uri(world, LV2_CORE__designation)),
        latency(lilv_new_uri(world, LV2_CORE__latency)),
        optional(lilv_new_uri(world, LV2_CORE__connectionOptional)),
        minimumSize(lilv_new_uri(world, LV2_RESIZE_PORT__minimumSize)),
        unit(lilv_new_uri(world, LV2_UNITS__unit)), unitSymbol(lilv_new_uri(world, LV2_UNITS__symbol));
    const uint32_t n = lilv_plugin_get_num_ports(plugin);
    p->mPorts.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        Port& q = p->mPorts[i];
        q.input = lilv_port_is_a(plugin, port, input.Get());
        if (lilv_port_is_a(plugin, port, audio.Get())) {
            q.kind = kAudio;
            (q.input ? p->mAudioIn : p->mAudioOut).push_back(i);
        } else if (lilv_port_is_a(plugin, port, control.Get())) {
            q.kind = kControl;
            LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
            lilv_port_get_range(plugin, port, &def, &min, &max);
            Param param{i,
                        AsText(lilv_port_get_symbol(plugin, port)),
                        "",
                        "",
                        AsFloat(min, 0.0f),
                        AsFloat(max, 1.0f),
                        0.0f,
                        lilv_port_has_property(plugin, port, integer.Get()),
                        lilv_port_has_property(plugin, port, toggled.Get()),
                        lilv_port_has_property(plugin, port, enumeration.Get()),
                        {}};
            param.def = AsFloat(def, param.min);
            lilv_node_free(def);
            lilv_node_free(min);
            lilv_node_free(max);
            LilvNode* name = lilv_port_get_name(plugin, port);
            param.name = AsText(name);
            lilv_node_free(name);
            if (LilvNode* u = lilv_port_get(plugin, port, unit.Get())) {
                LilvNode* symbol = lilv_world_get(world, u, unitSymbol.Get(), nullptr);
                param.unit = AsText(symbol);
                lilv_node_free(symbol);
                lilv_node_free(u);
            }
            if (LilvScalePoints* points = lilv_port_get_scale_points(plugin, port)) {
                LILV_FOREACH(scale_points, it, points) {
                    const LilvScalePoint* sp = lilv_scale_points_get(points, it);
                    param.scalePoints.emplace_back(AsFloat(lilv_scale_point_get_value(sp), 0.0f),
                                                   AsText(lilv_scale_point_get_label(sp)));
                }
                lilv_scale_points_free(points);
            }
            q.value = param.def;
            if (!q.input) {
                LilvNode* designated = lilv_port_get(plugin, port, designation.Get());
                q.latency = lilv_port_has_property(plugin, port, reportsLatency.Get()) ||
                            (designated && lilv_node_equals(designated, latency.Get()));
                lilv_node_free(designated);
                if (q.latency && p->mLatencyPort < 0) p->mLatencyPort = static_cast<int>(i);
            } else {
                p->mParams.push_back(std::move(param));
            }
        } else if (lilv_port_is_a(plugin, port, cv.Get())) {
            q.kind = kCV;
        } else if (lilv_port_is_a(plugin, port, atom.Get())) {
            q.kind = kAtom;
            LilvNode* size = lilv_port_get(plugin, port, minimumSize.Get());
            const size_t bytes =
                std::max<size_t>(kAtomBytes, static_cast<size_t>(std::max(0.0f, AsFloat(size, 0.0f))));
            lilv_node_free(size);
            q.atom.assign((bytes + 7) / 8, 0);
        } else if (!lilv_port_has_property(plugin, port, optional.Get())) {
            err = HostFormat("the LV2 plug-in's port %u is of a kind tidebloom-host does not know", i);
            return nullptr;
        }
    }
    if (p->mAudioOut.empty() || p->mAudioIn.size() > kHostMaxPins || p->mAudioOut.size() > kHostMaxPins) {
        err = HostFormat("the LV2 plug-in has %zu audio inputs and %zu audio outputs", p->mAudioIn.size(),
                         p->mAudioOut.size());
        return nullptr;
    }
    p->mSequenceType = p->mHost->Map(LV2_ATOM__Sequence);
    p->mChunkType = p->mHost->Map(LV2_ATOM__Chunk);
    p->mWanted = std::make_unique<std::atomic<float>[]>(p->mParams.size());
    for (size_t k = 0; k < p->mParams.size(); ++k) p->mWanted[k] = p->mParams[k].def;
    if (!p->Instantiate(p->mRate, p->mMaxBlock, err)) return nullptr;
    return p;
}

bool HostLv2Plugin::Instantiate(double rate, int maxBlock, std::string& err) {
    mHost->SetBlock(rate, maxBlock);
    std::vector<const LV2_Feature*> features;
    for (const LV2_Feature* const* f = mHost->Features(); *f; ++f) features.push_back(*f);
    features.push_back(mWorker->Feature());
    features.push_back(nullptr);
    mInstance = lilv_plugin_instantiate(mPlugin, rate, features.data());
    if (!mInstance) {
        err = HostFormat("the LV2 plug-in did not instantiate at %g Hz", rate);
        return false;
    }
    mRate = rate;
    mMaxBlock = maxBlock;
    mWorker->Start(static_cast<const LV2_Worker_Interface*>(
                       lilv_instance_get_extension_data(mInstance, LV2_WORKER__interface)),
                   lilv_instance_get_handle(mInstance));
    for (uint32_t i = 0; i < mPorts.size(); ++i) {
        Port& q = mPorts[i];
        if (q.kind == kControl) lilv_instance_connect_port(mInstance, i, &q.value);
        if (q.kind == kCV) {
            q.cv.assign(static_cast<size_t>(maxBlock), 0.0f);
            lilv_instance_connect_port(mInstance, i, q.cv.data());
        }
        if (q.kind == kAtom) lilv_instance_connect_port(mInstance, i, q.atom.data());
        if (q.kind == kOther) lilv_instance_connect_port(mInstance, i, nullptr);
    }
    return true;
}

void HostLv2Plugin::FreeInstance() {
    if (!mInstance) return;
    mWorker->Stop();
    if (mActive) lilv_instance_deactivate(mInstance);
    mActive = false;
    lilv_instance_free(mInstance);
    mInstance = nullptr;
}

std::string HostLv2Plugin::Uri() const {
    return AsText(lilv_plugin_get_uri(mPlugin));
}

std::string HostLv2Plugin::Vendor() const {
    LilvNode* author = lilv_plugin_get_author_name(mPlugin);
    const std::string text = AsText(author);
    lilv_node_free(author);
    return text;
}

std::string HostLv2Plugin::Version() const {
    LilvNode* minorKey = lilv_new_uri(mWorld, LV2_CORE__minorVersion);
    LilvNode* microKey = lilv_new_uri(mWorld, LV2_CORE__microVersion);
    LilvNodes* minor = lilv_plugin_get_value(mPlugin, minorKey);
    LilvNodes* micro = lilv_plugin_get_value(mPlugin, microKey);
    const LilvNode* a = minor ? lilv_nodes_get_first(minor) : nullptr;
    const LilvNode* b = micro ? lilv_nodes_get_first(micro) : nullptr;
    const std::string text = a && b && lilv_node_is_int(a) && lilv_node_is_int(b)
                                 ? HostFormat("%d.%d", lilv_node_as_int(a), lilv_node_as_int(b))
                                 : "";
    lilv_nodes_free(minor);
    lilv_nodes_free(micro);
    lilv_node_free(minorKey);
    lilv_node_free(microKey);
    return text;
}

std::string HostLv2Plugin::EffectName() {
    LilvNode* name = lilv_plugin_get_name(mPlugin);
    const std::string text = AsText(name);
    lilv_node_free(name);
    return text;
}

float HostLv2Plugin::ParamValue(int index) const {
    return index >= 0 && static_cast<size_t>(index) < mParams.size()
               ? mWanted[static_cast<size_t>(index)].load()
               : 0.0f;
}

void HostLv2Plugin::SetParam(int index, float value) {
    if (index >= 0 && static_cast<size_t>(index) < mParams.size() && !std::isnan(value))
        mWanted[static_cast<size_t>(index)].store(value);
}

std::string HostLv2Plugin::ParamText(int index, float value) const {
    if (index < 0 || static_cast<size_t>(index) >= mParams.size()) return "";
    const Param& p = mParams[static_cast<size_t>(index)];
    for (const auto& [v, label] : p.scalePoints)
        if (v == value) return label;
    if (p.toggled) return value > 0.0f ? "on" : "off";
    std::string text = HostFormat("%.6g", static_cast<double>(p.integer ? std::round(value) : value));
    return p.unit.empty() ? text : text + " " + p.unit;
}

bool HostLv2Plugin::ParamFromText(int index, const std::string& text, float& value) const {
    if (index < 0 || static_cast<size_t>(index) >= mParams.size()) return false;
    const Param& p = mParams[static_cast<size_t>(index)];
    for (const auto& [v, label] : p.scalePoints)
        if (HostEqualsNoCase(label, text)) {
            value = v;
            return true;
        }
    if (p.toggled && (HostEqualsNoCase(text, "on") || HostEqualsNoCase(text, "off"))) {
        value = HostEqualsNoCase(text, "on") ? p.max : p.min;
        return true;
    }
    std::string number = text;
    if (!p.unit.empty() && EndsWith(number, " " + p.unit)) number.resize(number.size() - p.unit.size() - 1);
    double v = 0.0;
    if (!HostParseDouble(number, v) || v < p.min || v > p.max) return false;
    value = static_cast<float>(v);
    return true;
}

std::string HostLv2Plugin::CannotProcess(bool doublePrecision) {
    return doublePrecision ? "LV2 plug-ins process single precision only" : "";
}

std::string HostLv2Plugin::Configure(int sampleRate, int maxBlock, bool doublePrecision) {
    (void)doublePrecision;
    maxBlock = std::max(maxBlock, 1);
    if (mInstance && sampleRate == mRate && maxBlock == mMaxBlock) return "";
    // A new instance for the new rate or block, with the old one's state.
    std::vector<std::pair<std::string, float>> ports;
    std::vector<HostLv2Property> props;
    std::string err;
    const bool carried = mInstance && SaveState(ports, props, err);
    const bool wasActive = mActive;
    FreeInstance();
    if (!Instantiate(sampleRate, maxBlock, err)) return err;
    if (carried) RestoreState(ports, props);
    if (wasActive) return Resume();
    return "";
}

std::string HostLv2Plugin::Resume() {
    if (!mInstance) return "the plug-in has no instance at this rate";
    if (mActive) return "";
    lilv_instance_activate(mInstance);
    mActive = true;
    return "";
}

void HostLv2Plugin::Suspend() {
    if (!mInstance || !mActive) return;
    lilv_instance_deactivate(mInstance);
    mActive = false;
}

void HostLv2Plugin::RenderFloat(float** inputs, float** outputs, int frames) {
    if (!mInstance || !mActive) return;
    for (size_t k = 0; k < mParams.size(); ++k)
        mPorts[mParams[k].port].value = mWanted[k].load(std::memory_order_relaxed);
    for (Port& q : mPorts) {
        if (q.kind != kAtom) continue;
        auto* a = reinterpret_cast<LV2_Atom*>(q.atom.data());
        if (q.input) {
            // An empty sequence.
            a->size = sizeof(LV2_Atom_Sequence_Body);
            a->type = mSequenceType;
            std::memset(a + 1, 0, sizeof(LV2_Atom_Sequence_Body));
        } else {
            a->size = static_cast<uint32_t>(q.atom.size() * 8 - sizeof(LV2_Atom));
            a->type = mChunkType;
        }
    }
    for (size_t c = 0; c < mAudioIn.size(); ++c)
        lilv_instance_connect_port(mInstance, mAudioIn[c], inputs[c]);
    for (size_t c = 0; c < mAudioOut.size(); ++c)
        lilv_instance_connect_port(mInstance, mAudioOut[c], outputs[c]);
    {
        HostAudioCallScope scope;
        lilv_instance_run(mInstance, static_cast<uint32_t>(std::clamp(frames, 0, mMaxBlock)));
        mWorker->Deliver();
    }
    if (mLatencyPort >= 0) {
        const float l = mPorts[static_cast<size_t>(mLatencyPort)].value;
        mLatency =
            std::isfinite(l) && l > 0.0f ? static_cast<int>(std::min(std::lround(l), long{INT_MAX})) : 0;
    }
}

void HostLv2Plugin::RenderDouble(double** inputs, double** outputs, int frames) {
    (void)inputs;
    (void)outputs;
    (void)frames; // CannotProcess(true) says why not
}

bool HostLv2Plugin::FindParam(const std::string& name, int& index, std::string& err) const {
    for (size_t pass = 0; pass < 3; ++pass)
        for (size_t k = 0; k < mParams.size(); ++k) {
            const Param& p = mParams[k];
            if ((pass == 0 && (p.name == name || p.symbol == name)) ||
                (pass == 1 && (HostEqualsNoCase(p.name, name) || HostEqualsNoCase(p.symbol, name)))) {
                index = static_cast<int>(k);
                return true;
            }
        }
    long long number = 0;
    const std::string digits = !name.empty() && name[0] == '#' ? name.substr(1) : name;
    if (!mParams.empty() && HostParseInt(digits, 0, static_cast<long long>(mParams.size()) - 1, number)) {
        index = static_cast<int>(number);
        return true;
    }
    std::string list;
    for (const Param& p : mParams) list += (list.empty() ? "" : ", ") + p.name;
    err = HostFormat("unknown parameter '%s' (the plug-in has: %s)", name.c_str(), list.c_str());
    return false;
}

bool HostLv2Plugin::ApplyProgramAndValues(const std::string& program,
                                          const std::vector<std::string>& assignments, std::string& err) {
    if (!program.empty() && !ApplyPreset(program, err)) return false;
    for (const std::string& a : assignments) {
        const size_t eq = a.find('=');
        int index = 0;
        float value = 0.0f;
        if (eq == std::string::npos || eq == 0) {
            err = HostFormat("'%s' is not NAME=VALUE", a.c_str());
            return false;
        }
        if (!FindParam(a.substr(0, eq), index, err)) return false;
        if (!ParamFromText(index, a.substr(eq + 1), value)) {
            const Param& p = mParams[static_cast<size_t>(index)];
            err =
                HostFormat("parameter '%s' takes no value '%s' (a value from %g to %g)", p.name.c_str(),
                           a.substr(eq + 1).c_str(), static_cast<double>(p.min), static_cast<double>(p.max));
            return false;
        }
        SetParam(index, value);
    }
    return true;
}

bool HostLv2Plugin::HasEditor() {
    return HostLv2Editor::Available(mWorld, mPlugin);
}

bool HostLv2Plugin::EditorSize(int& w, int& h) {
    return mEditor && mEditor->Size(w, h);
}

bool HostLv2Plugin::OpenEditor(unsigned long window) {
    mEditor = std::make_unique<HostLv2Editor>(*this);
    if (mEditor->Open(window)) return true;
    mEditor.reset();
    return false;
}

void HostLv2Plugin::IdleEditor() {
    if (mEditor) mEditor->Idle();
}

void HostLv2Plugin::CloseEditor() {
    mEditor.reset();
}
