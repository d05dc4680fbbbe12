#pragma once
// IValueUnits: how an editor shows a parameter's value in the units its users think in, and reads back
// what they type ("350 ms", "-3 dB", "40 %"). One object per parameter, written by the effect; readouts
// and typed values share it, so what a readout prints always reads back.
//
// It is about the editor only: the texts hosts show (IParam::GetDisplayForHost) and the values hosts
// store stay the parameter's own. Values cross this interface normalised (0 to 1), as controls hold them.
//
// Implementations are constant tables: any thread may call them, without a lock. A control holds one by
// pointer (IControl::SetUnits) and never owns it, so it must outlive every control it is given to.
class IValueUnits {
public:
    IValueUnits() = default;
    IValueUnits(const IValueUnits&) = delete;
    IValueUnits& operator=(const IValueUnits&) = delete;
    virtual ~IValueUnits() = default;

    // Any thread: the text of a normalised value (UTF-8, with its unit), cut to size - 1 bytes.
    virtual void Format(double normalized, char* text, int size) const = 0;
    // Any thread: the normalised value of a text a user typed, clamped to the range and put on the
    // parameter's step; false, with *pNormalized untouched, for a text it cannot read.
    virtual bool Parse(const char* text, double* pNormalized) const = 0;
};
