// The envelope of a run's grids as its march gathers it: for every node the
// highest and the lowest head and velocity over steps 1..StepCount, each with
// the first step that holds it.
#pragma once

#include <vector>

namespace kelvane {

struct GridEnvelope {
  struct Extremes {
    std::vector<float> value;  // node by node, node 1 first
    std::vector<int> step;     // the first step that holds the value
  };
  Extremes highestHead, lowestHead, highestVelocity, lowestVelocity;
  // Whether the march gathered it (every step of the run).
  bool gathered = false;
};

}  // namespace kelvane
