#include "tools/lv2ttl/LV2Turtle.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

#include "framework/lv2/IEffectLV2UI.h"
#include "framework/lv2/LV2PortLayout.h"

namespace {

const char kPrefixes[] = "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                         "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                         "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                         "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                         "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                         "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                         "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                         "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                         "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

bool IsSymbol(const char* s) {
    if (!s || !*s) return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!letter(*s)) return false;
    for (++s; *s; ++s)
        if (!letter(*s) && !(*s >= '0' && *s <= '9')) return false;
    return true;
}

// An integer parameter of range 0..1, or a Boolean one, is an on/off switch.
bool IsToggle(const IParamDescription& p) {
    return p.mType == IParam::kTypeBool || (p.mType == IParam::kTypeInt && p.mMin == 0.0 && p.mMax == 1.0);
}

std::string IRI(const std::string& uri) {
    return "<" + uri + ">";
}

std::string AudioName(bool input, int channel, int count) {
    const std::string base = input ? "Input" : "Output";
    if (count == 1) return base;
    if (count == 2) return base + (channel == 0 ? " L" : " R");
    return base + " " + std::to_string(channel + 1);
}

void AppendAudioPort(std::string& t, uint32_t index, bool input, int channel, int count) {
    t += "\t[\n\t\ta lv2:AudioPort , ";
    t += input ? "lv2:InputPort" : "lv2:OutputPort";
    t += " ;\n\t\tlv2:index " + std::to_string(index) + " ;\n";
    t += "\t\tlv2:symbol " + LV2TurtleString(LV2AudioSymbol(input, channel, count).c_str()) + " ;\n";
    // A mono track may leave the inputs after the first unconnected: they then hear the first.
    if (input && channel > 0) t += "\t\tlv2:portProperty lv2:connectionOptional ;\n";
    t += "\t\tlv2:name " + LV2TurtleString(AudioName(input, channel, count).c_str()) + "\n\t]";
}

void AppendControlPort(std::string& t, uint32_t index, const IParamDescription& p) {
    t += "\t[\n\t\ta lv2:ControlPort , lv2:InputPort ;\n";
    t += "\t\tlv2:index " + std::to_string(index) + " ;\n";
    t += "\t\tlv2:symbol " + LV2TurtleString(p.mSymbol) + " ;\n";
    t += "\t\tlv2:name " + LV2TurtleString(p.mName) + " ;\n";
    if (IsToggle(p))
        t += "\t\tlv2:portProperty lv2:toggled ;\n";
    else if (p.mType == IParam::kTypeInt || p.mType == IParam::kTypeEnum)
        t += "\t\tlv2:portProperty lv2:integer ;\n";
    t += "\t\tlv2:default " + LV2TurtleNumber(p.mDefault) + " ;\n";
    t += "\t\tlv2:minimum " + LV2TurtleNumber(p.mMin) + " ;\n";
    t += "\t\tlv2:maximum " + LV2TurtleNumber(p.mMax) + "\n\t]";
}

void AppendLatencyPort(std::string& t, uint32_t index, int maxLatency) {
    t += "\t[\n\t\ta lv2:ControlPort , lv2:OutputPort ;\n";
    t += "\t\tlv2:index " + std::to_string(index) + " ;\n";
    // Its range (up to the longest delay at the highest rate served) and no slider on generic UIs.
    t += "\t\tlv2:minimum 0 ;\n\t\tlv2:maximum " + std::to_string(maxLatency) + " ;\n";
    t += "\t\tlv2:symbol \"latency\" ;\n\t\tlv2:name \"Latency\" ;\n";
    // The delay the effect reports; the designation tells hosts to compensate it, and the older
    // reportsLatency property tells the same to hosts that look for that instead.
    t += "\t\tlv2:designation lv2:latency ;\n";
    t += "\t\tlv2:portProperty lv2:integer , lv2:reportsLatency , pprops:notOnGUI ;\n";
    t += "\t\tunits:unit units:frame\n\t]";
}

