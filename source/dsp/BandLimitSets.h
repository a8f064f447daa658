#pragma once

#include <array>

/** One fixed coefficient set of the 8-pole band-limiting low-pass (Lowpass4): the input divisor and the
    eight feedback coefficients, c[0] weighting the oldest output and c[7] the newest. */
struct BandLimitSet
{
    /** Each input sample is divided by this value. */
    double gain;
    /** Feedback coefficients c0..c7. */
    std::array<double, 8> c;
};

/** The set loaded at construction and at a preparation for a rate in no band (10.5 kHz designed at
    44.1 kHz, DC gain 1). */
inline constexpr BandLimitSet defaultBandLimitSet{ 146.6182769,
                                                   { -0.0002006427, 0.0016457421, -0.0232296326, 0.049566838,
                                                     -0.3198812293, 0.2862863694, -1.1187837517,
                                                     0.3785656931 } };

/** The sets chosen by sample-rate band in Lowpass4::setSampleRate, in this order: 44.1 kHz, 48 kHz,
    88.2 kHz and 96 kHz (each a 10.8 kHz design at that rate). Their DC gains are 0.8378, 0.8374, 0.8373
    and 1.4780 per filter. */
inline constexpr std::array<BandLimitSet, 4> bandLimitSets{ {
    { 146.6182769,
      { -0.0001769857, 0.0006821154, -0.020937965, 0.020729716, -0.2961794952, 0.1210510641, -1.07155952,
        0.1622394334 } },
    { 249.8889308,
      { -0.0003076933, 0.0039477258, -0.0333795853, 0.1148028526, -0.42215844, 0.6348825277, -1.3161711953,
        0.7950492487 } },
    { 12697.25954,
      { -0.0169823716, 0.202677216, -1.0813300251, 3.3784795014, -6.7869016741, 9.021883938, -7.80732392,
        4.06541846 } },
    { 12697.25954,
      { -0.024117234, 0.2801468817, -1.4507884266, 4.3855217971, -8.4898063426, 10.821605752, -8.9201547201,
        4.3839509736 } },
} };

/** Returns the band's set for a sample rate, or nullptr when the rate lies in no band (the filter then
    takes defaultBandLimitSet). Bands, all with strict bounds: 42,000 < rate < 45,000 -> 44.1 kHz set;
    47,000 < rate < 49,000 -> 48 kHz set; 88,000 < rate < 89,000 -> 88.2 kHz set; rate > 90,000 -> 96 kHz
    set. Any thread; no allocation. */
inline const BandLimitSet* findBandLimitSet (double rate) noexcept
{
    const BandLimitSet* chosen = nullptr;

    if (rate > 42000.0 && rate < 45000.0)
        chosen = &bandLimitSets[0];
    if (rate > 47000.0 && rate < 49000.0)
        chosen = &bandLimitSets[1];
    if (rate > 88000.0 && rate < 89000.0)
        chosen = &bandLimitSets[2];
    if (rate > 90000.0)
        chosen = &bandLimitSets[3];

    return chosen;
}

/** The set a filter prepared at this rate holds: the band's set, or defaultBandLimitSet for a rate in no
    band (so it never depends on the rates prepared before). Any thread; no allocation. */
inline const BandLimitSet& bandLimitSetFor (double rate) noexcept
{
    const BandLimitSet* set = findBandLimitSet (rate);
    return set != nullptr ? *set : defaultBandLimitSet;
}
