#pragma once

// The plug-in's parameter keys, defaults and initial values and its ten factory programs, written out
// independently of the plug-in's own table, for the tests and benchmarks that check or set them.
//
// The values here are in parameter index order (0..15, the classic switch at 8). The plug-in's own
// program records keep another order: the five levels at entries 8..12, the surround switch at 13 and
// the classic switch at 14.

namespace testdata
{
inline constexpr const char* parameterKeys[16] = {
    "predelay",       "decay",       "low",       "high",       "fhighcut2",   "fhighcut3",  "fmix",
    "bypass",         "use_classic", "leftlevel", "rightlevel", "centerlevel", "leftslevel", "rightslevel",
    "surroundswitch", "oversampling"
};

/** The defaults reported to the host, by index. */
inline constexpr float parameterDefaults[16] = { 0.33333334f, 0.5f, 0.25f, 1.0f, 0.75f, 0.75f, 1.0f, 0.0f,
                                                 1.0f,        0.5f, 0.5f,  0.5f, 0.5f,  0.5f,  1.0f, 0.75f };

/** The values a processor holds right after construction (no program applied), by index. */
inline constexpr float initialParameterValues[16] = { 0.0f, 0.5f, 0.5f, 1.0f, 0.75f, 0.75f, 1.0f, 0.0f,
                                                      1.0f, 0.5f, 0.5f, 0.5f, 0.5f,  0.5f,  0.0f, 0.0f };

inline constexpr const char* factoryProgramNames[10] = {
    "Standard",        "Female Vocal Hall", "Female Vocal Room", "Drum Room",    "Acoustic Guitar",
    "Chorused Guitar", "Large and Dreamy",  "Small Room",        "Tavrick Hall", "Real Hall"
};

/** The programs' values in parameter index order. */
// clang-format off
inline constexpr float factoryPrograms[10][16] = {
    { 0.0f, 0.5f, 0.5f,  1.0f,  0.75f, 0.75f, 1.0f,  0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.75f }, // Standard
    { 0.2f, 0.6f, 0.6f,  1.0f,  1.0f,  1.0f,  0.5f,  0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1, 0.5f },  // Female Vocal Hall
    { 0.2f, 0.3f, 0.6f,  0.3f,  1.0f,  1.0f,  0.6f,  0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.5f },  // Female Vocal Room
    { 0.2f, 0.2f, 0.0f,  1.0f,  0.5f,  0.5f,  0.6f,  0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1, 0.5f },  // Drum Room
    { 0.2f, 0.6f, 0.25f, 1.0f,  1.0f,  1.0f,  0.6f,  0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.5f },  // Acoustic Guitar
    { 0.2f, 0.6f, 0.25f, 1.0f,  1.0f,  1.0f,  0.6f,  0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.5f },  // Chorused Guitar
    { 0.5f, 0.8f, 1.0f,  0.75f, 0.6f,  0.6f,  0.5f,  0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1, 0.0f },  // Large and Dreamy
    { 0.0f, 0.0f, 0.75f, 0.25f, 0.0f,  0.0f,  0.75f, 0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1, 0.5f },  // Small Room
    { 0.0f, 0.8f, 0.0f,  1.0f,  0.48f, 0.48f, 0.34f, 0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.75f }, // Tavrick Hall
    { 0.0f, 0.8f, 0.0f,  1.0f,  0.48f, 0.48f, 0.58f, 0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1, 0.5f },  // Real Hall
};
// clang-format on
} // namespace testdata
