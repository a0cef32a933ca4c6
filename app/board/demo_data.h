#pragma once
// A realistic shipments data set for demonstrations and benchmarks: customers (Valcrest among them),
// jobs with packaging and label settings, truck lines, late reasons, company info and shipments
// spread around a day in every status. The same seed and day give the same data.
#include "dao/dao.h"

#include "runtime/ole_date.h"

namespace shipments {

struct DemoOptions {
    unsigned seed = 20261208;
    int shipments = 3000;
    runtime::Date today; // the shipments are spread around this day
};

// Fills an empty shipments database (made by createShipmentsDatabase) in one transaction.
void fillDemoData(const dao::Database& db, const DemoOptions& options);

} // namespace shipments
