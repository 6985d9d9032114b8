#pragma once

#include <algorithm>
#include <vector>

// The middle one of `values` once sorted (of an even count the upper middle); -1 for none.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}
