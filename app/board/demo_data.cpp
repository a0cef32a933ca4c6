#include "demo_data.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace shipments {
namespace {

// A small generator of our own: the standard distributions differ between libraries, and the demo
// must come out the same everywhere for one seed.
class Random {
public:
    explicit Random(unsigned seed) : state_(seed * 2654435761u + 1) {}
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return std::uint32_t(state_ >> 32);
    }
    int below(int n) { return int(next() % std::uint32_t(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T, size_t N> const T& pick(const std::array<T, N>& a) { return a[size_t(below(int(N)))]; }

private:
    std::uint64_t state_;
};

const std::array<const char*, 12> kCustomers = {
    "Valcrest",           "Northfield Appliance", "Harbor Medical Supply", "Kestrel Automotive",
    "Bluewater Marine",   "Oakline Furniture",    "Summit Toolworks",      "Pinecrest Labs",
    "Redstone Packaging", "Tidewell Electric",    "Granite Hill Foods",    "Marlow Instruments"};

const std::array<const char*, 10> kParts = {"Housing, upper", "Housing, lower", "Bezel", "Knob",   "Lid",
                                            "Bracket",        "Cover plate",    "Tray",  "Spacer", "Grommet"};

struct Truck {
    const char* abbr;
    const char* name;
};
const std::array<Truck, 8> kTrucks = {{{"ABF", "ABF Freight System"},
                                       {"UPS", "UPS Ground"},
                                       {"FDX", "FedEx Freight/Collect"},
                                       {"RDWY", "Roadway Express"},
                                       {"YRC", "YRC Freight/Prepaid"},
                                       {"CWY", "Con-way/Collect"},
                                       {"ODFL", "Old Dominion Freight Line"},
                                       {"PU", "Customer Pick Up"}}};

const std::array<const char*, 6> kReasons = {"Material shortage",      "Machine down",
                                             "Quality hold",           "Carrier missed pickup",
                                             "Customer changed order", "Tooling repair"};

struct Box {
    const char* id;
    double l, w, h;
};
const std::array<Box, 8> kBoxes = {{{"B10", 10, 10, 8},
                                    {"B12", 12, 12, 10},
                                    {"B16", 16, 12, 12},
                                    {"B18", 18, 14, 12},
                                    {"B20", 20, 16, 14},
                                    {"B24", 24, 18, 16},
                                    {"G48", 48, 40, 36},
                                    {"T22", 22, 22, 6}}};

struct Job {
    std::string number;
    int customer;
    int partsPerBox;
};

dao::QueryDef statement(const dao::Database& db, const std::string& sql) {
    return db.CreateQueryDef("", sql);
}

void set(dao::QueryDef& q, const char* name, const runtime::Variant& v) {
    q.Parameters(name).setValue(v);
}

runtime::Variant optionalDate(std::optional<runtime::Date> d) {
    return d ? runtime::Variant(*d) : runtime::Variant::null();
}

void addReferenceData(const dao::Database& db, Random& rnd, std::vector<Job>& jobs, runtime::Date today) {
    db.Execute("INSERT INTO CompanyInfo (CompanyName) VALUES ('Brellin Plastics, Inc.')");
    auto box = statement(db, "PARAMETERS Id Text, Ln Double, Wd Double, Ht Double; "
                             "INSERT INTO [Packaging Table] (PackageID, L, W, H) VALUES (Id, Ln, Wd, Ht)");
    for (auto& b : kBoxes) {
        set(box, "Id", b.id), set(box, "Ln", b.l), set(box, "Wd", b.w), set(box, "Ht", b.h);
        box.Execute();
    }
    auto truck = statement(db, "PARAMETERS A Text, N Text; INSERT INTO [Truck Lines] VALUES (A, N)");
    for (auto& t : kTrucks) {
        set(truck, "A", t.abbr), set(truck, "N", t.name);
        truck.Execute();
    }
    auto reason =
        statement(db, "PARAMETERS D Text; INSERT INTO [Late Reasons] (LateReasonDescription) VALUES (D)");
    for (auto r : kReasons) {
        set(reason, "D", r);
        reason.Execute();
    }
    auto job = statement(
        db,
        "PARAMETERS N Text, D Text, Dept Text, Sec YesNo, CPN Text, CPD Text, PPB Long, BT Text, BW Double, "
        "OnD YesNo, Notes Text, Chg DateTime, Mold Text, BPT Long, LF Text, Cust Long, PLF Text, CCPN Text, "
        "BBL Long, BPL Long, BLQ Text, PLQ Text, SLF Text, BSL Long, SLQ Text; "
        "INSERT INTO [Job Lookup Table] ([Job Number], [Job Description], Department, Active, Secondary, "
        "[Customer Part Num], [Customer Part Desc], [Parts Per Box], [Box Type], [Box Weight], [OnDemand "
        "Labels], "
        "[Setup Notes], [Change Date], [Mold Number], BoxesPerTransfer, LabelFilename, CustomerID, "
        "PalletLabelFilename, CustomersCustomerPartNo, BarcodedBoxLabel, BarcodedPalletLabel, BoxLabelQuery, "
        "PalletLabelQuery, ShipLabelFilename, BarcodedShipLabel, ShipLabelQuery) VALUES (N, D, Dept, Yes, "
        "Sec, "
        "CPN, CPD, PPB, BT, BW, OnD, Notes, Chg, Mold, BPT, LF, Cust, PLF, CCPN, BBL, BPL, BLQ, PLQ, SLF, "
        "BSL, SLQ)");
    for (int i = 0; i < 60; ++i) {
        int customer = i < 8 ? 1 : rnd.between(1, int(kCustomers.size()));
        std::string number = std::to_string(4100 + i * 7) + "-" + std::to_string(rnd.between(1, 3));
        const char* part = rnd.pick(kParts);
        int partsPerBox = rnd.pick(std::array<int, 6>{25, 50, 100, 144, 250, 500});
        bool labels = rnd.chance(70);
        bool unknownBox = rnd.chance(5); // a box type without a packaging row: no PCF Code
        set(job, "N", number), set(job, "D", std::string(part) + " " + std::to_string(rnd.between(10, 99)));
        set(job, "Dept", rnd.chance(80) ? "Molding" : "Assembly"), set(job, "Sec", rnd.chance(20));
        set(job, "CPN", "CP-" + std::to_string(rnd.between(10000, 99999))), set(job, "CPD", part);
        set(job, "PPB", partsPerBox), set(job, "BT", unknownBox ? "X99" : rnd.pick(kBoxes).id);
        set(job, "BW", double(rnd.between(40, 450)) / 10.0), set(job, "OnD", rnd.chance(30));
        set(job, "Notes",
            rnd.chance(30) ? runtime::Variant("Check gate vestige before packing.")
                           : runtime::Variant::null());
        set(job, "Chg", today.addDays(-rnd.between(30, 900)));
        set(job, "Mold", "M" + std::to_string(rnd.between(100, 999))), set(job, "BPT", rnd.between(8, 40));
        set(job, "LF", labels ? runtime::Variant("box label.rpt") : runtime::Variant::null());
        set(job, "Cust", customer);
        set(job, "PLF", labels ? runtime::Variant("pallet label.rpt") : runtime::Variant::null());
        set(job, "CCPN",
            customer == 1 ? runtime::Variant("VC-" + std::to_string(rnd.between(1000, 9999)))
                          : runtime::Variant::null());
        set(job, "BBL", 1), set(job, "BPL", 2);
        set(job, "BLQ", labels ? runtime::Variant("Box Label Query") : runtime::Variant::null());
        set(job, "PLQ", labels ? runtime::Variant("Pallet Label Query") : runtime::Variant::null());
        // Some customers take a packing list with each shipment instead of a shipping label.
        const bool packingList = customer % 3 == 0;
        set(job, "SLF", !labels        ? runtime::Variant::null()
                        : packingList ? runtime::Variant("packing list.rpt")
                                      : runtime::Variant("shipping label.rpt"));
        set(job, "BSL", 2);
        set(job, "SLQ", !labels        ? runtime::Variant::null()
                        : packingList ? runtime::Variant("Packing List Query")
                                      : runtime::Variant("Shipping Label Query"));
        job.Execute();
        jobs.push_back({number, customer, partsPerBox});
    }
}

void addShipments(const dao::Database& db, Random& rnd, const std::vector<Job>& jobs, const DemoOptions& o) {
    auto ship = statement(
        db, "PARAMETERS WO Text, Cust Text, PO Text, Job Text, Qty Long, Car Text, Inv Text, Req DateTime, "
            "Act DateTime, LateFlag YesNo, Reason Long, Can YesNo, OK YesNo, Com Text; "
            "INSERT INTO Shipments (WorkOrder, Customer, CustomerPO, JobNum, Quantity, Carrier, InvoiceNum, "
            "ReqShipDate, ActShipDate, Late, LateReasonID, Canceled, OKToShip, Comments) VALUES (WO, Cust, "
            "PO, Job, "
            "Qty, Car, Inv, Req, Act, LateFlag, Reason, Can, OK, Com)");
    auto po =
        statement(db, "PARAMETERS N Text, D DateTime; INSERT INTO POTable (PONumber, PODate) VALUES (N, D)");
    runtime::Date today = o.today.datePart();
    for (int i = 0; i < o.shipments; ++i) {
        const Job& job = jobs[size_t(rnd.below(int(jobs.size())))];
        int offset = rnd.between(-60, 45);
        runtime::Date due = today.addDays(offset);
        std::optional<runtime::Date> act;
        bool asap = rnd.chance(3), late = false, canceled = false, ok = false;
        runtime::Variant reason = runtime::Variant::null(), invoice = runtime::Variant::null(),
                         comment = runtime::Variant::null();
        int roll = rnd.below(100);
        if (offset < 0 || (offset == 0 && roll < 40)) {
            if (roll < 75) { // shipped, on time or a few days late
                int delay = rnd.chance(80) ? 0 : rnd.between(1, 4);
                act = due.addDays(delay);
                if (*act > today) act = today;
                late = !asap && *act > due;
                ok = true;
                invoice = std::to_string(50000 + i);
            } else if (roll < 83) { // canceled
                canceled = true;
                act = today.addDays(std::min(0, offset + rnd.between(0, 5)));
            } else { // still open and overdue
                late = !asap;
                ok = rnd.chance(50);
            }
            if (late && rnd.chance(75)) reason = rnd.between(1, int(kReasons.size()));
        } else {
            ok = offset <= 2 && rnd.chance(60);
            canceled = rnd.chance(2);
        }
        if (rnd.chance(8))
            comment = rnd.chance(50) ? "Call customer before shipping." : "Partial: rest to follow.";
        std::string customer = kCustomers[size_t(job.customer - 1)];
        std::string poNumber = (job.customer == 1 ? "VAL-" : "PO-") + std::to_string(7000 + i / 4);
        set(ship, "WO", "W" + std::to_string(30000 + i)), set(ship, "Cust", customer),
            set(ship, "PO", poNumber);
        set(ship, "Job", job.number), set(ship, "Qty", job.partsPerBox * rnd.between(1, 40));
        set(ship, "Car", rnd.pick(kTrucks).abbr), set(ship, "Inv", invoice),
            set(ship, "Req", asap ? runtime::Variant::null() : runtime::Variant(due));
        set(ship, "Act", optionalDate(act)), set(ship, "LateFlag", late), set(ship, "Reason", reason);
        set(ship, "Can", canceled), set(ship, "OK", ok), set(ship, "Com", comment);
        ship.Execute();
        if (job.customer == 1 && i % 4 == 0) {
            set(po, "N", poNumber), set(po, "D", today.addDays(offset - 30));
            po.Execute();
        }
    }
}

} // namespace

void fillDemoData(const dao::Database& db, const DemoOptions& options) {
    Random rnd(options.seed);
    std::vector<Job> jobs;
    auto ws = dao::engine().Workspaces0();
    dao::inOneTransaction(ws, [&] {
        addReferenceData(db, rnd, jobs, options.today);
        addShipments(db, rnd, jobs, options);
    });
}

} // namespace shipments
