#pragma once
// The frame count an audio file's header announces, read from the header itself.
//
// libsndfile reports the frames a file really holds: a WAV file cut short reads as a shorter file.
// To tell the user that the input is incomplete, the host compares that with what the header says:
// the data chunk of a WAV file (PCM, float, A-law or µ-law, whose frames all have the block-align
// size) or the frame count of an AIFF file's COMM chunk. Reads through pread, so the descriptor's
// position stays where it was. Any thread; no state.
#include <cstdint>

// The frames the header of the file open on fd announces, or -1 when it says nothing usable (another
// container, a compressed encoding, a streaming writer's placeholder size).
int64_t HostHeaderFrames(int fd);
