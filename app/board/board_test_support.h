#pragma once
// What the window tests share: a private settings store and data folder, a fixed clock and
// locale, scripted dialogs, a small shipments database pointed at by the options, and a main
// window with its board, all thrown away after each test.
#include "basGlobals.h"
#include "frmCalendarForm.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "settings_store.h"
#include "shipments_schema.h"

#include "dao/dao.h"
#include "runtime/clock.h"
#include "runtime/end.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

namespace testing_support {

// Thrown where the program would end.
struct ProgramEnded {};

inline runtime::Date today() {
    return runtime::Date::fromYmd(2026, 12, 8);
}

class ProgramFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8().constData(), 1);
        setenv("XDG_DATA_HOME", dir.filePath("data").toUtf8().constData(), 1);
        runtime::setDateLocale("en_US");
        runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 9, 0, 0));
        dialogs = runtime::useScriptedDialogs();
        runtime::setEndHandler([] { throw ProgramEnded{}; });
        dao::engine().reset();
        widgets::installDaoOpener();
        databasePath = dir.filePath("shipments.db").toStdString();
        shipments::createShipmentsDatabase(databasePath).Close();
        SaveSetting("Kelmar", "Options", "DBName", databasePath);
    }

    void TearDown() override {
        frmShipments::unload();
        frmCalendarForm::unload();
        if (frmMain::exists()) delete &frmMain::instance();
        basGlobals::resetGlobals();
        dao::engine().reset();
        runtime::setEndHandler(nullptr);
        runtime::setClock(std::nullopt);
        runtime::setDialogs(nullptr);
    }

    void execute(const std::string& sql) {
        dao::Database db = dao::engine().OpenDatabase(databasePath);
        db.Execute(sql);
        db.Close();
    }

    // A shipment row; dates are ISO texts, nullptr for none (an ASAP required date).
    void add(const std::string& workOrder, const std::string& customer, const std::string& job, long quantity,
             const char* reqShipDate, const char* actShipDate = nullptr, bool late = false,
             bool canceled = false, bool okToShip = true, const std::string& comments = "") {
        auto date = [](const char* iso) { return iso ? "#" + std::string(iso) + "#" : std::string("Null"); };
        execute(
            "INSERT INTO Shipments (WorkOrder, Customer, JobNum, Quantity, ReqShipDate, ActShipDate, Late, "
            "Canceled, OKToShip, Comments) VALUES ('" +
            workOrder + "', '" + customer + "', '" + job + "', " + std::to_string(quantity) + ", " +
            date(reqShipDate) + ", " + date(actShipDate) + ", " + (late ? "Yes" : "No") + ", " +
            (canceled ? "Yes" : "No") + ", " + (okToShip ? "Yes" : "No") + ", '" + comments + "')");
    }

    // The main window as its initialise handler leaves it, and the board loaded (not the whole
    // start-up with its login).
    frmShipments& openBoard() {
        frmMain::instance();
        frmShipments& board = frmShipments::instance();
        return board;
    }

    // Work orders of the board's rows, in order.
    std::vector<std::string> boardWorkOrders() {
        std::vector<std::string> orders;
        auto source = frmShipments::instance().Data1->source();
        int field = source->fieldIndex("WorkOrder");
        for (int r = 0; r < source->rowCount(); ++r)
            orders.push_back(source->value(r, field).toString());
        return orders;
    }

    QTemporaryDir dir;
    std::string databasePath;
    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
};

} // namespace testing_support
