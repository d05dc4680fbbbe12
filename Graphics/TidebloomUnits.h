#pragma once
// TidebloomUnits: the conversion table of each of Tidebloom's parameters between the normalised value a
// control holds and the text a musician reads and types. The editor's readouts print with it and its
// typed values read with it, so every text a readout prints reads back to a value that prints the same.
//
//   Sensitivity, Depth  percent of the range, one decimal: "70.0 %"; reads "40 %", "40"
//   Time                the rise's length from the envelope's own mapping (ADSREnvelope::AttackSeconds):
//                       whole milliseconds below 0.1 s ("12 ms"), seconds with two decimals up to 10 s
//                       ("0.32 s"), one decimal from there ("10.0 s"); reads "350 ms", "0.35 s", "0.35"
//                       (a bare number is seconds)
//   Vol                 the gain in decibels, one decimal, signed: "−6.0 dB", "0.0 dB" at unity,
//                       "+6.0 dB" at 2, "−∞ dB" at 0 (U+2212, the minus sign); reads "-3 dB", "-3",
//                       "−∞ dB", "-inf"
//   OnOff               "On" or "Off"; reads "on", "off" (any case), or a number (0.5 and up is on)
//
// Typed text: an optional sign (+, - or −), digits with an optional decimal point or comma (or ∞, inf),
// then optionally the unit, in any case, with spaces anywhere between. The value is clamped to the range
// and put on the parameter's step; anything else is refused. Host display texts are not these: hosts
// keep the parameters' own.
//
// Constant tables made on first use (thread-safe); any thread, no lock.
#include "framework/editor/IValueUnits.h"

class TidebloomUnits final : public IValueUnits {
public:
    enum EKind { kPercent, kSeconds, kDecibels, kOnOff };

    // The table of a parameter with the plain range min..max and step (shape 1: linear).
    TidebloomUnits(EKind kind, double min, double max, double step);

    void Format(double normalized, char* text, int size) const override;
    bool Parse(const char* text, double* pNormalized) const override;

    EKind Kind() const { return mKind; }

private:
    // The plain value of the number and unit a user typed; false for a unit this table does not read.
    bool PlainOf(double number, const char* unit, double* pPlain) const;

    EKind mKind;
    double mMin, mMax, mStep;
};

// The table of Tidebloom's parameter paramIdx (EParams); null for any other index.
const IValueUnits* TidebloomUnitsFor(int paramIdx);
