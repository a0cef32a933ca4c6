// The board's editing operations: store the pending edit, move shipments to another date, cancel or
// delete them, start a new row, and Ship +/- (record what was really shipped today, splitting a
// partial shipment or spreading an over-shipment over the same job's open rows).
#include "frmShipments.h"

#include "basGlobals_board.h"
#include "status_rules.h"

#include "dao/jet_sql.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/locale_text.h"
#include "runtime/numbers.h"
#include "runtime/variant.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/tab_strip.h"

#include <QApplication>
#include <functional>

using namespace basGlobals;
using runtime::Variant;

namespace {

bool hasCurrentRecord(const dao::Recordset* rs) {
    return rs && !rs->atEOF() && !rs->atBOF();
}

bool isYes(const Variant& v) {
    return !v.isNull() && v.toBool();
}

// A quantity as a whole number; an empty quantity counts as none.
long long wholeNumber(const Variant& v) {
    return v.isNull() ? 0 : static_cast<long long>(runtime::roundHalfEven(v.toDouble()));
}

std::string numberText(long long n) {
    return std::to_string(n);
}

std::string trimmedComment(const dao::Recordset& rs) {
    Variant old = rs["Comments"];
    return old.isNull() ? std::string() : runtime::RTrim(old.toString());
}

// The note on a row whose quantity went down (or to nothing) because more was shipped elsewhere.
std::string noteReduced(const std::string& oldComment, long long quantity, long long shipped) {
    return oldComment + "  " + numberText(quantity) + " originally scheduled to be shipped.  We shipped " +
           numberText(shipped) + " on " + runtime::shortDateText(runtime::Today()) + ".";
}

// The note on a row the excess of an over-shipment covered exactly.
std::string noteShippedExactly(const std::string& oldComment, long long shipped) {
    return oldComment + "  " + numberText(shipped) + " total parts shipped on" + " " +
           runtime::shortDateText(runtime::Today()) + ".";
}

void cancelEdit(dao::Recordset& rs) {
    try {
        if (rs.EditMode() != dao::dbEditNone) rs.CancelUpdate();
    } catch (const runtime::Error&) {
        // Nothing was being edited after all.
    }
}

// Runs `change` inside one transaction of the workspace: all of it is stored or, when any step
// fails, none of it. The failure is passed on after the rollback.
void inOneTransaction(const dao::Workspace& ws, const std::function<void()>& change) {
    ws.BeginTrans();
    try {
        change();
        ws.CommitTrans();
    } catch (...) {
        ws.Rollback();
        throw;
    }
}

} // namespace

// A change in the grid not yet stored is stored before an operation moves the current record; false
// when that failed (the grid has reported why).
bool frmShipments::storePendingEdit() {
    return VxGrid1->storeCurrentRow();
}

// Tells the user why a change was not stored and shows the board as it is stored now, so that
// nothing another workstation wrote meanwhile is overwritten unseen.
void frmShipments::reportEditFailure(const runtime::Error& error) {
    if (auto* rs = widgets::boundRecordset(*Data1)) cancelEdit(*rs);
    std::string text;
    if (error.number() == dao::errc::ChangedByOther)
        text = "Another workstation changed this shipment after it was shown here, so your change was not "
               "saved.  The board now shows the shipment as it is stored; make your change again if it is "
               "still needed.";
    else if (error.number() == dao::errc::RecordDeleted)
        text = "Another workstation deleted this shipment, so your change was not saved.  The board has "
               "been refreshed.";
    else
        text = "Your change could not be saved: " + error.description() + "  The board has been refreshed.";
    runtime::MsgBox(text, runtime::mb::Exclamation);
    ApplyStatusTab();
}

void frmShipments::DoUpdate() {
    // Edit > Apply leaves the cell editor open (a menu takes no focus): moving the focus to the grid
    // ends the cell edit as leaving the cell does, so the text just typed is part of what is stored.
    if (QWidget* focus = QApplication::focusWidget();
        focus && focus != VxGrid1 && VxGrid1->isAncestorOf(focus))
        VxGrid1->setFocus();
    auto source = std::dynamic_pointer_cast<widgets::DaoRecordSource>(Data1->source());
    if (!source || source->editMode() == widgets::EditMode::None) return;
    try {
        source->update();
    } catch (const runtime::Error& e) {
        reportEditFailure(e);
        return;
    }
    VxGrid1->Refresh();
    Data1_Reposition(); // the status line reads the row as it was stored
}

