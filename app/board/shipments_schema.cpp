#include "shipments_schema.h"

#include "dao/copy_database.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace shipments {
namespace {

// One column of a table: its name, type and whether it is the key (a counter for dbLong keys
// that the database numbers).
struct Column {
    const char* name;
    dao::DataType type;
    bool key = false;
};

struct Table {
    const char* name;
    std::vector<Column> columns;
};

const std::vector<Table>& tables() {
    using namespace dao;
    static const std::vector<Table> t = {
        {"Shipments",
         {{"ShipmentID", dbLong, true},
          {"WorkOrder", dbText},
          {"Customer", dbText},
          {"CustomerPO", dbText},
          {"JobNum", dbText},
          {"Quantity", dbLong},
          {"Carrier", dbText},
          {"InvoiceNum", dbText},
          {"ReqShipDate", dbDate},
          {"ActShipDate", dbDate},
          {"Late", dbBoolean},
          {"LateReasonID", dbLong},
          {"Canceled", dbBoolean},
          {"OKToShip", dbBoolean},
          {"Comments", dbMemo}}},
        {"Job Lookup Table",
         {{"Job Number", dbText, true},
          {"Job Description", dbText},
          {"Department", dbText},
          {"Active", dbBoolean},
          {"Secondary", dbBoolean},
          {"Customer Part Num", dbText},
          {"Customer Part Desc", dbText},
          {"Parts Per Box", dbLong},
          {"Box Type", dbText},
          {"Box Weight", dbDouble},
          {"OnDemand Labels", dbBoolean},
          {"Setup Notes", dbMemo},
          {"Change Date", dbDate},
          {"Mold Number", dbText},
          {"BoxesPerTransfer", dbLong},
          {"LabelFilename", dbText},
          {"CustomerID", dbLong},
          {"PalletLabelFilename", dbText},
          {"CustomersCustomerPartNo", dbText},
          {"BarcodedBoxLabel", dbInteger},
          {"BarcodedPalletLabel", dbInteger},
          {"BoxLabelQuery", dbText},
          {"PalletLabelQuery", dbText},
          {"ShipLabelFilename", dbText},
          {"BarcodedShipLabel", dbInteger},
          {"ShipLabelQuery", dbText}}},
        {"Packaging Table", {{"PackageID", dbText, true}, {"L", dbDouble}, {"W", dbDouble}, {"H", dbDouble}}},
        {"POTable", {{"PONumber", dbText}, {"PODate", dbDate}}},
        {"CompanyInfo", {{"CompanyName", dbText}}},
        {"Truck Lines", {{"TruckLineAbbr", dbText, true}, {"TruckLineName", dbText}}},
        {"Late Reasons", {{"LateReasonID", dbLong, true}, {"LateReasonDescription", dbText}}},
    };
    return t;
}

// The board record: every field of a shipment, its job's packing columns and the box's weight per
// cubic foot. Outer joins keep shipments whose job or box is unknown.
const char* kBoardRecord =
    "SELECT Shipments.*, [Job Lookup Table].[Job Description], [Job Lookup Table].[Box Type], "
    "[Job Lookup Table].[Parts Per Box], [Job Lookup Table].BoxesPerTransfer, [Job Lookup Table].[Box "
    "Weight], "
    "[Box Weight]/([Packaging Table].[L]*[Packaging Table].[W]*[Packaging Table].[H]/1728) AS [PCF Code] "
    "FROM (Shipments LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number]) "
    "LEFT JOIN [Packaging Table] ON [Job Lookup Table].[Box Type] = [Packaging Table].PackageID";

std::vector<SavedQuery> buildQueries() {
    std::string board = kBoardRecord;
    return {
        // The day's board: what is due that day, what was shipped or canceled that day, and whatever
        // is still open from before (or has no date: ASAP). A canceled row carries the day it was
        // canceled; one canceled without that day and without a date of its own would be on no day
        // at all, so it stays on every day until it is deleted.
        {"Select Current Shipments Query",
         "PARAMETERS ThatDate DateTime; " + board +
             " WHERE Shipments.ReqShipDate = [ThatDate] OR Shipments.ActShipDate = [ThatDate] OR "
             "(Shipments.ActShipDate Is Null AND Shipments.ReqShipDate Is Null) OR "
             "(Shipments.ActShipDate Is Null AND Shipments.Canceled = No AND "
             "Shipments.ReqShipDate < [ThatDate]) "
             "ORDER BY Shipments.ReqShipDate, Shipments.ShipmentID;"},
        {"Update Late Shipments Query", "UPDATE Shipments SET Shipments.Late = Yes WHERE "
                                        "Shipments.ActShipDate Is Null AND Shipments.Canceled = No "
                                        "AND Shipments.Late = No AND Shipments.ReqShipDate < Date();"},
        {"Get Truck Lines Query",
         "SELECT [Truck Lines].TruckLineAbbr, [Truck Lines].TruckLineName FROM [Truck Lines] "
         "ORDER BY [Truck Lines].TruckLineAbbr;"},
        {"Get Late Reasons Query",
         "SELECT [Late Reasons].LateReasonID, [Late Reasons].LateReasonDescription FROM [Late Reasons] "
         "ORDER BY [Late Reasons].LateReasonDescription;"},
        // Per required day: scheduled, late, then late ones per reason ("<>": no reason given).
        {"zzLateShipQuery_Crosstab",
         "PARAMETERS LoDate DateTime, HiDate DateTime; "
         "TRANSFORM Count(IIf(Shipments.Late = Yes, 1, Null)) AS LateOfReason "
         "SELECT Shipments.ReqShipDate AS [Day], Count(Shipments.ShipmentID) AS Scheduled, "
         "Sum(IIf(Shipments.Late = Yes, 1, 0)) AS Late "
         "FROM Shipments LEFT JOIN [Late Reasons] ON Shipments.LateReasonID = [Late Reasons].LateReasonID "
         "WHERE Shipments.ReqShipDate Between [LoDate] And [HiDate] AND Shipments.Canceled = No "
         "GROUP BY Shipments.ReqShipDate "
         "PIVOT IIf(Shipments.Late = Yes, [Late Reasons].LateReasonDescription, Null);"},
        {"CustomersWithLabelsTodayQuery",
         "PARAMETERS ShipDate DateTime; "
         "SELECT DISTINCT Shipments.Customer, [Job Lookup Table].CustomerID "
         "FROM Shipments INNER JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number] "
         "WHERE Shipments.ReqShipDate = [ShipDate] AND Shipments.Canceled = No AND "
         "([Job Lookup Table].LabelFilename Is Not Null OR [Job Lookup Table].ShipLabelFilename Is Not Null "
         "OR "
         "[Job Lookup Table].PalletLabelFilename Is Not Null) ORDER BY Shipments.Customer;"},
        {"Valcrest Production Schedule",
         std::string("PARAMETERS LowDate DateTime, HighDate DateTime; "
                     "SELECT POTable.PONumber, POTable.PODate, Shipments.WorkOrder, Shipments.JobNum, "
                     "[Job Lookup Table].[Customer Part Num], [Job Lookup Table].[Job Description], "
                     "Shipments.Quantity, Shipments.ReqShipDate, Shipments.ActShipDate "
                     "INTO Report IN '") +
             kReportsDatabase +
             "' FROM (Shipments INNER JOIN POTable ON Shipments.CustomerPO = POTable.PONumber) "
             "LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number] "
             "WHERE Shipments.Customer = 'Valcrest' AND Shipments.Canceled = No AND "
             "POTable.PODate Between [LowDate] And [HighDate] "
             "ORDER BY POTable.PODate, Shipments.ReqShipDate;"},
        // Label queries, named by the jobs' BoxLabelQuery / ShipLabelQuery / PalletLabelQuery.
        {"Box Label Query",
         "PARAMETERS [JOB NUMBER TO PRINT] Text, [LOT NUMBER] Text; "
         "SELECT [Job Lookup Table].[Job Number], [Job Lookup Table].[Customer Part Num], "
         "[Job Lookup Table].[Customer Part Desc], [Job Lookup Table].CustomersCustomerPartNo, "
         "[Job Lookup Table].[Parts Per Box], [LOT NUMBER] AS LotNumber FROM [Job Lookup Table] "
         "WHERE [Job Lookup Table].[Job Number] = [JOB NUMBER TO PRINT];"},
        {"Shipping Label Query",
         "PARAMETERS SHIPID Long; "
         "SELECT Shipments.ShipmentID, Shipments.Customer, Shipments.CustomerPO, Shipments.WorkOrder, "
         "Shipments.JobNum, Shipments.Quantity, Shipments.Carrier, [Job Lookup Table].[Customer Part Num], "
         "[Job Lookup Table].[Customer Part Desc], [Job Lookup Table].[Parts Per Box] "
         "FROM Shipments LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number] "
         "WHERE Shipments.ShipmentID = [SHIPID];"},
        {"Packing List Query",
         "PARAMETERS SHIPID Long; "
         "SELECT Shipments.ShipmentID, Shipments.Customer, Shipments.CustomerPO, Shipments.WorkOrder, "
         "Shipments.JobNum, Shipments.Quantity, Shipments.Carrier, Shipments.InvoiceNum, Shipments.ReqShipDate, "
         "Shipments.Comments, [Job Lookup Table].[Customer Part Num], [Job Lookup Table].[Customer Part Desc], "
         "[Job Lookup Table].[Parts Per Box] "
         "FROM Shipments LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number] "
         "WHERE Shipments.ShipmentID = [SHIPID];"},
        {"Pallet Label Query",
         "PARAMETERS [JOB NUMBER TO PRINT] Text, SHIPID Long, [PALLET NUMBER] Text; "
         "SELECT Shipments.ShipmentID, Shipments.Customer, Shipments.CustomerPO, Shipments.Quantity, "
         "[Job Lookup Table].[Job Number], [Job Lookup Table].[Customer Part Num], "
         "[Job Lookup Table].[Parts Per Box], [Job Lookup Table].BoxesPerTransfer, [PALLET NUMBER] AS "
         "PalletNumber "
         "FROM Shipments INNER JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number] "
         "WHERE Shipments.ShipmentID = [SHIPID] AND [Job Lookup Table].[Job Number] = [JOB NUMBER TO "
         "PRINT];"},
    };
}

std::string createTableStatement(const Table& t) {
    std::string sql = std::string("CREATE TABLE [") + t.name + "] (";
    bool first = true;
    for (auto& c : t.columns) {
        bool counter = c.key && c.type == dao::dbLong;
        sql += std::string(first ? "" : ", ") + "[" + c.name + "] " + dao::declaredType(c.type, counter);
        if (c.key && !counter) sql += " PRIMARY KEY";
        first = false;
    }
    return sql + ")";
}

} // namespace

