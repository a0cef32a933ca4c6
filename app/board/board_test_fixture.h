#pragma once
// A main window and board on a fresh shipments database of the test's own, with a fixed clock
// (Tuesday 12/8/2026), the en_US date formats, scripted dialogs and settings in a temporary folder.
#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/tab_strip.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace boardtest {

using runtime::Date;
using runtime::Variant;

inline const Date kToday = Date::fromYmd(2026, 12, 8);
inline constexpr int kQuantityColumn = 5, kCarrierColumn = 6; // the board grid's columns

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
    static QTemporaryDir& folder() {
        static QTemporaryDir dir;
        return dir;
    }

    void SetUp() override {
        setenv("XDG_CONFIG_HOME", folder().path().toStdString().c_str(), 1);
        runtime::setDateLocale("en_US");
        runtime::setClock(Date::fromYmdHms(2026, 12, 8, 10, 30, 0));
        dao::engine().reset();
        dao::engine().setLockTimeoutMs(200);
        widgets::installDaoOpener();
        dialogs = runtime::useScriptedDialogs();
        static int count = 0;
        path = QDir(folder().path()).filePath(QString("shipments%1.mdb").arg(++count)).toStdString();
        shipments::createShipmentsDatabase(path).Close();
        db = dao::engine().OpenDatabase(path);
        frmMain::instance();
        basGlobals::gOptions->DatabaseName(path);
    }

    void TearDown() override {
        frmShipments::unload();
        db.Close();
        runtime::setClock(std::nullopt);
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

    // Opens the board on a status tab (1 Today ... 6 Canceled) for today.
    frmShipments& openBoard(int tab) {
        frmShipments& board = frmShipments::instance();
        board.tsTab->setSelectedIndex(tab);
        return board;
    }

    dao::Recordset* bound() { return widgets::boundRecordset(*frmShipments::instance().Data1); }

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

    std::string path;
    dao::Database db;
    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
};

} // namespace boardtest
