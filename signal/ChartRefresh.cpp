#include "signal/ChartRefresh.h"

namespace oculant {
namespace {

void add(ChartRefreshPlan& plan, const SignalStore& store, int chart, int row, int offset)
{
    plan.sources[size_t(plan.count++)] = {chart, row, offset, store.row(kPlaneCurrent, row)};
}

// One axis: its first layer always, its last two only when it has at least three.
void addAxis(ChartRefreshPlan& plan, const SignalStore& store, int firstChart, int firstRow, int layers,
             int16_t (SignalStore::*offsetOf)(int) const)
{
    if (layers < 1)
        return;
    add(plan, store, firstChart, firstRow, 0);
    if (layers < 3)
        return;
    add(plan, store, firstChart + 1, firstRow + layers - 2, (store.*offsetOf)(layers - 2));
    add(plan, store, firstChart + 2, firstRow + layers - 1, (store.*offsetOf)(layers - 1));
}

}  // namespace

ChartRefreshPlan chartRefreshPlan(const SignalStore& store)
{
    ChartRefreshPlan plan;
    addAxis(plan, store, kChartX0, 0, store.bX(), &SignalStore::xOffset);
    addAxis(plan, store, kChartY0, store.bX(), store.bY(), &SignalStore::yOffset);
    return plan;
}

}  // namespace oculant
