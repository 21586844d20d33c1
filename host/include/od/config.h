#pragma once

// Marks a function of the audio path (every process(), the host's frame loop). Built with
// clang's -fsanitize=realtime, any allocation, lock or blocking system call made while such
// a function runs is reported; elsewhere the mark is empty.
#if defined(__clang__) && defined(__has_cpp_attribute)
#if __has_cpp_attribute(clang::nonblocking)
#define OD_NONBLOCKING [[clang::nonblocking]]
#endif
#endif
#ifndef OD_NONBLOCKING
#define OD_NONBLOCKING
#endif

namespace od {

// Largest frame the host ever runs; every port buffer and scratch frame holds this many samples.
constexpr int kMaxFrameLength = 4096;

struct GlobalConfig {
  int frameLength;    // samples per frame
  int sampleRate;     // Hz
  float samplePeriod; // 1 / sampleRate, seconds
};

// Applies a new rate and frame length; returns false (and changes nothing) when out of range.
bool configure(int sampleRate, int frameLength);

constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;

} // namespace od

// The host's configuration record, read by units at construction (rate) and per frame (length).
extern od::GlobalConfig globalConfig;