// The editor as an X11 UI: driven by the host's idle calls (required), embedded in the host's window
// when given one, else shown in a window of its own (show interface); it tells the host its size,
// gestures through touch, and reads the host's update rate and scale from the options. It talks to the
// plug-in through the ports only.
void AppendUI(std::string& t, const std::string& ui) {
    t += "\n" + ui + "\n\ta ui:X11UI ;\n";
    t += "\tlv2:requiredFeature ui:idleInterface ;\n";
    t += "\tlv2:optionalFeature ui:parent , ui:resize , ui:touch , ui:noUserResize , urid:map , opts:options "
         ";\n";
    t += "\tlv2:extensionData ui:idleInterface , ui:showInterface ;\n";
    t += "\topts:supportedOption ui:updateRate , ui:scaleFactor .\n";
}

} // namespace

std::string LV2TurtleNumber(double v) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof(buf), v);
    std::string s(buf, result.ptr);
    // "1" would be an integer literal, which is not a decimal; exponent forms are doubles already.
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string LV2TurtleString(const char* text) {
    std::string s = "\"";
    for (const char* p = text ? text : ""; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof(esc), "\\u%04X", c);
            s += esc;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

std::string LV2PresetURI(const IEffectDescription& desc, const IPresetDescription& preset) {
    std::string slug;
    bool gap = false;
    for (const char* p = preset.mName ? preset.mName : ""; *p; ++p) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            if (gap && !slug.empty()) slug += '-';
            slug += c;
            gap = false;
        } else {
            gap = true;
        }
    }
    return std::string(desc.mURI ? desc.mURI : "") + "#preset-" + slug;
}

std::string LV2AudioSymbol(bool input, int channel, int count) {
    const std::string base = input ? "in" : "out";
    if (count == 1) return base;
    if (count == 2) return base + (channel == 0 ? "_l" : "_r");
    return base + "_" + std::to_string(channel + 1);
}

std::string LV2CheckDescription(const IEffectDescription& desc) {
    if (!desc.mURI || !*desc.mURI) return "the effect has no LV2 URI";
    if (!IsSymbol(desc.mLV2Class)) return "the LV2 class is not a name";
    std::set<std::string> symbols = {"latency"};
    for (int c = 0; c < desc.MaxInputs(); ++c) symbols.insert(LV2AudioSymbol(true, c, desc.MaxInputs()));
    for (int c = 0; c < desc.MaxOutputs(); ++c) symbols.insert(LV2AudioSymbol(false, c, desc.MaxOutputs()));
    for (const IParamDescription& p : desc.mParams) {
        const std::string name = p.mName ? p.mName : "";
        if (!IsSymbol(p.mSymbol)) return "parameter \"" + name + "\" has no valid symbol";
        if (!symbols.insert(p.mSymbol).second)
            return "symbol \"" + std::string(p.mSymbol) + "\" is used twice";
        if (!std::isfinite(p.mMin) || !std::isfinite(p.mMax) || !(p.mMin <= p.mMax))
            return "parameter \"" + name + "\" has no finite range";
        if (!(p.mDefault >= p.mMin && p.mDefault <= p.mMax))
            return "the default of parameter \"" + name + "\" lies outside its range";
    }
    std::set<std::string> presetURIs;
    for (const IPresetDescription& preset : desc.mPresets) {
        const std::string name = preset.mName ? preset.mName : "";
        if (preset.mValues.size() != desc.mParams.size())
            return "preset \"" + name + "\" does not have one value per parameter";
        for (size_t i = 0; i < preset.mValues.size(); ++i) {
            const double v = preset.mValues[i];
            if (!(v >= desc.mParams[i].mMin && v <= desc.mParams[i].mMax))
                return "preset \"" + name + "\" has a value outside its parameter's range";
        }
        if (!presetURIs.insert(LV2PresetURI(desc, preset)).second)
            return "preset \"" + name + "\" gives the same URI as another preset";
    }
    return "";
}

