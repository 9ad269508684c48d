// The headings of the node columns for any reach count: each node's position
// along the culvert as a fraction of its length L.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

// "0.0L", "0.1L", ..., "1.0L" for `segments` reaches (segments + 1 nodes):
// the fewest decimals (at least one) that write every position exactly, or,
// where some cannot be written exactly (3 reaches), the fewest that tell
// neighbouring nodes apart. Empty for fewer than one reach.
std::vector<std::string> NodePositionLabels(int segments);

}  // namespace kelvane
