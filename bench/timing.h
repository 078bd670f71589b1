// Wall-clock timing: QueryPerformanceCounter ticks, medians, and a library
// call timed right next to its baseline.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace bench {

void StartClock();  // reads the counter's frequency; before any Seconds()
int64_t Now();
double Seconds(int64_t ticks);
double Median(std::vector<double> values);

// Medians of the library's and the baseline's times, and the median of the
// ratios of neighbouring library/baseline pairs.
struct Pair {
  double library = 0, baseline = 0, ratio = 0;
  double Ratio() const { return ratio; }
};

// Runs `library` and `baseline` alternately `reps` times (after one warm-up
// call each), each call timed on its own; `after` runs untimed after each call
// (freeing the result). A pair runs close together in time, so a change in the
// machine's load, which is shared, touches both of its calls alike.
Pair TimeAlternately(int reps, const std::function<void()>& library, const std::function<void()>& baseline,
                     const std::function<void()>& after);

// Each call's median time, and the median of its ratios to the first call of
// the same round.
struct Turns {
  std::vector<double> median, ratio;
  std::vector<std::vector<double>> ratios;  // every round's ratio to the first call, sorted
  std::vector<std::vector<double>> times;   // every round's time, in round order
};

// TimeAlternately for more than two calls: in every round each of `calls`
// runs once, in the given order and timed on its own, with `after` untimed
// behind each; one warm-up round first.
Turns TimeInTurn(int rounds, const std::vector<std::function<void()>>& calls, const std::function<void()>& after);

}  // namespace bench