const std::vector<SavedQuery>& savedQueries() {
    static const std::vector<SavedQuery> q = buildQueries();
    return q;
}

namespace {
// The board reads by required and actual date and joins by job number; the search window narrows its
// lists by customer.
struct ShipmentsIndex {
    const char* name;
    const char* column;
};
constexpr ShipmentsIndex kShipmentsIndexes[] = {{"ShipmentsByReqShipDate", "ReqShipDate"},
                                                {"ShipmentsByActShipDate", "ActShipDate"},
                                                {"ShipmentsByJobNum", "JobNum"},
                                                {"ShipmentsByCustomer", "Customer"}};
} // namespace

void createSchema(const dao::Database& db) {
    for (auto& t : tables())
        db.Execute(createTableStatement(t));
    for (auto& index : kShipmentsIndexes)
        db.Execute(std::string("CREATE INDEX ") + index.name + " ON Shipments (" + index.column + ")");
    for (auto& q : savedQueries())
        db.CreateQueryDef(q.name, q.sql);
    dao::secureDatabase(db);
}

void createLateMarkIndex(dao::Connection& c) {
    auto name = [&](const char* n) { return c.quoteName(n); };
    c.execute("CREATE INDEX IF NOT EXISTS " + name("ShipmentsToMarkLate") + " ON " + name("Shipments") + " (" +
              name("ActShipDate") + ", " + name("ReqShipDate") + ") WHERE " + name("Canceled") + " = 0 AND " +
              name("Late") + " = 0");
}