LV2TurtleFiles LV2WriteTurtle(const IEffectDescription& desc, const std::string& binaryName,
                              const std::string& pluginFileName, const std::string& uiBinaryName) {
    const std::string plugin = IRI(desc.mURI);
    const std::string ui = IRI(IEffectLV2UI::URIFor(desc));
    LV2TurtleFiles files;

    std::string& m = files.mManifest;
    m = kPrefixes;
    m += plugin + "\n\ta lv2:Plugin ;\n\tlv2:binary " + IRI(binaryName) + " ;\n\trdfs:seeAlso " +
         IRI(pluginFileName) + " .\n";
    // Each statement appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about
    // "literal" + std::string&& there.
    if (!uiBinaryName.empty()) {
        m += "\n";
        m += ui + "\n\ta ui:X11UI ;\n\tui:binary " + IRI(uiBinaryName) + " ;\n\trdfs:seeAlso " +
             IRI(pluginFileName) + " .\n";
    }
    for (const IPresetDescription& preset : desc.mPresets) {
        m += "\n";
        m += IRI(LV2PresetURI(desc, preset)) + "\n\ta pset:Preset ;\n\tlv2:appliesTo " + plugin +
             " ;\n\trdfs:seeAlso <presets.ttl> .\n";
    }

    std::string& t = files.mPlugin;
    t = kPrefixes;
    t += plugin + "\n\ta doap:Project , lv2:Plugin";
    if (std::string(desc.mLV2Class) != "Plugin") t += " , lv2:" + std::string(desc.mLV2Class);
    t += " ;\n\tdoap:name " + LV2TurtleString(desc.mEffectName) + " ;\n";
    t += "\tdoap:maintainer [\n\t\tfoaf:name " + LV2TurtleString(desc.mMfrName) + "\n\t] ;\n";
    t += "\tlv2:minorVersion " + std::to_string((desc.mVersion >> 8) & 0xFF) + " ;\n";
    t += "\tlv2:microVersion " + std::to_string(desc.mVersion & 0xFF) + " ;\n";
    // run neither allocates nor blocks; the host may hand the same buffer to an input and an output
    // (the effect reads every input before it writes an output), so in-place processing is not broken.
    t += "\tlv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n";
    t += "\topts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n";
    t += "\tlv2:extensionData state:interface ;\n";
    if (!uiBinaryName.empty()) t += "\tui:ui " + ui + " ;\n";
    t += "\tlv2:port\n";
    const LV2PortLayout layout = LV2PortLayout::Of(desc);
    for (int c = 0; c < layout.mNumInputs; ++c) {
        AppendAudioPort(t, layout.AudioIn(c), true, c, layout.mNumInputs);
        t += " ,\n";
    }
    for (int c = 0; c < layout.mNumOutputs; ++c) {
        AppendAudioPort(t, layout.AudioOut(c), false, c, layout.mNumOutputs);
        t += " ,\n";
    }
    for (int i = 0; i < layout.mNumParams; ++i) {
        AppendControlPort(t, layout.ControlIn(i), desc.mParams[static_cast<size_t>(i)]);
        t += " ,\n";
    }
    AppendLatencyPort(t, layout.LatencyOut(), desc.MaxLatencyAt(desc.mMaxSampleRate));
    t += " .\n";
    if (!uiBinaryName.empty()) AppendUI(t, ui);

    std::string& p = files.mPresets;
    p = kPrefixes;
    for (const IPresetDescription& preset : desc.mPresets) {
        p += IRI(LV2PresetURI(desc, preset)) + "\n\ta pset:Preset ;\n\tlv2:appliesTo " + plugin + " ;\n";
        p += "\trdfs:label " + LV2TurtleString(preset.mName) + " ;\n\tlv2:port";
        for (size_t i = 0; i < preset.mValues.size(); ++i) {
            p += i ? " , [\n" : " [\n";
            p += "\t\tlv2:symbol " + LV2TurtleString(desc.mParams[i].mSymbol) + " ;\n";
            p += "\t\tpset:value " + LV2TurtleNumber(preset.mValues[i]) + "\n\t]";
        }
        p += " .\n\n";
    }
    return files;
}
