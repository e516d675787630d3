#pragma once
// Turning eSpeak NG's 22050 Hz 16-bit output into the program's 11025 Hz
// 8-bit unsigned sound, and making clean pieces of it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lamina::voicedata {

inline constexpr int kOutputRate = 11025;

// Low-pass filters and keeps every second sample, then converts to 8-bit
// unsigned (128 = silence) with `gain` applied and clipping.
std::vector<std::uint8_t> downsampleTo8Bit(std::span<const std::int16_t> samples22050, double gain);

// Drops the quiet stretch at both ends (samples within `threshold` of 128),
// keeping at most `keep` quiet samples before the sound, then fades both
// ends so the piece starts and ends exactly on 128: joined pieces do not
// click.
std::vector<std::uint8_t> trimAndFade(std::span<const std::uint8_t> sound, int threshold,
                                      std::size_t keep, std::size_t fade);

// The speaker shortens every unstressed unit by a fixed number of bytes
// from its end (400 unless the settings say otherwise).
inline constexpr std::size_t kSpeakerCut = 400;

// Makes a unit (trimmed and faded, `endFade` samples of fade at its end) fit
// the speaker's cut of `cut` bytes: the unit is ended at a rising crossing
// of the midline close to its natural end, and `cut` bytes of its last pitch
// period, repeated and fading out, follow. So a cut unit ends on that
// crossing with all its sound, and a whole one holds its last sound a little
// longer and ends on the midline.
std::vector<std::uint8_t> fitToCut(std::span<const std::uint8_t> unit, std::size_t cut,
                                   std::size_t endFade);

// A telephone key tone: the sum of two sines of the given frequencies.
std::vector<std::uint8_t> dtmfTone(double lowHz, double highHz, double seconds);

// The canonical 44-byte RIFF header (PCM, mono, 8 bits, 11025 Hz) and data.
std::vector<std::uint8_t> waveFileBytes(std::span<const std::uint8_t> samples);

}  // namespace lamina::voicedata
