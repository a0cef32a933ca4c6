#pragma once
// What the window tests share: a private settings store, data folder and home, a fixed clock
// (Tuesday 12/8/2026) and the en_US date formats, scripted dialogs, a program end that throws, and
// a fresh shipments database of the test's own that the options point at. The main window and its
// child windows are made on first use and all thrown away after each test.
#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmSearch.h"
#include "frmShipments.h"
#include "frmTruckLines.h"
#include "settings_store.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "runtime/clock.h"
#include "runtime/end.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/tab_strip.h"

#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace boardtest {

using runtime::Date;
using runtime::Variant;

inline const Date kToday = Date::fromYmd(2026, 12, 8);
inline constexpr int kQuantityColumn = 5, kCarrierColumn = 6; // the board grid's columns

// Thrown where the program would end.
struct ProgramEnded {};

struct Shipment {
    std::string workOrder = "W100", customer = "Acme", customerPO = "PO-1", job = "J-1";
    long quantity = 100;
    std::string carrier = "ABF";
    std::optional<Date> required = kToday, shipped;
    bool late = false, canceled = false, okToShip = true;
    std::optional<std::string> comments;
};

class BoardFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setenv("HOME", dir.path().toUtf8().constData(), 1);
        setenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8().constData(), 1);
        setenv("XDG_DATA_HOME", dir.filePath("data").toUtf8().constData(), 1);
        runtime::setDateLocale("en_US");
        runtime::setClock(Date::fromYmdHms(2026, 12, 8, 10, 30, 0));
        dialogs = runtime::useScriptedDialogs();
        runtime::setEndHandler([] { throw ProgramEnded{}; });
        dao::engine().reset();
        dao::engine().setLockTimeoutMs(200);
        widgets::installDaoOpener();
        path = dir.filePath("shipments.mdb").toStdString();
        shipments::createShipmentsDatabase(path).Close();
        db = dao::engine().OpenDatabase(path);
        SaveSetting("Kelmar", "Options", "DBName", path);
    }

    void TearDown() override {
        frmSearch::unload();
        if (frmTruckLines* lines = frmTruckLines::openWindow()) lines->subWindow()->close();
        frmShipments::unload();
        frmCalendarForm::unload();
        if (frmMain::exists()) delete &frmMain::instance();
        basGlobals::resetGlobals();
        db.Close();
        dao::engine().reset();
        runtime::setEndHandler(nullptr);
        runtime::setClock(std::nullopt);
        runtime::setDialogs(nullptr);
    }

    void execute(const std::string& sql) { db.Execute(sql); }

    // A workgroup of the test's own with the given accounts, named in the options.
    std::string
    makeWorkgroup(const std::vector<std::tuple<std::string, std::string, dao::Permission>>& accounts) {
        const std::string workgroup = dir.filePath("system.mdw").toStdString();
        if (!QFile::exists(QString::fromStdString(workgroup))) dao::Workgroup::create(workgroup);
        for (const auto& [name, password, permission] : accounts)
            dao::Workgroup(workgroup).addAccount(name, password, permission);
        SaveSetting("Kelmar", "Options", "SystemDB", workgroup);
        return workgroup;
    }

    // The program logs in with an account of a workgroup of the test's own that may only read.
    void logInAsReadOnlyViewer() {
        const std::string workgroup = dir.filePath("system.mdw").toStdString();
        dao::Workgroup::create(workgroup);
        dao::Workgroup(workgroup).addAccount("viewer", "viewer", dao::Permission::Read);
        dao::engine().setSystemDB(workgroup);
        dao::engine().setDefaultUser("viewer");
        dao::engine().setDefaultPassword("viewer");
    }

    long add(const Shipment& s) {
        dao::Recordset rs = db.OpenRecordset("Shipments", dao::dbOpenDynaset);
        rs.AddNew();
        auto set = [&](const char* field, const Variant& v) { rs.Fields(field).setValue(v); };
        set("WorkOrder", s.workOrder);
        set("Customer", s.customer);
        set("CustomerPO", s.customerPO);
        set("JobNum", s.job);
        set("Quantity", s.quantity);
        set("Carrier", s.carrier);
        set("InvoiceNum", "INV-9");
        set("ReqShipDate", s.required ? Variant(*s.required) : Variant::null());
        set("ActShipDate", s.shipped ? Variant(*s.shipped) : Variant::null());
        set("Late", s.late);
        set("Canceled", s.canceled);
        set("OKToShip", s.okToShip);
        set("Comments", s.comments ? Variant(*s.comments) : Variant::null());
        rs.Update();
        rs.setBookmark(rs.LastModified());
        return rs["ShipmentID"].toLong();
    }

    // A shipment row in short; dates are ISO texts, nullptr for none (an ASAP required date).
    long add(const std::string& workOrder, const std::string& customer, const std::string& job, long quantity,
             const char* reqShipDate, const char* actShipDate = nullptr, bool late = false,
             bool canceled = false, bool okToShip = true, const std::string& comments = "") {
        auto date = [](const char* iso) -> std::optional<Date> {
            int y = 0, m = 0, d = 0;
            if (!iso || std::sscanf(iso, "%d-%d-%d", &y, &m, &d) != 3) return std::nullopt;
            return Date::fromYmd(y, m, d);
        };
        Shipment s;
        s.workOrder = workOrder;
        s.customer = customer;
        s.job = job;
        s.quantity = quantity;
        s.customerPO = "";
        s.carrier = "";
        s.required = date(reqShipDate);
        s.shipped = date(actShipDate);
        s.late = late;
        s.canceled = canceled;
        s.okToShip = okToShip;
        s.comments = comments;
        return add(s);
    }

    // The main window as its initialise handler leaves it, and the board loaded (not the whole
    // start-up with its login).
    frmShipments& openBoard() { return frmShipments::instance(); }
    // The board on a status tab (1 Today ... 6 Canceled) for today; the tab click re-queries.
    frmShipments& openBoard(int tab) {
        frmShipments& board = frmShipments::instance();
        board.tsTab->setSelectedIndex(tab);
        return board;
    }

    dao::Recordset* bound() { return widgets::boundRecordset(*frmShipments::instance().Data1); }

    // Work orders of the board's rows, in order.
    std::vector<std::string> boardWorkOrders() {
        std::vector<std::string> orders;
        auto source = frmShipments::instance().Data1->source();
        int field = source->fieldIndex("WorkOrder");
        for (int r = 0; r < source->rowCount(); ++r)
            orders.push_back(source->value(r, field).toString());
        return orders;
    }

    // The board's row showing a shipment, or -1.
    int boardRow(long id) {
        auto source = frmShipments::instance().Data1->source();
        int f = source->fieldIndex("ShipmentID");
        for (int row = 0; row < source->rowCount(); ++row)
            if (source->value(row, f).toLong() == id) return row;
        return -1;
    }
    void makeCurrent(long id) {
        int row = boardRow(id);
        ASSERT_GE(row, 0) << "shipment " << id << " is not on the board";
        frmShipments::instance().Data1->moveTo(row);
    }
    void select(long id) {
        auto* grid = frmShipments::instance().VxGrid1;
        grid->selectionModel()->select(grid->model()->index(boardRow(id), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // A shipment as it is stored now (read afresh).
    std::map<std::string, Variant> stored(long id) {
        dao::Recordset rs = db.OpenRecordset(
            "SELECT * FROM Shipments WHERE ShipmentID = " + std::to_string(id), dao::dbOpenSnapshot);
        std::map<std::string, Variant> row;
        if (rs.atEOF()) return row;
        for (int i = 0; i < rs.FieldCount(); ++i)
            row[rs.Fields(i).Name()] = rs.Fields(i).Value();
        return row;
    }
    long shipmentCount() {
        return db.OpenRecordset("SELECT Count(*) AS N FROM Shipments", dao::dbOpenSnapshot)["N"].toLong();
    }
    long lastShipmentID() {
        return db.OpenRecordset("SELECT Max(ShipmentID) AS M FROM Shipments", dao::dbOpenSnapshot)["M"]
            .toLong();
    }

    QTemporaryDir dir;
    std::string path;
    dao::Database db;
    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
};

} // namespace boardtest
