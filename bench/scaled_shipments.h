#pragma once
// A shipments file of `count` rows for the benchmarks that compare sizes: the demo's shipments,
// repeated until there are enough, so the board's day holds the same share of them at every size.
#include "demo_data.h"
#include "shipments_schema.h"

#include "dao/backend.h"
#include "dao/dao.h"

#include <QTemporaryDir>

#include <algorithm>
#include <string>

namespace bench {

inline std::string scaledShipments(const QTemporaryDir& dir, int count, runtime::Date today) {
    constexpr int kDemoShipments = 10000;
    std::string path = dir.filePath(QString("shipments_%1.db").arg(count)).toStdString();
    {
        dao::Database db = shipments::createShipmentsDatabase(path);
        shipments::DemoOptions o;
        o.shipments = std::min(count, kDemoShipments);
        o.today = today;
        shipments::fillDemoData(db, o);
        db.Close();
    }
    auto raw = dao::openSqlite(path, {});
    const char* columns =
        "WorkOrder, Customer, CustomerPO, JobNum, Quantity, Carrier, InvoiceNum, ReqShipDate, "
        "ActShipDate, Late, LateReasonID, Canceled, OKToShip, Comments";
    raw->begin();
    for (int have = std::min(count, kDemoShipments); have < count;) {
        int add = std::min(have, count - have);
        raw->execute(std::string("INSERT INTO Shipments (") + columns + ") SELECT " + columns +
                     " FROM Shipments ORDER BY ShipmentID LIMIT " + std::to_string(add));
        have += add;
    }
    raw->commit();
    raw->execute("ANALYZE");
    return path;
}

} // namespace bench