void frmShipments::DoMove() {
    std::string answer = runtime::inputBoxText(std::string("Enter the date you want ") +
                                               " moved to in the box below, then click " + "OK.");
    std::optional<runtime::Date> date = runtime::parseDateText(answer);
    dao::Recordset* rs = widgets::boundRecordset(*Data1);
    if (date && rs) {
        if (!storePendingEdit()) return; // the refused edit stays in the grid to be put right
        const runtime::Date today = runtime::Today();
        try {
            for (const runtime::Bytes& mark : VxGrid1->selectedBookmarks()) {
                rs->setBookmark(mark);
                bool wasLate = isYes((*rs)["Late"]);
                rs->Edit();
                rs->Fields("ReqShipDate").setValue(Variant(*date));
                rs->Fields("Late").setValue(Variant(board::lateAfterMove(wasLate, *date, today)));
                rs->Update();
            }
        } catch (const runtime::Error& e) {
            reportEditFailure(e);
            return;
        }
    }
    ActivateControls();
    ApplyStatusTab();
}

void frmShipments::DoDelete() {
    auto source = std::dynamic_pointer_cast<widgets::DaoRecordSource>(Data1->source());
    if (source) {
        if (!storePendingEdit()) return; // the refused edit stays in the grid to be put right
        dao::Recordset& rs = source->recordset();
        const bool canceledTab = tsTab->SelectedCaption() == "Canceled";
        int shippedSkipped = 0;
        try {
            for (const runtime::Bytes& mark : VxGrid1->selectedBookmarks()) {
                rs.setBookmark(mark);
                if (!canceledTab) {
                    // A shipped order cannot be canceled (the same rule as the Canceled? cell).
                    if (!rs["ActShipDate"].isNull()) {
                        ++shippedSkipped;
                        continue;
                    }
                    rs.Edit();
                    rs.Fields("Canceled").setValue(Variant(true));
                    rs.Fields("OKToShip").setValue(Variant(false));
                    rs.Update();
                    continue;
                }
                auto answer = runtime::MsgBox(
                    "Are you sure you want to remove this canceled shipment from the database permanently?",
                    runtime::mb::YesNo + runtime::mb::Question);
                if (answer == runtime::Answer::No) continue;
                source->deleteCurrent();
                rs.MoveNext();
                if (rs.atEOF() && rs.RecordCount() > 0) rs.MoveLast();
            }
        } catch (const runtime::Error& e) {
            reportEditFailure(e);
            return;
        }
        if (shippedSkipped > 0)
            runtime::MsgBox(numberText(shippedSkipped) +
                                (shippedSkipped == 1
                                     ? " selected shipment was already shipped and is left as it is"
                                     : " selected shipments were already shipped and are left as they are") +
                                ": you cannot cancel an order that has already been shipped.",
                            runtime::mb::Exclamation);
    }
    ActivateControls();
    ApplyStatusTab();
}

void frmShipments::DoAdd() {
    SetEditCommandEnabled(2, false);
    SetEditCommandEnabled(4, false);
    SetEditCommandEnabled(3, true);
    // The grid shows the new record in its new-row line, where the clerk fills it in.
    VxGrid1->setAllowAddNew(true);
    VxGrid1->addNewRow();
}

void frmShipments::cmdShipPlusMinus_Click() {
    dao::Recordset* rs = widgets::boundRecordset(*Data1);
    if (!hasCurrentRecord(rs) || !storePendingEdit()) return;
    const long long quantity = wholeNumber((*rs)["Quantity"]);
    const std::string answer =
        runtime::Trim(runtime::inputBoxText("How many parts do you want to ship today?"));
    // The whole answer must read as a number ("1,200" is twelve hundred, not one); empty is none.
    const bool numeric = answer.empty() || Variant(answer).isNumeric();
    const long long shipped =
        answer.empty() || !numeric
            ? 0
            : static_cast<long long>(runtime::roundHalfEven(Variant(answer).toDouble()));
    if (!numeric) {
        runtime::MsgBox("\"" + answer + "\" is not a number of parts.  Nothing was changed.",
                        runtime::mb::Exclamation);
    } else if (shipped < 0) {
        runtime::MsgBox("The number of parts shipped cannot be negative.  Nothing was changed.",
                        runtime::mb::Exclamation);
    } else {
        try {
            if (shipped > 0 && shipped < quantity)
                shipPartial(quantity, shipped);
            else if (shipped > 0 && shipped == quantity)
                shipExact();
            else if (shipped > quantity)
                shipOver(quantity, shipped);
        } catch (const runtime::Error& e) {
            cancelEdit(*rs);
            runtime::MsgBox("The shipment was not recorded and nothing was changed: " +
                                std::string(e.number() == dao::errc::ChangedByOther
                                                ? "another workstation changed one of its rows meanwhile."
                                                : e.description()),
                            runtime::mb::Exclamation);
        }
    }
    ApplyStatusTab();
}