void addMissingIndexes(dao::Connection& c) {
    c.begin();
    try {
        for (auto& index : kShipmentsIndexes)
            c.execute("CREATE INDEX IF NOT EXISTS " + c.quoteName(index.name) + " ON " + c.quoteName("Shipments") +
                      " (" + c.quoteName(index.column) + ")");
        createLateMarkIndex(c);
        c.commit();
    } catch (...) {
        c.rollback();
        throw;
    }
}

dao::Database createShipmentsDatabase(const std::string& path) {
    auto db = dao::engine().CreateDatabase(path);
    auto ws = dao::engine().Workspaces0();
    dao::inOneTransaction(ws, [&] { createSchema(db); });
    if (!dao::isServerName(path)) createLateMarkIndex(*dao::openSqlite(path, {}));
    return db;
}

void createOnServer(dao::Connection& server) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/dorvane-schema-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("could not make a temporary folder");
    fs::path dir = pattern;
    try {
        shipments::createShipmentsDatabase((dir / "schema.db").string()).Close();
        auto file = dao::openSqlite((dir / "schema.db").string(), {.readOnly = true});
        dao::copyDatabase(*file, server, true);
        createLateMarkIndex(server); // a copy leaves out indexes of part of the rows
    } catch (...) {
        fs::remove_all(dir);
        throw;
    }
    fs::remove_all(dir);
}

} // namespace shipments
