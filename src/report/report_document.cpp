#include "report/report_document.h"

#include <string>

namespace kelvane {

std::string ModelMethodText(std::string_view reaches) {
  return "箱涵内的非恒定有压流用特征线法计算：箱涵等分为 " + std::string(reaches) +
         " 个管段，时间步长取波传过一个管段的时间（库朗数为 1），内部节点由顺、逆两条特征线"
         "相交求得水头和流速。上游端（节点 1）保持水库水位不变；下游端为前池，前池水位按蓄水量"
         "平衡显式推进（用上一时段的入流），前池端流速再由顺特征线求得。初始状态为恒定流水面线，"
         "计入取水头部水头损失、进口与出口局部损失和沿程摩阻损失。";
}

const char* const kModelDriftText =
    "（1）非恒定计算只计沿程摩阻，不计取水头部和局部损失，而初始水面线计入了这些损失，"
    "因此即使水泵流量不变，水流也不保持恒定：前池水位会缓慢漂移，趋向只由摩阻维持原流量时的水位。"
    "结果中的缓慢变化应与此区分。";

const char* const kForebayStabilityRule =
    "（2）前池水位的显式更新有稳定限：前池水面面积须大于 Af,min = g·Ac·Δt/(2a)";

const char* const kCulvertFullText =
    "（3）模型假定箱涵始终满流、有压。箱涵内水头低于顶板时箱涵脱空进气，低于顶板减真空限值（大气压"
    "水头减汽化压力水头）"
    "时水柱分离，此后的结果不再有效；给出箱涵高程时由第 5 节校核。";

const char* const kMixedCulvertText =
    "混合流模型计算明流、满流及其间的转换，满流时水头低于顶板减真空限值即水柱分离，此后的结果不再"
    "有效；压力前锋移动与箱涵泄空的计算尚未验证，出现满流与明流之间的转换后的结论无效。";

}  // namespace kelvane