// The row keeps what was shipped today; a new row with the same order details carries the rest.
void frmShipments::shipPartial(long long quantity, long long shipped) {
    dao::Recordset& rs = *widgets::boundRecordset(*Data1);
    Variant required = rs["ReqShipDate"];
    const std::string restText = runtime::Trim(
        runtime::inputBoxText("When do the rest need to be shipped?", runtime::kDefaultTitle,
                              required.isNull() ? std::string() : runtime::shortDateText(required.toDate())));
    std::optional<runtime::Date> restDate = runtime::parseDateText(restText);
    if (!restDate) {
        runtime::MsgBox(restText.empty()
                            ? "No date was given for the rest of the parts.  Nothing was changed."
                            : "\"" + restText + "\" is not a date.  Nothing was changed.",
                        runtime::mb::Exclamation);
        return;
    }
    const runtime::Date today = runtime::Today();
    dao::Recordset rest = rs.Clone();
    try {
        inOneTransaction(workspace(), [&] {
            rest.AddNew();
            for (int i = 0; i < rest.FieldCount(); ++i) {
                dao::Field field = rest.Fields(i);
                const std::string& name = field.Name();
                if (name == "Quantity")
                    field.setValue(Variant(quantity - shipped));
                else if (name == "ShipmentID" || name == "PCF Code")
                    continue;
                else if (name == "ReqShipDate")
                    field.setValue(Variant(*restDate));
                else if (name == "Late")
                    field.setValue(Variant(board::lateOfSplitRest(*restDate, today)));
                else if (rs.Fields(name).Attributes() & dao::dbUpdatableField) {
                    try {
                        field.setValue(rs.Fields(name).Value());
                    } catch (const runtime::Error&) {
                        // A value the new row cannot take stays empty there.
                    }
                }
            }
            rest.Update();
            rs.Edit();
            rs.Fields("Quantity").setValue(Variant(shipped));
            rs.Fields("ActShipDate").setValue(Variant(today));
            rs.Update();
        });
    } catch (...) {
        cancelEdit(rest);
        throw;
    }
}

void frmShipments::shipExact() {
    dao::Recordset& rs = *widgets::boundRecordset(*Data1);
    rs.Edit();
    rs.Fields("OKToShip").setValue(Variant(true));
    rs.Fields("ActShipDate").setValue(Variant(runtime::Today()));
    rs.Update();
}

// The row is shipped with everything sent; the excess comes off the same job and work order's open
// rows, those without a date (ASAP) first, then by date.
void frmShipments::shipOver(long long quantity, long long shipped) {
    dao::Recordset& rs = *widgets::boundRecordset(*Data1);
    const runtime::Date today = runtime::Today();
    const std::string job = rs["JobNum"].isNull() ? std::string() : rs["JobNum"].toString();
    const std::string workOrder = rs["WorkOrder"].isNull() ? std::string() : rs["WorkOrder"].toString();
    inOneTransaction(workspace(), [&] {
        long long excess = shipped - quantity;
        rs.Edit();
        rs.Fields("OKToShip").setValue(Variant(true));
        rs.Fields("ActShipDate").setValue(Variant(today));
        rs.Fields("Quantity").setValue(Variant(shipped));
        rs.Update();
        dao::Recordset open =
            database().OpenRecordset("SELECT * FROM Shipments WHERE [JobNum] = " + dao::jet::quoteText(job) +
                                     " And [WorkOrder] = " + dao::jet::quoteText(workOrder) +
                                     " And [ActShipDate] Is Null ORDER BY [ReqShipDate];");
        for (; !open.atEOF() && excess >= 1; open.MoveNext()) {
            const long long rowQuantity = wholeNumber(open["Quantity"]);
            const std::string comment = trimmedComment(open);
            open.Edit();
            if (rowQuantity < excess) {
                open.Fields("Quantity").setValue(Variant(0));
                open.Fields("Comments").setValue(Variant(noteReduced(comment, rowQuantity, shipped)));
                excess -= rowQuantity;
            } else if (rowQuantity > excess) {
                open.Fields("Quantity").setValue(Variant(rowQuantity - excess));
                open.Fields("Comments").setValue(Variant(noteReduced(comment, rowQuantity, shipped)));
                excess = 0;
            } else {
                excess = 0;
                open.Fields("OKToShip").setValue(Variant(true));
                open.Fields("ActShipDate").setValue(Variant(today));
                open.Fields("Comments").setValue(Variant(noteShippedExactly(comment, shipped)));
            }
            open.Update();
        }
        open.Close();
    });
}
